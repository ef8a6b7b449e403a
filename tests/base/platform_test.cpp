#include "base/platform.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace omvo::base {
namespace {

TEST(Platform, SettingsFileReplacesTheExtensionOfTheExecutableName) {
    const struct { const char* exe; const char* ini; } cases[] = {
        {"/opt/bin/omvo-covering", "/opt/bin/omvo-covering.ini"},
        {"/opt/bin/omvo-covering.exe", "/opt/bin/omvo-covering.ini"},
        {"/opt/v1.2/omvo", "/opt/v1.2/omvo.ini"},
        {"/opt/bin/.hidden", "/opt/bin/.hidden.ini"},
        {"omvo-covering", "omvo-covering.ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(SettingsPathFor(c.exe), c.ini);
}

TEST(Platform, WindowsSeparatesFoldersWithBothSlashesAndADriveWithAColon) {
    if (!IsWindowsBuild()) GTEST_SKIP() << "POSIX names take \\ and : as characters";
    const struct { const char* exe; const char* ini; const char* name; } cases[] = {
        {"C:\\Program Files\\omvo\\omvo-covering.exe",
         "C:\\Program Files\\omvo\\omvo-covering.ini", "omvo-covering.exe"},
        {"D:\\v1.2\\omvo", "D:\\v1.2\\omvo.ini", "omvo"},
        {"D:/v1.2/omvo", "D:/v1.2/omvo.ini", "omvo"},
        {"C:omvo.exe", "C:omvo.ini", "omvo.exe"},
        {"C:v1.2", "C:v1.ini", "v1.2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsPathFor(c.exe), c.ini);
        EXPECT_EQ(FileNameOf(c.exe), c.name);
    }
}

TEST(Platform, ADirectoryIsNoFile) {
    test::TempDir dir;
    EXPECT_FALSE(FileExists(dir.path().string()));
    EXPECT_FALSE(FileExists(dir.File("missing")));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(FileExists(dir.Write("f", "x")));
}

}  // namespace
}  // namespace omvo::base
