// Any bytes as a trip record and as texts put into a document: classification never
// crashes, and the texts written into a document keep it well-formed.
#include <cstdlib>
#include <string>
#include <string_view>
#include <cstdio>

#include "catalogue/trip_class.hpp"
#include "catalogue/trip_id.hpp"
#include "kml/trip_description.hpp"
#include "kml/xml_text.hpp"

namespace {

bool IsValidUtf8(std::string_view s) {
    std::string cleaned = omvo::kml::DropInvalidUtf8(s);
    return cleaned == s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    omvo::catalogue::TripRecord trip;
    std::size_t from = 0;
    for (std::string& line : trip.line) {
        std::size_t end = input.find('\n', from);
        line = input.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
        from = end == std::string_view::npos ? input.size() : end + 1;
    }
    omvo::catalogue::StyleIdOf(omvo::catalogue::ClassifyTrip(trip));
    const std::string description = omvo::kml::CdataText(omvo::kml::TripDescription(trip));
    // Inside the section, every "]]>" is followed at once by a new "<![CDATA[".
    for (std::size_t at = description.find("]]>"); at != std::string::npos;
         at = description.find("]]>", at + 12)) {
        if (description.compare(at + 3, 9, "<![CDATA[") != 0) std::abort();
    }
    if (!IsValidUtf8(description)) std::abort();

    const std::string escaped = omvo::kml::EscapeText(omvo::kml::DropInvalidUtf8(input));
    if (escaped.find('<') != std::string::npos || escaped.find('>') != std::string::npos) std::abort();
    if (!IsValidUtf8(escaped)) std::abort();
    for (unsigned char c : escaped) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') std::abort();
    }
    return 0;
}
