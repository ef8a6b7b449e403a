#include "base/platform.hpp"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace omvo::base {

namespace {

// The tool's paths are bytes in the ANSI code page (CP1251 on a Russian Windows), as the C
// library's fopen takes them; the system's own calls take UTF-16.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

// The ANSI form of a UTF-16 text; false when some character has none.
bool Narrow(const std::wstring& wide, std::string& text) {
    text.clear();
    if (wide.empty()) return true;
    const int size = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                           nullptr, 0, nullptr, &lossy);
    text.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, text.data(), length,
                        nullptr, &lossy);
    return length > 0 && !lossy;
}

// Where the file name starts: after the last "/" or "\".
std::size_t NameStart(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

void PrepareStandardStreams() {
    // The tool writes its own CR LF; a stream in text mode would put a CR before each LF.
    // A closed pipe needs nothing: Windows fails the write rather than ending the process.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ExecutablePath(const std::string& fallback) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return fallback;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try a longer buffer
    }
    std::string text;
    return Narrow(path, text) ? text : fallback;
}

std::string SettingsPathFor(const std::string& executablePath) {
    const std::size_t dot = executablePath.rfind('.');
    if (dot != std::string::npos && dot > NameStart(executablePath)) {
        return executablePath.substr(0, dot) + ".ini";
    }
    return executablePath + ".ini";
}

std::string FileNameOf(const std::string& path) { return path.substr(NameStart(path)); }

}  // namespace omvo::base
