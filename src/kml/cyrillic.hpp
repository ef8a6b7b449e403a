#pragma once
// Conversion of CP1251 texts from the trip list and the overlay files to UTF-8. ASCII, the
// Russian alphabet, Ё, ё and № are converted; every other byte from 0x80 up is dropped.

#include <string>
#include <string_view>

namespace omvo::kml {

std::string Cp1251ToUtf8(std::string_view text);

}  // namespace omvo::kml
