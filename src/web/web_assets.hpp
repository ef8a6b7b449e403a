#pragma once
// The files the web page is made of, built into the executable (cmake/embed_web_assets.cmake
// makes their source from third_party/ and src/web/).

#include <string_view>

namespace omvo::web {

extern const std::string_view kLeafletCss;  // the map library's style sheet, images inside
extern const std::string_view kLeafletJs;   // the map library
extern const std::string_view kPurifyJs;    // the HTML sanitizer
extern const std::string_view kPageJs;      // the page's own script
extern const std::string_view kPageCss;     // the page's own style sheet
// "'sha256-...' 'sha256-...' 'sha256-...'": the three scripts, for the page's
// Content-Security-Policy.
extern const std::string_view kScriptHashes;
// The same for the two style sheets.
extern const std::string_view kStyleHashes;

}  // namespace omvo::web
