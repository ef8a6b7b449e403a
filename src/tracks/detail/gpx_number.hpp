#pragma once
// The numbers of a GPX file as the track reader takes them: coordinate and elevation texts
// read straight from the file's block, trimmed, cut to what the store keeps, and valued.

#include <optional>
#include <string_view>

#include "tracks/track_store.hpp"

namespace omvo::tracks::detail {

// Returns true for the characters of a number text: the digits, '.' and '-'.
constexpr bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

// Returns the text without trailing '0's after a '.', and without a '.' that then ends it.
std::string_view TrimTrailingZeros(std::string_view text);

// Returns the value of a coordinate text as the store keeps it: an optional leading '-',
// digits with at most one '.' among them ("54.7", "-0.5", "54", ".5"); nothing for the empty
// text, a lone '-', a '-' after the first character or a second '.'.
std::optional<double> ParseCoordinate(std::string_view text);

// A number as the reader keeps it from line to line, read once: the trimmed text's first 15
// characters as the map shows them, and the values the reader needs.
struct NumberText {
    bool empty = true;             // nothing was read: no number characters at all
    PackedNumber text;             // trimmed, cut to what the store keeps
    std::optional<double> stored;  // the value of that text; nothing when it is no number
    std::optional<double> whole;   // the value of the whole trimmed text

    // Makes the number one of no characters.
    void Clear() { *this = NumberText{}; }
    // Takes `run`, a run of number characters.
    void Set(std::string_view run);
};

// Reads the number at the start of `text` into `out`: blanks, tabs and a '+' before it are
// skipped, then the run of number characters is taken. A run followed by an exponent
// ("-9.0E-4") becomes its shortest plain decimal ("-0.0009"); one beyond the range of a
// double is no number.
void ReadNumber(std::string_view text, NumberText& out);

// Reads into `out` the number of the first attribute `name` (such as "lat") of `tag` whose
// '=' and opening quote follow, blanks allowed around the '='; clears it when there is none.
void ReadAttributeNumber(std::string_view tag, std::string_view name, NumberText& out);

}  // namespace omvo::tracks::detail
