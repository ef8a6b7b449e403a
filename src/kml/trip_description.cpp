#include "kml/trip_description.hpp"

#include "base/encoding.hpp"
#include "catalogue/trip_id.hpp"

namespace omvo::kml {

namespace {

// The summary is cut to this many characters, the last three of them "...". Every CP1251
// character is one character of the record's UTF-8, so a CP1251 list is cut where its bytes
// are counted.
constexpr std::size_t kSummaryLength = 180;
constexpr std::string_view kEllipsis = "...";

}  // namespace

std::string_view ClubHost() { return OMVO_CLUB_HOST; }

std::string TripDescription(const catalogue::TripRecord& trip) {
    const std::string_view heading = trip.heading;
    // The head is the first word with the blank after it; the rest is the link text.
    const std::size_t blank = heading.find(' ');
    const std::size_t titleStart = blank == std::string_view::npos ? 0 : blank + 1;
    const std::string_view head = heading.substr(0, titleStart);
    const std::string_view title = heading.substr(titleStart);

    std::string_view summary = trip.summary;
    const bool cut = base::Utf8Offset(summary, kSummaryLength) < summary.size();
    if (cut) {
        summary = summary.substr(0, base::Utf8Offset(summary, kSummaryLength - kEllipsis.size()));
    }

    const std::string id = catalogue::TripId(trip);
    const std::string_view host = ClubHost();
    std::string fragment;
    fragment.reserve(heading.size() + host.size() + id.size() + trip.idLine.size() +
                     trip.datesLine.size() + summary.size() + 64);
    fragment.append(head)
        .append("<a href=\"http://")
        .append(host)
        .append("/ru/vplist.php#")
        .append(id)
        .append("\">")
        .append(title)
        .append("</a><br>")
        .append(trip.idLine)
        .append("<br>")
        .append(trip.datesLine)
        .append("<br>")
        .append(summary);
    if (cut) fragment.append(kEllipsis);
    return fragment;
}

}  // namespace omvo::kml
