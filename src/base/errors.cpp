#include "base/errors.hpp"

#include <cerrno>

#include "base/platform.hpp"

namespace omvo::base {

namespace {

// A missing file in a missing directory is an invalid file name, not a missing file.
bool DirectoryPartExists(const std::string& path) {
    const std::string directory = path.substr(0, path.size() - FileNameOf(path).size());
    return directory.empty() || IsDirectory(directory);
}

// The report's number and message of each error of the tool's own.
struct IoErrorEntry {
    IoError error;
    int number;
    std::string_view message;
};

constexpr IoErrorEntry kIoErrors[] = {
    {IoError::FileNotFound, 2, "File not found"},
    {IoError::InvalidFilename, 3, "Invalid filename"},
    {IoError::TooManyOpenFiles, 4, "Too many open files"},
    {IoError::AccessDenied, 5, "File access denied"},
    {IoError::DiskFull, 101, "Disk full"},
};

const IoErrorEntry* EntryOf(IoError error) {
    for (const IoErrorEntry& entry : kIoErrors) {
        if (entry.error == error) return &entry;
    }
    return nullptr;
}

std::string MessageOf(IoError error, int number) {
    if (const IoErrorEntry* entry = EntryOf(error)) return std::string(entry->message);
    // An errno of its own is named by its number, even where that number means something
    // else among the tool's own (EIO is 5, not "File access denied").
    return "I/O error " + std::to_string(number);
}

}  // namespace

InOutError::InOutError(IoError error, int number, std::string path, std::string operation)
    : std::runtime_error(MessageOf(error, number)),
      error(error),
      number(number),
      path(std::move(path)),
      operation(std::move(operation)) {}

IoError IoErrorOf(int err, const std::string& path) {
    switch (err) {
        case ENOENT:
            return DirectoryPartExists(path) ? IoError::FileNotFound : IoError::InvalidFilename;
        case ENOTDIR:
        case ENAMETOOLONG:
        case EINVAL: return IoError::InvalidFilename;  // on Windows: a name it does not take
        case EMFILE:
        case ENFILE: return IoError::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return IoError::AccessDenied;
#ifdef EDQUOT  // not every C library knows disk quotas
        case EDQUOT:
#endif
        case ENOSPC:
        case EFBIG: return IoError::DiskFull;
        default: return IoError::Other;
    }
}

void ThrowIoError(int err, const std::string& path, std::string operation) {
    const IoError error = IoErrorOf(err, path);
    const IoErrorEntry* entry = EntryOf(error);
    throw InOutError(error, entry != nullptr ? entry->number : err, path, std::move(operation));
}

std::array<std::string_view, 7> FailureReportParts(std::string_view kind,
                                                   std::string_view module,
                                                   std::string_view message) {
    const bool endsWithDot = !message.empty() && message.back() == '.';
    // A fixed code location keeps the report stable from run to run.
    return {"Exception ", kind,    " in module ",
            module,       " at 0040A1C4.\r\n", message,
            endsWithDot ? "\r\n\r\n" : ".\r\n\r\n"};
}

std::string FailureReport(std::string_view kind, std::string_view module,
                          std::string_view message) {
    std::string report;
    for (std::string_view part : FailureReportParts(kind, module, message)) report += part;
    return report;
}

}  // namespace omvo::base
