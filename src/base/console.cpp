#include "base/console.hpp"

#include <clocale>

#include "base/encoding.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"

namespace omvo::base {

namespace {

// How the tool's fixed texts reach standard output.
enum class FixedTexts { Cp866, Utf8, Characters };
FixedTexts g_output = FixedTexts::Cp866;

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

void WriteOutput(std::string_view text, TextEncoding encoding) {
    if (text.empty()) return;
    const IoStatus written = WriteStandardStream(StandardStream::Output, text, encoding);
    if (!written.ok()) ThrowIoError(written.error(), "stdout");
}

}  // namespace

void InitConsole() {
    PrepareStandardStreams();
    switch (KindOf(StandardStream::Output)) {
        case StreamKind::ConsoleWindow: g_output = FixedTexts::Characters; break;
        case StreamKind::Terminal:
            g_output = LocaleIsUtf8() ? FixedTexts::Utf8 : FixedTexts::Cp866;
            break;
        case StreamKind::File: g_output = FixedTexts::Cp866; break;
    }
}

void ConsoleText(std::string_view utf8Text) {
    if (g_output == FixedTexts::Cp866) {
        // Bytes of the DOS code page, for a stream that takes bytes.
        WriteOutput(Utf8ToCp866(utf8Text), TextEncoding::Ansi);
    } else {
        WriteOutput(utf8Text, TextEncoding::Utf8);
    }
}

void ConsoleBytes(std::string_view bytes) { WriteOutput(bytes, TextEncoding::Ansi); }

void Warning(std::string_view text) {
    std::string line = "omvo-covering: warning: ";
    line.append(text).append("\r\n");
    ErrorBytes(line);
}

void ErrorBytes(std::string_view bytes) {
    // Nowhere to report a failure of the failure report.
    static_cast<void>(WriteStandardStream(StandardStream::Error, bytes, TextEncoding::Ansi));
}

}  // namespace omvo::base
