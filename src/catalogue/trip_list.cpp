#include "catalogue/trip_list.hpp"

#include <array>

#include "base/console.hpp"
#include "base/encoding.hpp"
#include "base/text_file.hpp"

namespace omvo::catalogue {

namespace {

// The sights label and the track word in the list's two code pages: "Что посмотреть:" and
// "GPS-трек".
struct Markers {
    std::string_view sightsLabel;
    std::string_view gpsTrack;
};
constexpr Markers kCp1251Markers{"\xD7\xF2\xEE\x20\xEF\xEE\xF1\xEC\xEE\xF2\xF0\xE5\xF2\xFC\x3A",
                                 "\x47\x50\x53\x2D\xF2\xF0\xE5\xEA"};
constexpr Markers kUtf8Markers{"Что посмотреть:", "GPS-трек"};

// The lines of a record in file order.
constexpr std::array<std::string TripRecord::*, 5> kRecordLines{
    &TripRecord::heading, &TripRecord::idLine, &TripRecord::datesLine, &TripRecord::summary,
    &TripRecord::sightsLine};

// A record is drawn when its fifth line starts with the sights label and names a GPS track.
bool IsAcceptedSightsLine(std::string_view line, const Markers& markers) {
    return line.starts_with(markers.sightsLabel) &&
           line.find(markers.gpsTrack) != std::string_view::npos;
}

// Makes the lines of the records UTF-8 as the code page of the list asks.
void ToUtf8(TripTable& table, base::Charset charset) {
    for (TripRecord& trip : table) {
        for (std::string TripRecord::*line : kRecordLines) {
            trip.*line = base::ToUtf8(trip.*line, charset);
        }
    }
}

}  // namespace

TripTable ReadTripList(const std::string& vplistname) {
    // The code page is known at the end of the file only, so the records accepted in either
    // are kept until then. The sights label begins with 0xD7 in CP1251 and with 0xD0 in
    // UTF-8, so no line is accepted in both.
    TripTable cp1251;
    TripTable utf8;
    base::TextFile file(vplistname, base::FileDecoding::Cp1251OrUtf8);
    TripRecord current;
    // The index in kRecordLines of the next line of the current group; lines after the
    // fifth leave it at the end and are ignored.
    std::size_t next = 0;
    std::string_view line;
    while (file.NextLine(line)) {
        if (line.empty()) {
            next = 0;
            continue;
        }
        if (next == kRecordLines.size()) continue;
        (current.*kRecordLines[next]).assign(line);
        ++next;
        if (next < kRecordLines.size()) continue;
        if (IsAcceptedSightsLine(line, kCp1251Markers)) cp1251.push_back(current);
        if (IsAcceptedSightsLine(line, kUtf8Markers)) utf8.push_back(current);
    }
    file.Close();

    const base::Charset charset = file.charset();
    if (charset == base::Charset::Cp1251 && !utf8.empty()) {
        base::Warning("trip list " + vplistname + ": line " +
                      std::to_string(file.firstNonUtf8Line()) +
                      " is no valid UTF-8, so the list is read as CP1251 and its records "
                      "written in UTF-8 are not drawn");
    }
    TripTable& table = charset == base::Charset::Utf8 ? utf8 : cp1251;
    ToUtf8(table, charset);
    return std::move(table);
}

}  // namespace omvo::catalogue
