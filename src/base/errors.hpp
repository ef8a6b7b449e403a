#pragma once
// The exceptions that end a run. They are thrown where the problem happens and caught only
// in main, which prints the failure report or the console text and sets the exit code.

#include <stdexcept>
#include <string>
#include <string_view>

namespace omvo::base {

// A failed file operation (open, create, read, write, close, rename, console write).
// `code` is the tool's I/O error number: 2 file not found, 3 invalid file name, 4 too many
// open files, 5 access denied, 100 read beyond end of file, 101 disk full, or the errno.
struct InOutError : std::runtime_error {
    InOutError(int code, std::string path);
    InOutError(int code, std::string path, const std::string& message);
    int code;
    std::string path;
};

// A stop the program detects itself; its console text has already been written.
struct RunStop : std::exception {
    explicit RunStop(int exitCode) : exitCode(exitCode) {}
    const char* what() const noexcept override { return "run stopped"; }
    int exitCode;
};

// Maps an errno value of a failed operation on `path` to the tool's I/O error number; an
// errno the tool has no number for stays as it is.
int IoErrorNumber(int err, const std::string& path);

// Throws InOutError for the errno value `err` of a failed operation on `path`. An errno the
// tool has no number for is reported as "I/O error <errno>".
[[noreturn]] void ThrowIoError(int err, const std::string& path);

// The message of an I/O error number: "File not found", ..., "I/O error 42".
std::string IoErrorMessage(int code);

// The three-line failure report (CR LF line ends):
// "Exception <kind> in module <module> at <location>.", the message with a final ".", "".
std::string FailureReport(std::string_view kind, std::string_view module,
                          std::string_view message);

}  // namespace omvo::base
