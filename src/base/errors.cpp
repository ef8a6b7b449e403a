#include "base/errors.hpp"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

namespace omvo::base {

InOutError::InOutError(int code, std::string path)
    : InOutError(code, std::move(path), IoErrorMessage(code)) {}

InOutError::InOutError(int code, std::string path, const std::string& message)
    : std::runtime_error(message), code(code), path(std::move(path)) {}

namespace {

// A missing file in a missing directory is an invalid file name, not a missing file.
bool DirectoryPartExists(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code ec;
    return std::filesystem::is_directory(parent, ec);
}

std::optional<int> MappedIoErrorNumber(int err, const std::string& path) {
    switch (err) {
        case ENOENT: return DirectoryPartExists(path) ? 2 : 3;
        case ENOTDIR:
        case ENAMETOOLONG: return 3;
        case EMFILE:
        case ENFILE: return 4;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return 5;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return 101;
        default: return std::nullopt;
    }
}

}  // namespace

int IoErrorNumber(int err, const std::string& path) {
    return MappedIoErrorNumber(err, path).value_or(err);
}

void ThrowIoError(int err, const std::string& path) {
    if (const std::optional<int> code = MappedIoErrorNumber(err, path)) {
        throw InOutError(*code, path);
    }
    // An errno of its own is named by its number, even where that number means something
    // else among the tool's own (EIO is 5, not "File access denied").
    throw InOutError(err, path, "I/O error " + std::to_string(err));
}

std::string IoErrorMessage(int code) {
    switch (code) {
        case 2: return "File not found";
        case 3: return "Invalid filename";
        case 4: return "Too many open files";
        case 5: return "File access denied";
        case 100: return "Read beyond end of file";
        case 101: return "Disk full";
        case 106: return "Invalid numeric input";
        default: return "I/O error " + std::to_string(code);
    }
}

std::string FailureReport(std::string_view kind, std::string_view module,
                          std::string_view message) {
    // A fixed code location keeps the report stable from run to run.
    std::string report = "Exception ";
    report.append(kind).append(" in module ").append(module).append(" at 0040A1C4.\r\n");
    report.append(message);
    if (message.empty() || message.back() != '.') report += '.';
    report += "\r\n\r\n";
    return report;
}

}  // namespace omvo::base
