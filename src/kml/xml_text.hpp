#pragma once
// Making texts safe to put into a document, so every document is well-formed XML 1.0 in
// UTF-8 whatever the input. A text without markup characters, control characters, invalid
// UTF-8 or "]]>" comes out unchanged.

#include <string>
#include <string_view>

namespace omvo::kml {

// Control characters are the bytes 0x00 to 0x1F other than tab, LF and CR, and DEL (0x7F).

// Returns the text without its control characters.
std::string DropControls(std::string_view text);

// Returns the text for element content and attribute-free names: control characters
// dropped, then "<" written as "&lt;", ">" as "&gt;", and "&" as "&amp;" unless it already
// begins "&amp;", "&lt;", "&gt;", "&quot;" or "&apos;".
std::string EscapeText(std::string_view text);

// Returns the text as a reader of the document shows it after EscapeText: control
// characters dropped, and the five references that text kept read as their characters.
std::string TextAsShown(std::string_view text);

// Returns the text for a CDATA section: control characters dropped, then each "]]>" written
// as "]]]]><![CDATA[>".
std::string CdataText(std::string_view text);

// Returns the text without the byte sequences that are not valid UTF-8 (stray continuation
// bytes, overlong forms, surrogates, code points above U+10FFFF, truncated sequences: the
// lead byte with the continuation bytes that fitted it), and without U+FFFE and U+FFFF,
// which XML does not allow.
std::string DropInvalidUtf8(std::string_view text);

}  // namespace omvo::kml
