#include "base/platform.hpp"

#include <filesystem>
#include <system_error>

namespace omvo::base {

void PrepareStandardStreams() {}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::string ExecutablePath(const std::string& fallback) { return fallback; }

std::string SettingsPathFor(const std::string& executablePath) {
    std::size_t slash = executablePath.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = executablePath.rfind('.');
    if (dot != std::string::npos && dot > nameStart) {
        return executablePath.substr(0, dot) + ".ini";
    }
    return executablePath + ".ini";
}

std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace omvo::base
