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

TEST(Platform, ADirectoryIsNoFile) {
    testing::TempDir dir;
    EXPECT_FALSE(FileExists(dir.path().string()));
    EXPECT_FALSE(FileExists(dir.File("missing")));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(FileExists(dir.Write("f", "x")));
}

}  // namespace
}  // namespace omvo::base
