#include "base/errors.hpp"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/temp_dir.hpp"

namespace omvo::base {
namespace {

TEST(Errors, MapsErrnoToTheToolsIoErrorNumbers) {
    testing::TempDir dir;
    const std::string inDir = dir.File("x");
    const std::string noDir = dir.File("none/x");
    const struct { int err; std::string path; int code; } cases[] = {
        {ENOENT, inDir, 2}, {ENOENT, noDir, 3}, {ENOTDIR, inDir, 3}, {ENAMETOOLONG, inDir, 3},
        {EMFILE, inDir, 4}, {ENFILE, inDir, 4}, {EACCES, inDir, 5}, {EPERM, inDir, 5},
        {EISDIR, inDir, 5}, {EROFS, inDir, 5}, {ENOSPC, inDir, 101}, {EDQUOT, inDir, 101},
        {EFBIG, inDir, 101}, {EIO, inDir, EIO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        EXPECT_EQ(IoErrorNumber(c.err, c.path), c.code);
    }
}

TEST(Errors, ReportsAnUnmappedErrnoByItsOwnNumber) {
    testing::TempDir dir;
    const struct { int err; const char* message; } cases[] = {
        {EIO, "I/O error 5"}, {EINTR, "I/O error 4"}, {ENETDOWN, "I/O error 100"},
        {ENOSPC, "Disk full"}, {EACCES, "File access denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        try {
            ThrowIoError(c.err, dir.File("x"));
            FAIL() << "no error";
        } catch (const InOutError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST(Errors, NamesEveryIoErrorNumber) {
    const struct { int code; const char* message; } cases[] = {
        {2, "File not found"},      {3, "Invalid filename"}, {4, "Too many open files"},
        {5, "File access denied"},  {100, "Read beyond end of file"}, {101, "Disk full"},
        {106, "Invalid numeric input"}, {42, "I/O error 42"},
    };
    for (const auto& c : cases) EXPECT_EQ(IoErrorMessage(c.code), c.message);
}

TEST(Errors, FailureReportHasThreeCrLfLines) {
    EXPECT_EQ(FailureReport("EInOutError", "omvo-covering", "File not found"),
              "Exception EInOutError in module omvo-covering at 0040A1C4.\r\n"
              "File not found.\r\n\r\n");
    EXPECT_EQ(FailureReport("EConvertError", "m", "ends."), "Exception EConvertError in module m at 0040A1C4.\r\nends.\r\n\r\n");
}

}  // namespace
}  // namespace omvo::base
