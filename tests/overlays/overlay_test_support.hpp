#pragma once
// What the overlay tests share: the example coordinates source and the console they see.

#include <gtest/gtest.h>

#include <string>

#include "base/encoding.hpp"
#include "support/console_capture.hpp"

namespace omvo::test {

inline const std::string kRoute = OMVO_TEST_DATA "/kml/route.kml";
// What the two coordinates elements of route.kml give: the first spreads over four lines.
inline const std::string kRouteCoordinates =
    " \t20.5,54.7,0 20.6,54.8,0 \t20.7,54.9,0  21.0,55.0,0 ";

// The console line of loading a coordinates source file with `dots` coordinates lines.
inline std::string LoadingLine(const std::string& path, int dots) {
    return base::Utf8ToCp866("Загрузка ") + path + std::string(static_cast<std::size_t>(dots), '.') +
           "ok\r\n";
}

struct Console {
    std::string out, err;
};

template <typename F>
Console Capture(F&& action) {
    CaptureStdout();
    CaptureStderr();
    action();
    Console console;
    console.err = GetCapturedStderr();
    console.out = GetCapturedStdout();
    return console;
}

}  // namespace omvo::test
