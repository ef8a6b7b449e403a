#pragma once
// The exceptions that end a run. They are thrown where the problem happens and caught only
// in main, which prints the failure report or the console text and sets the exit code.

#include <stdexcept>
#include <array>
#include <string>
#include <string_view>

namespace omvo::base {

// What a failed file operation comes to in the failure report.
enum class IoError {
    FileNotFound,
    InvalidFilename,  // also a missing folder
    TooManyOpenFiles,
    AccessDenied,
    DiskFull,
    Other,  // named by its errno
};

// A failed file operation (open, create, read, write, close, rename, console write).
struct InOutError : std::runtime_error {
    InOutError(IoError error, int number, std::string path, std::string operation = {});
    IoError error;
    int number;  // the report's I/O error number; the errno for Other
    std::string path;       // the file as the user knows it: a document, not its temporary name
    std::string operation;  // what failed, when it is not plain from the path: "writing x.tmp"
};

// A stop the program detects itself; its console text has already been written.
struct RunStop : std::exception {
    explicit RunStop(int exitCode) : exitCode(exitCode) {}
    const char* what() const noexcept override { return "run stopped"; }
    int exitCode;
};

// Returns what an errno value of a failed operation on `path` comes to.
IoError IoErrorOf(int err, const std::string& path);

// Throws InOutError for the errno value `err` of a failed operation on `path`. An errno the
// tool has no error of its own for is reported as "I/O error <errno>".
[[noreturn]] void ThrowIoError(int err, const std::string& path, std::string operation = {});

// Returns the three-line failure report (CR LF line ends):
// "Exception <kind> in module <module> at <location>.", the message with a final ".", "".
std::string FailureReport(std::string_view kind, std::string_view module,
                          std::string_view message);

// Returns the failure report as the texts it is made of, in order, to be written one after
// the other without allocating.
std::array<std::string_view, 7> FailureReportParts(std::string_view kind,
                                                   std::string_view module,
                                                   std::string_view message);

}  // namespace omvo::base
