#include "base/errors.hpp"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/temp_dir.hpp"

namespace omvo::base {
namespace {

TEST(Errors, ReportsEveryErrnoByTheToolsErrorOrByItsOwnNumber) {
    test::TempDir dir;
    const std::string inDir = dir.File("x");
    const std::string noDir = dir.File("none/x");
    // ENETDOWN is 100 on Linux, where it must not read as the tool's own 100 ("Disk full").
    const std::string netDown = "I/O error " + std::to_string(ENETDOWN);
    const struct { int err; std::string path; IoError error; int number; std::string message; }
        cases[] = {
            {ENOENT, inDir, IoError::FileNotFound, 2, "File not found"},
            {ENOENT, noDir, IoError::InvalidFilename, 3, "Invalid filename"},
            {ENOTDIR, inDir, IoError::InvalidFilename, 3, "Invalid filename"},
            {ENAMETOOLONG, inDir, IoError::InvalidFilename, 3, "Invalid filename"},
            {EINVAL, inDir, IoError::InvalidFilename, 3, "Invalid filename"},
            {EMFILE, inDir, IoError::TooManyOpenFiles, 4, "Too many open files"},
            {ENFILE, inDir, IoError::TooManyOpenFiles, 4, "Too many open files"},
            {EACCES, inDir, IoError::AccessDenied, 5, "File access denied"},
            {EPERM, inDir, IoError::AccessDenied, 5, "File access denied"},
            {EISDIR, inDir, IoError::AccessDenied, 5, "File access denied"},
            {EROFS, inDir, IoError::AccessDenied, 5, "File access denied"},
            {ENOSPC, inDir, IoError::DiskFull, 101, "Disk full"},
#ifdef EDQUOT
            {EDQUOT, inDir, IoError::DiskFull, 101, "Disk full"},
#endif
            {EFBIG, inDir, IoError::DiskFull, 101, "Disk full"},
            // Errnos of their own keep their numbers, even where the tool's mean otherwise.
            {EIO, inDir, IoError::Other, EIO, "I/O error 5"},
            {EINTR, inDir, IoError::Other, EINTR, "I/O error 4"},
            {ENETDOWN, inDir, IoError::Other, ENETDOWN, netDown},
        };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        try {
            ThrowIoError(c.err, c.path);
            FAIL() << "no error";
        } catch (const InOutError& error) {
            EXPECT_EQ(error.error, c.error);
            EXPECT_EQ(error.number, c.number);
            EXPECT_EQ(error.what(), c.message);
            EXPECT_EQ(error.path, c.path);
        }
    }
}

TEST(Errors, FailureReportHasThreeCrLfLines) {
    EXPECT_EQ(FailureReport("EInOutError", "omvo-covering", "File not found"),
              "Exception EInOutError in module omvo-covering at 0040A1C4.\r\n"
              "File not found.\r\n\r\n");
    EXPECT_EQ(FailureReport("EConvertError", "m", "ends."), "Exception EConvertError in module m at 0040A1C4.\r\nends.\r\n\r\n");
}

}  // namespace
}  // namespace omvo::base
