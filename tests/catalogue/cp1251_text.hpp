#pragma once
// Test texts in CP1251, written readably as UTF-8 literals: ASCII, the Russian alphabet,
// Ё, ё, №, the guillemets, the en and em dashes and the non-breaking space.

#include <stdexcept>
#include <string>
#include <string_view>

#include "catalogue/trip_list.hpp"

namespace omvo::test {

inline std::string Cp1251(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        unsigned cp = 0;
        std::size_t length = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            length = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            cp = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            length = 3;
        } else {
            throw std::invalid_argument("no CP1251 form in the test helper");
        }
        i += length;
        if (cp < 0x80) out += static_cast<char>(cp);
        else if (cp >= 0x410 && cp <= 0x44F) out += static_cast<char>(0xC0 + (cp - 0x410));
        else if (cp == 0x401) out += '\xA8';  // Ё
        else if (cp == 0x451) out += '\xB8';  // ё
        else if (cp == 0x2116) out += '\xB9';  // №
        else if (cp == 0xAB) out += '\xAB';  // «
        else if (cp == 0xBB) out += '\xBB';  // »
        else if (cp == 0x2013) out += '\x96';  // en dash
        else if (cp == 0x2014) out += '\x97';  // em dash
        else if (cp == 0xA0) out += '\xA0';  // non-breaking space
        else throw std::invalid_argument("no CP1251 form in the test helper");
    }
    return out;
}

// A trip record of the given heading, identification line and summary, dated 12-15 July
// 2010, with a GPS track.
inline catalogue::TripRecord Cp1251Trip(std::string_view heading, std::string_view idLine,
                                        std::string_view summary) {
    catalogue::TripRecord trip;
    trip.heading = Cp1251(heading);
    trip.idLine = Cp1251(idLine);
    trip.datesLine = Cp1251("Даты похода 12-15 июля 2010");
    trip.summary = Cp1251(summary);
    trip.sightsLine = Cp1251("Что посмотреть: GPS-трек");
    return trip;
}

}  // namespace omvo::test
