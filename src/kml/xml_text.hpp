#pragma once
// Making texts safe to put into a document, so every document is well-formed XML 1.0 in
// UTF-8 whatever the input. A text without markup characters, control characters, invalid
// UTF-8 or "]]>" comes out unchanged.

#include <string>
#include <string_view>

namespace omvo::kml {

// For element content and attribute-free names: drops control characters other than tab,
// LF and CR, writes "<" as "&lt;", ">" as "&gt;", and "&" as "&amp;" unless it already
// begins "&amp;", "&lt;", "&gt;", "&quot;" or "&apos;".
std::string EscapeText(std::string_view text);

// For text inside a CDATA section: drops control characters other than tab, LF and CR, and
// writes each "]]>" as "]]]]><![CDATA[>".
std::string CdataText(std::string_view text);

// Drops byte sequences that are not valid UTF-8.
std::string DropInvalidUtf8(std::string_view text);

}  // namespace omvo::kml
