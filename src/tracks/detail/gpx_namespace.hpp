#pragma once
// The namespace prefixes of a GPX file, as a line reader can follow them: programs that write
// XML through a general serializer put a prefix on every GPX element (<ns2:trkpt ...>).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace omvo::tracks::detail {

class GpxPrefixes {
public:
    // Takes the bindings of a line: a prefix bound to the GPX 1.0 or 1.1 namespace
    // (xmlns:P="http://www.topografix.com/GPX/1/1", either quote, blanks around '=') counts
    // from here to the end of the file; one bound to another namespace is forgotten.
    void ReadBindings(std::string_view line) {
        if (line.find(kBinding) != std::string_view::npos) TakeBindings(line);
    }

    // Returns true while no prefix is bound to the GPX namespace.
    bool empty() const { return prefixes_.empty(); }

    // Returns the length of `marker` (such as "<trkpt" or "</trkpt>") at the start of `text`,
    // written plainly or with a GPX prefix after its '<' or "</" ("<ns2:trkpt"); 0 when it is
    // not there.
    std::size_t MarkerLength(std::string_view text, std::string_view marker) const {
        if (text.starts_with(marker)) return marker.size();
        return prefixes_.empty() ? 0 : PrefixedMarkerLength(text, marker);
    }

private:
    static constexpr std::string_view kBinding = "xmlns:";

    void TakeBindings(std::string_view line);
    std::size_t PrefixedMarkerLength(std::string_view text, std::string_view marker) const;

    std::vector<std::string> prefixes_;  // each with its ':'
};

}  // namespace omvo::tracks::detail
