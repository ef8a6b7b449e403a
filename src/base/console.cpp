#include "base/console.hpp"

#include <cerrno>
#include <clocale>
#include <cstdio>

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

std::string Utf8ToCp866(std::string_view utf8Text) {
    std::string out;
    out.reserve(utf8Text.size());
    for (std::size_t i = 0; i < utf8Text.size();) {
        auto b = static_cast<unsigned char>(utf8Text[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        if ((b & 0xE0) == 0xC0 && i + 1 < utf8Text.size()) {
            unsigned cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8Text[i + 1]) & 0x3Fu);
            i += 2;
            if (cp >= 0x410 && cp <= 0x42F) out += static_cast<char>(0x80 + (cp - 0x410));       // А..Я
            else if (cp >= 0x430 && cp <= 0x43F) out += static_cast<char>(0xA0 + (cp - 0x430));  // а..п
            else if (cp >= 0x440 && cp <= 0x44F) out += static_cast<char>(0xE0 + (cp - 0x440));  // р..я
            else if (cp == 0x401) out += static_cast<char>(0xF0);                                 // Ё
            else if (cp == 0x451) out += static_cast<char>(0xF1);                                 // ё
            else out += '?';
            continue;
        }
        // Longer sequences have no CP866 form in the tool's texts.
        ++i;
        while (i < utf8Text.size() && (static_cast<unsigned char>(utf8Text[i]) & 0xC0) == 0x80) ++i;
        out += '?';
    }
    return out;
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
