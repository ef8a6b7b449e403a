#include "base/output_set.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
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

TEST(OutputSet, RepairsACommitThatAKillCutShortWithTheFilesOfOneRun) {
    const struct {
        const char* what;
        std::vector<std::pair<const char*, const char*>> left;  // name, content
        const char* a;
        const char* b;
    } cases[] = {
        {"killed after \"b\" was replaced: the earlier files are put back",
         {{"a", "old a"}, {"b", "new b"}, {"b.old.tmp", "old b"}, {"a.tmp", "new a"}},
         "old a",
         "old b"},
        {"killed while the earlier files were removed: the new ones stay",
         {{"a", "new a"}, {"b", "new b"}, {"a.old.tmp", "old a"}},
         "new a",
         "new b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const auto& [name, content] : c.left) dir.Write(name, content);
        {
            OutputSet set({dir.File("a"), dir.File("b")});
            EXPECT_EQ(ReadFile(dir.File("a")), c.a);
            EXPECT_EQ(ReadFile(dir.File("b")), c.b);
            EXPECT_EQ(ReadFile(dir.File("a.tmp")), "");  // made anew
        }
        EXPECT_EQ(Names(dir), (std::vector<std::string>{"a", "b"}));
    }
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
