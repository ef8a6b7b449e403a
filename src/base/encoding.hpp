#pragma once
// The two code pages the tool meets: CP1251 in the trip list and the overlay files, which
// the documents carry as UTF-8, and CP866, in which the console shows the tool's texts.

#include <string>
#include <string_view>

namespace omvo::base {

// Returns the CP1251 text in UTF-8: ASCII, the Russian alphabet, Ё, ё and № are converted;
// every other byte from 0x80 up is dropped.
std::string Cp1251ToUtf8(std::string_view text);

// Returns the UTF-8 text in CP866; characters without a CP866 form become "?".
std::string Utf8ToCp866(std::string_view utf8Text);

}  // namespace omvo::base
