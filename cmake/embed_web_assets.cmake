# Turns the files of the web page (the vendored map library and sanitizer, and the page's own
# script and style sheet) into a C++ source file, so the one executable writes the page alone.
#   cmake -DSOURCE_DIR=<source tree> -DOUTPUT=<web_assets.cpp> -P embed_web_assets.cmake
#
# The style sheet's images become data: URIs and the scripts lose their source-map comments:
# the page must need no file beside it. A script holding "<script" or "</script" would end or
# change the inline block it is written into, so it stops the build; so does a style sheet
# holding "</style". The source also holds the SHA-256 of each script and style sheet as the
# page's Content-Security-Policy names them: each is written into its block byte for byte.
cmake_minimum_required(VERSION 3.25)

set(BASE64_DIGITS "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")

# The Base64 text of the bytes given as lower-case hex digits.
function(hex_to_base64 hex out)
  string(LENGTH "${hex}" size)
  set(text "")
  set(at 0)
  while(at LESS size)
    math(EXPR left "${size} - ${at}")
    if(left GREATER 6)
      set(left 6)
    endif()
    string(SUBSTRING "${hex}" ${at} ${left} chunk)
    string(REPEAT "0" 6 zeros)
    string(APPEND chunk "${zeros}")
    string(SUBSTRING "${chunk}" 0 6 chunk)
    math(EXPR value "0x${chunk}")
    set(digits "")
    foreach(shift 18 12 6 0)
      math(EXPR index "(${value} >> ${shift}) & 63")
      string(SUBSTRING "${BASE64_DIGITS}" ${index} 1 digit)
      string(APPEND digits "${digit}")
    endforeach()
    # One byte gives two digits and "==", two bytes three digits and "=".
    if(left EQUAL 2)
      string(SUBSTRING "${digits}" 0 2 digits)
      string(APPEND digits "==")
    elseif(left EQUAL 4)
      string(SUBSTRING "${digits}" 0 3 digits)
      string(APPEND digits "=")
    endif()
    string(APPEND text "${digits}")
    math(EXPR at "${at} + 6")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The content as a C++ string literal, 48 bytes a line, every byte as a hex escape.
function(literal_of_file path out)
  file(READ "${path}" hex HEX)
  string(REPEAT "[0-9a-f]" 96 line_pattern)
  string(REGEX REPLACE "(${line_pattern})" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" text "${hex}")
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" "\"\n    \"" text "${text}")
  set(${out} "    \"${text}\"" PARENT_SCOPE)
endfunction()

# The script at `path` without its source-map comment, written to `processed`.
function(prepare_script path processed)
  file(READ "${path}" text)
  string(REGEX REPLACE "\n//# sourceMappingURL=[^\n]*\n?$" "\n" text "${text}")
  string(TOLOWER "${text}" lower)
  string(FIND "${lower}" "<script" opening)
  string(FIND "${lower}" "</script" closing)
  if(NOT opening EQUAL -1 OR NOT closing EQUAL -1)
    message(FATAL_ERROR "${path} holds \"<script\" or \"</script\"; it cannot be written "
                        "into an inline script block")
  endif()
  file(WRITE "${processed}" "${text}")
endfunction()

set(work "${OUTPUT}.parts")
file(MAKE_DIRECTORY "${work}")
set(leaflet "${SOURCE_DIR}/third_party/leaflet")

# leaflet.css with its images inside.
file(READ "${leaflet}/leaflet.css" css)
string(REGEX MATCHALL "url\\(images/[a-z0-9-]+\\.png\\)" images "${css}")
list(REMOVE_DUPLICATES images)
foreach(reference IN LISTS images)
  string(REGEX REPLACE "^url\\(images/(.*)\\)$" "\\1" name "${reference}")
  file(READ "${leaflet}/images/${name}" png HEX)
  hex_to_base64("${png}" encoded)
  string(REPLACE "${reference}" "url(data:image/png;base64,${encoded})" css "${css}")
endforeach()
if(css MATCHES "url\\(images/")
  message(FATAL_ERROR "leaflet.css names an image that is not embedded")
endif()
file(WRITE "${work}/leaflet.css" "${css}")
file(COPY_FILE "${SOURCE_DIR}/src/web/page.css" "${work}/page.css")
foreach(sheet leaflet.css page.css)
  file(READ "${work}/${sheet}" text)
  string(TOLOWER "${text}" lower)
  string(FIND "${lower}" "</style" closing)
  if(NOT closing EQUAL -1)
    message(FATAL_ERROR "${sheet} holds \"</style\"; it cannot be written into a style block")
  endif()
endforeach()

prepare_script("${leaflet}/leaflet.js" "${work}/leaflet.js")
prepare_script("${SOURCE_DIR}/third_party/dompurify/purify.min.js" "${work}/purify.js")
prepare_script("${SOURCE_DIR}/src/web/page.js" "${work}/page.js")

set(source "// Made by cmake/embed_web_assets.cmake from third_party/ and src/web/; not to be edited.\n")
string(APPEND source "#include \"web/web_assets.hpp\"\n\nnamespace omvo::web {\n\nnamespace {\n\n")
set(views "")
foreach(part LeafletCss:leaflet.css LeafletJs:leaflet.js PurifyJs:purify.js PageJs:page.js
             PageCss:page.css)
  string(REPLACE ":" ";" part "${part}")
  list(GET part 0 name)
  list(GET part 1 file)
  literal_of_file("${work}/${file}" literal)
  string(APPEND source "constexpr char k${name}Bytes[] =\n${literal};\n\n")
  string(APPEND views
         "const std::string_view k${name}(k${name}Bytes, sizeof k${name}Bytes - 1);\n")
endforeach()

set(hashes "")
foreach(script leaflet.js purify.js page.js)
  file(SHA256 "${work}/${script}" digest)
  hex_to_base64("${digest}" encoded)
  string(APPEND hashes " 'sha256-${encoded}'")
endforeach()
string(STRIP "${hashes}" hashes)
set(style_hashes "")
foreach(sheet leaflet.css page.css)
  file(SHA256 "${work}/${sheet}" digest)
  hex_to_base64("${digest}" encoded)
  string(APPEND style_hashes " 'sha256-${encoded}'")
endforeach()
string(STRIP "${style_hashes}" style_hashes)

string(APPEND source "}  // namespace\n\n${views}")
string(APPEND source "const std::string_view kScriptHashes = \"${hashes}\";\n")
string(APPEND source "const std::string_view kStyleHashes = \"${style_hashes}\";\n\n")
string(APPEND source "}  // namespace omvo::web\n")

# Written only when it changed, so an unchanged page costs no compilation.
file(WRITE "${OUTPUT}.new" "${source}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
