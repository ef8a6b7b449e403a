#include "base/output_set.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/errors.hpp"
#include "support/console_capture.hpp"
#include "support/temp_dir.hpp"

namespace omvo::base {
namespace {

namespace fs = std::filesystem;
using omvo::test::ReadFile;
using omvo::test::TempDir;

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutputSet, ReplacesAnyNumberOfFilesTogetherAtCommit) {
    TempDir dir;
    dir.Write("b", "old b");
    {
        OutputSet set({dir.File("a"), dir.File("b"), dir.File("c"), dir.File("d")});
        for (std::size_t k = 0; k < set.size(); ++k) set.Write(k, set.finalPath(k));
        EXPECT_EQ(Names(dir), (std::vector<std::string>{"a.tmp", "b", "b.tmp", "c.tmp", "d.tmp"}));
        set.Commit();
    }
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(ReadFile(dir.File("b")), dir.File("b"));
}

TEST(OutputSet, PutsBackTheFilesOfACommitThatAKillCutShort) {
    TempDir dir;
    // Killed after "b" was replaced: its earlier file is kept aside, "a" is the earlier one.
    dir.Write("a", "old a");
    dir.Write("b", "new b");
    dir.Write("b.old.tmp", "old b");
    dir.Write("a.tmp", "new a");
    {
        OutputSet set({dir.File("a"), dir.File("b")});
        EXPECT_EQ(ReadFile(dir.File("a")), "old a");
        EXPECT_EQ(ReadFile(dir.File("b")), "old b");
        EXPECT_EQ(ReadFile(dir.File("a.tmp")), "");  // made anew
    }
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"a", "b"}));
}

TEST(OutputSet, KeepsTheNewFilesWhenAKillCameAfterEveryFileWasReplaced) {
    TempDir dir;
    // Killed while the earlier files were being removed: "b" is gone, "a" is still aside.
    dir.Write("a", "new a");
    dir.Write("b", "new b");
    dir.Write("a.old.tmp", "old a");
    {
        OutputSet set({dir.File("a"), dir.File("b")});
        EXPECT_EQ(ReadFile(dir.File("a")), "new a");
        EXPECT_EQ(ReadFile(dir.File("b")), "new b");
    }
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"a", "b"}));
}

TEST(OutputSet, RefusesASecondSetInTheSameFolderWhileOneIsOpen) {
    TempDir dir;
    dir.Write("a", "old a");
    OutputSet first({dir.File("a")});
    // From another thread, as another run would: a lock held by this thread may be taken
    // again by it on Windows.
    omvo::test::CaptureStderr();
    std::thread([&] { EXPECT_THROW(OutputSet({dir.File("b")}), RunStop); }).join();
    const std::string message = omvo::test::GetCapturedStderr();
    EXPECT_NE(message.find(dir.File("b") + " cannot be written now: another run holds the lock"),
              std::string::npos)
        << message;
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"a", "a.tmp"}));
}

}  // namespace
}  // namespace omvo::base
