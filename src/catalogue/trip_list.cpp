#include "catalogue/trip_list.hpp"

#include <array>

#include "base/text_file.hpp"

namespace omvo::catalogue {

namespace {
// "Что посмотреть:" and "GPS-трек" in CP1251.
constexpr std::string_view kSightsLabel =
    "\xD7\xF2\xEE\x20\xEF\xEE\xF1\xEC\xEE\xF2\xF0\xE5\xF2\xFC\x3A";
constexpr std::string_view kGpsTrack = "\x47\x50\x53\x2D\xF2\xF0\xE5\xEA";

// The lines of a record in file order.
constexpr std::array<std::string TripRecord::*, 5> kRecordLines{
    &TripRecord::heading, &TripRecord::idLine, &TripRecord::datesLine, &TripRecord::summary,
    &TripRecord::sightsLine};

// A record is drawn when its fifth line starts with the sights label and names a GPS track.
bool IsAcceptedSightsLine(std::string_view line) {
    return line.starts_with(kSightsLabel) && line.find(kGpsTrack) != std::string_view::npos;
}

}  // namespace

TripTable ReadTripList(const std::string& vplistname) {
    TripTable table;
    base::TextFile file(vplistname);
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
        if (next == kRecordLines.size() && IsAcceptedSightsLine(line)) table.push_back(current);
    }
    file.Close();
    return table;
}

}  // namespace omvo::catalogue
