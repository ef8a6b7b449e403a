#include "tracks/detail/gpx_namespace.hpp"

#include <algorithm>

#include "base/decimal.hpp"

namespace omvo::tracks::detail {

namespace {

using base::IsBlank;

constexpr std::string_view kGpxNamespaces[] = {"http://www.topografix.com/GPX/1/0",
                                               "http://www.topografix.com/GPX/1/1"};

// A character of a prefix: anything up to a blank, '=', ':', a quote or markup.
bool IsNameChar(char c) {
    return !IsBlank(c) && c != '=' && c != ':' && c != '"' && c != '\'' && c != '<' &&
           c != '>' && c != '/';
}

}  // namespace

void GpxPrefixes::TakeBindings(std::string_view line) {
    for (std::size_t at = line.find(kBinding); at != std::string_view::npos;
         at = line.find(kBinding, at + 1)) {
        std::size_t p = at + kBinding.size();
        const std::size_t nameStart = p;
        while (p < line.size() && IsNameChar(line[p])) ++p;
        if (p == nameStart) continue;
        std::string prefix(line.substr(nameStart, p - nameStart));
        prefix += ':';
        while (p < line.size() && IsBlank(line[p])) ++p;
        if (p >= line.size() || line[p] != '=') continue;
        ++p;
        while (p < line.size() && IsBlank(line[p])) ++p;
        if (p >= line.size() || (line[p] != '"' && line[p] != '\'')) continue;
        const char quote = line[p++];
        const std::size_t valueEnd = line.find(quote, p);
        if (valueEnd == std::string_view::npos) continue;
        const std::string_view value = line.substr(p, valueEnd - p);
        const bool gpx = std::ranges::find(kGpxNamespaces, value) != std::end(kGpxNamespaces);
        const auto known = std::ranges::find(prefixes_, prefix);
        if (gpx && known == prefixes_.end()) prefixes_.push_back(std::move(prefix));
        if (!gpx && known != prefixes_.end()) prefixes_.erase(known);
    }
}

std::size_t GpxPrefixes::PrefixedMarkerLength(std::string_view text,
                                              std::string_view marker) const {
    // The marker's opening ("<" or "</"), then a GPX prefix, then the rest of the marker.
    const std::size_t opening = marker.starts_with("</") ? 2 : 1;
    if (!text.starts_with(marker.substr(0, opening))) return 0;
    const std::string_view name = text.substr(opening);
    const std::string_view local = marker.substr(opening);
    for (const std::string& prefix : prefixes_) {
        if (name.starts_with(prefix) && name.substr(prefix.size()).starts_with(local)) {
            return opening + prefix.size() + local.size();
        }
    }
    return 0;
}

}  // namespace omvo::tracks::detail
