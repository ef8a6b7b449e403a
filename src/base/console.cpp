#include "base/console.hpp"

#include <cerrno>
#include <clocale>
#include <cstdio>

#include "base/encoding.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"

namespace omvo::base {

namespace {

bool g_stdoutUtf8 = false;

bool LocaleIsUtf8() {
    const char* name = std::setlocale(LC_CTYPE, "");
    if (name == nullptr) return false;
    std::string lower;
    for (const char* p = name; *p != '\0'; ++p) {
        char c = *p;
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    std::setlocale(LC_CTYPE, "C");  // nothing else of the tool depends on the locale
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
}

void WriteTo(std::FILE* stream, std::string_view bytes, const char* name) {
    if (bytes.empty()) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() ||
        std::fflush(stream) != 0) {
        ThrowIoError(errno != 0 ? errno : EIO, name);
    }
}

}  // namespace

void InitConsole() {
    g_stdoutUtf8 = StandardOutputIsTerminal() && LocaleIsUtf8();
}

void ConsoleText(std::string_view utf8Text) {
    if (g_stdoutUtf8) {
        WriteTo(stdout, utf8Text, "stdout");
    } else {
        WriteTo(stdout, Utf8ToCp866(utf8Text), "stdout");
    }
}

void ConsoleBytes(std::string_view bytes) { WriteTo(stdout, bytes, "stdout"); }

void Warning(std::string_view text) {
    std::string line = "omvo-covering: warning: ";
    line.append(text).append("\r\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void ErrorBytes(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

}  // namespace omvo::base
