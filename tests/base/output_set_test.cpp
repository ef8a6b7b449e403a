#include "base/output_set.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
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

// Every name in the folder with its bytes.
using Listing = std::map<std::string, std::string>;

Listing List(const TempDir& dir) {
    Listing listing;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        listing[name] = entry.is_directory() ? "<folder>" : ReadFile(entry.path().string());
    }
    return listing;
}

OutputSetNames Names(const TempDir& dir, std::vector<std::string> files,
                     std::vector<std::string> others = {}) {
    return {.prefix = dir.File(""),  // the folder with its separator
            .files = std::move(files),
            .others = std::move(others),
            .record = "set"};
}

// What a kill does to the file operations: the one it hits is not made, and nothing after
// it reaches the disk; the process's files are closed all the same.
struct Killed {};

// The system's file operations, counted; one of them fails, every one from it on fails, or
// the process is killed there. Writing to the disk is counted but not done, which keeps the
// tests fast: what the folder shows does not depend on it.
class FaultyFiles final : public FileSystem {
public:
    enum class Fault { None, Once, FromThen, Kill };

    FaultyFiles(Fault fault = Fault::None, int at = 0) : fault_(fault), at_(at) {}

    int steps() const { return static_cast<int>(log_.size()); }
    // The first step that was this operation on this path (counted from 1), or 0.
    int StepOf(std::string_view operation, const std::string& path) const {
        const auto found = std::find(log_.begin(), log_.end(), std::string(operation) + " " + path);
        return found == log_.end() ? 0 : static_cast<int>(found - log_.begin()) + 1;
    }
    int LastStepOf(std::string_view operation, const std::string& path) const {
        const auto found = std::find(log_.rbegin(), log_.rend(), std::string(operation) + " " + path);
        return found == log_.rend() ? 0 : static_cast<int>(log_.rend() - found);
    }

    IoStatus CreateNewFile(const std::string& path, std::FILE*& file) override {
        if (const auto fault = Step("create", path)) return *fault;
        const IoStatus created = base::CreateNewFile(path, file);
        if (created.ok()) open_[file] = path;
        return created;
    }
    IoStatus WriteAll(std::FILE* file, std::string_view bytes) override {
        if (const auto fault = Step("write", open_[file])) return *fault;
        return base::WriteAll(file, bytes);
    }
    IoStatus FlushToDisk(std::FILE* file) override {
        if (const auto fault = Step("flush", open_[file])) return *fault;
        return {};
    }
    IoStatus CloseFile(std::FILE* file) override {
        const std::string path = open_[file];
        open_.erase(file);
        const IoStatus closed = base::CloseFile(file);
        if (const auto fault = Step("close", path)) return *fault;
        return closed;
    }
    IoStatus MayBeReplaced(const std::string& path, bool& present) override {
        if (const auto fault = Step("look", path)) return *fault;
        return base::MayBeReplaced(path, present);
    }
    IoStatus RemoveFile(const std::string& path) override {
        if (const auto fault = Step("remove", path)) return *fault;
        return base::RemoveFile(path);
    }
    IoStatus RenameReplacing(const std::string& from, const std::string& to) override {
        if (const auto fault = Step("rename", from)) return *fault;
        return base::RenameReplacing(from, to);
    }
    IoStatus KeepAside(const std::string& path, const std::string& backup) override {
        if (const auto fault = Step("keep", path)) return *fault;
        return base::KeepAside(path, backup);
    }
    IoStatus FlushFolderOf(const std::string& path) override {
        if (const auto fault = Step("flush folder of", path)) return *fault;
        return {};
    }
    IoStatus ReadSmallFile(const std::string& path, std::size_t limit,
                           std::string& bytes) override {
        if (const auto fault = Step("read", path)) return *fault;
        return SystemFileSystem().ReadSmallFile(path, limit, bytes);
    }

private:
    // The fault of the next step, if any.
    std::optional<IoStatus> Step(std::string_view operation, const std::string& path) {
        if (dead_) {
            // Nothing runs after a kill; destructors on the way out do nothing either.
            if (std::uncaught_exceptions() == 0) throw Killed{};
            return IoStatus(EIO);
        }
        log_.push_back(std::string(operation) + " " + path);
        const int step = steps();
        if (fault_ == Fault::None || step < at_) return std::nullopt;
        switch (fault_) {
            case Fault::Once:
                if (step != at_) return std::nullopt;
                return IoStatus(EIO);
            case Fault::FromThen: return IoStatus(EIO);
            case Fault::Kill: dead_ = true; throw Killed{};
            case Fault::None: break;
        }
        return std::nullopt;
    }

    Fault fault_;
    int at_;
    bool dead_ = false;
    std::map<std::FILE*, std::string> open_;
    std::vector<std::string> log_;
};
using Fault = FaultyFiles::Fault;

enum class Ended { Committed, Failed, Killed };

// A run into the folder through `files`: its set made, written and committed.
Ended RunSet(const TempDir& dir, const std::vector<std::string>& files, FileSystem& through) {
    try {
        OutputSet set(Names(dir, files), through);
        for (std::size_t k = 0; k < files.size(); ++k) set.Write(k, "new " + files[k]);
        set.Commit();
        return Ended::Committed;
    } catch (const InOutError& error) {
        // Named by the file the user knows, never by a temporary name.
        EXPECT_FALSE(error.path.ends_with(".tmp")) << error.path;
        return Ended::Failed;
    } catch (const Killed&) {
        return Ended::Killed;
    }
}

// The next run, which never writes "p" and stops before its commit: what it leaves of the
// folder after its recovery.
Listing AfterNextRun(const TempDir& dir) {
    FaultyFiles none;
    { OutputSet next(Names(dir, {"a", "b"}, {"p"}), none); }
    return List(dir);
}

struct Scenario {
    const char* what;
    std::vector<std::string> earlier;  // the files of the last good run
    std::vector<std::string> files;    // the files of the run that is cut short
    std::vector<std::string> junk;     // names a killed run left before it committed
};

const Scenario kScenarios[] = {
    {"a first run", {}, {"a", "b"}, {}},
    {"a first page", {"a", "b"}, {"a", "b", "p"}, {}},
    {"every file there before", {"a", "b", "p"}, {"a", "b", "p"}, {"a.tmp", "b.old.tmp"}},
};

void Prepare(const TempDir& dir, const Scenario& scenario) {
    for (const std::string& name : scenario.earlier) dir.Write(name, "old " + name);
    for (const std::string& name : scenario.junk) dir.Write(name, "junk");
}

Listing Set(const std::vector<std::string>& names, const char* version) {
    Listing listing;
    for (const std::string& name : names) listing[name] = std::string(version) + " " + name;
    return listing;
}

// A run cut short at every step of its set, by a failure there, by failures from there on,
// and by a kill; then the next run's recovery, itself killed at every one of its steps after
// a cut that left a record. Each time the folder ends with exactly the earlier files or
// exactly the new ones, and a kill gives the new ones exactly when it came after the commit
// record was whole.
TEST(OutputSet, LeavesOneWholeSetWhereverARunOrItsRecoveryIsCutShort) {
    TempDir dir;  // emptied for every case
    const auto empty = [&dir] {
        for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
    };
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.what);
        const Listing oldSet = Set(scenario.earlier, "old");
        const Listing newSet = Set(scenario.files, "new");
        empty();
        Prepare(dir, scenario);
        FaultyFiles counted;
        ASSERT_EQ(RunSet(dir, scenario.files, counted), Ended::Committed);
        ASSERT_EQ(List(dir), newSet);
        const int total = counted.steps();
        // Before the commit the set only recovers and creates: a failure there ends the run as
        // a kill does, and the kills cover it.
        const int made = counted.StepOf("write", dir.File("a.tmp")) - 1;
        const int recordWhole = counted.StepOf("flush", dir.File("set.commit")) - 1;
        ASSERT_GT(made, 0);
        ASSERT_GT(recordWhole, made);  // the step after the record's last write
        // The new files are on the disk in their places: after that the run cannot undo.
        const int decided = counted.LastStepOf("flush folder of", dir.File("a"));
        ASSERT_GT(decided, recordWhole);
        std::set<Listing> recovered;  // the folders left with a record, each recovered once
        // A warning for every run that failed with something left beside its new files, and
        // for every one that failed and left its record.
        int leftBeside = 0;
        int recordLeft = 0;
        test::CaptureStderr();
        for (const Fault fault : {Fault::Once, Fault::FromThen, Fault::Kill}) {
            for (int at = fault == Fault::Kill ? 1 : made + 1; at <= total; ++at) {
                SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)) + " at step " +
                             std::to_string(at) + " of " + std::to_string(total));
                const auto cut = [&] {
                    empty();
                    Prepare(dir, scenario);
                    FaultyFiles faulty(fault, at);
                    const Ended ended = RunSet(dir, scenario.files, faulty);
                    const Listing left = List(dir);
                    // Committed only with every new file in place.
                    if (ended == Ended::Committed) {
                        for (const auto& [name, bytes] : newSet) EXPECT_EQ(left.at(name), bytes);
                    }
                    const bool record =
                        left.contains("set.commit") || left.contains("set.undo");
                    // After the new files are decided in place, a failure only leaves
                    // something beside them, and still fails the run.
                    const bool afterDecided = fault != Fault::Kill && at > decided;
                    if (afterDecided) {
                        EXPECT_EQ(ended, Ended::Failed);
                    }
                    leftBeside += afterDecided;
                    recordLeft += ended == Ended::Failed && record && !afterDecided;
                    return std::tuple(ended, left, record);
                };
                const auto [ended, left, record] = cut();
                const Listing after = AfterNextRun(dir);
                EXPECT_TRUE(after == oldSet || after == newSet) << testing::PrintToString(after);
                if (fault == Fault::Kill) {
                    EXPECT_EQ(after == newSet, at > recordWhole);
                } else if (fault == Fault::Once) {
                    EXPECT_EQ(after == newSet, at > decided);  // a failure before is undone
                }
                if (ended == Ended::Committed) {
                    EXPECT_EQ(after, newSet);
                }
                if (!record || !recovered.insert(left).second) continue;
                // The next run's recovery killed at each of its steps (up to its look at its
                // own first file), then another one.
                int steps = 0;
                {
                    cut();
                    FaultyFiles counted;
                    OutputSet next(Names(dir, {"a", "b"}, {"p"}), counted);
                    steps = counted.LastStepOf("look", dir.File("a")) - 1;
                }
                for (int again = 1; again <= steps; ++again) {
                    SCOPED_TRACE("recovery killed at step " + std::to_string(again));
                    cut();
                    FaultyFiles killed(Fault::Kill, again);
                    EXPECT_THROW(OutputSet(Names(dir, {"a", "b"}, {"p"}), killed), Killed);
                    EXPECT_EQ(AfterNextRun(dir), after);
                }
            }
        }
        const std::string warnings = test::GetCapturedStderr();
        const auto count = [&warnings](std::string_view text) {
            std::size_t found = 0;
            for (std::size_t at = 0; (at = warnings.find(text, at)) != std::string::npos; ++at) {
                ++found;
            }
            return static_cast<int>(found);
        };
        EXPECT_EQ(count("warning: "), leftBeside + recordLeft) << warnings;
        EXPECT_EQ(count("the next run removes what is left"), leftBeside) << warnings;
        EXPECT_EQ(count("record stays"), recordLeft) << warnings;
        EXPECT_GT(leftBeside, 0);
        EXPECT_GT(recordLeft, 0);
    }
}

// Records as a power cut may leave them: a record that never reached the disk whole was
// never decided, and nothing was renamed by it; a whole one is carried out, also for a file
// the next run does not write ("p") or does not know of ("q"). An undo record puts back what
// its commit replaced.
TEST(OutputSet, CarriesOutARecordOnlyWhenItIsWhole) {
    const std::vector<std::string> files = {"a", "b", "p", "q"};
    const auto prepare = [](const TempDir& dir) {
        dir.Write("a", "old a");
        dir.Write("b", "old b");
    };
    // The record of a run killed at its first rename.
    std::string whole;
    {
        TempDir dir;
        prepare(dir);
        FaultyFiles counted;
        ASSERT_EQ(RunSet(dir, files, counted), Ended::Committed);
        TempDir killed;
        prepare(killed);
        FaultyFiles faulty(Fault::Kill, counted.StepOf("rename", dir.File("q.tmp")));
        ASSERT_EQ(RunSet(killed, files, faulty), Ended::Killed);
        whole = ReadFile(killed.File("set.commit"));
    }
    const Listing oldSet = {{"a", "old a"}, {"b", "old b"}};
    const Listing newSet = {{"a", "new a"}, {"b", "new b"}, {"p", "new p"}, {"q", "new q"}};
    // Without a whole record a temporary name the run does not know stays as it is.
    Listing undecided = oldSet;
    undecided["q.tmp"] = "new q";
    struct Case {
        std::string what, record;
        const Listing& expected;
    };
    std::vector<Case> cases = {{"whole", whole, newSet},
                               {"zeros", std::string(whole.size(), '\0'), undecided},
                               {"with more after it", whole + "x", undecided}};
    // Cut at its start, in a name, before the checksum's line, in the checksum, before its
    // last line end; and a byte changed at those places.
    const std::size_t end = whole.rfind("end ");
    for (const std::size_t at :
         {std::size_t{0}, whole.find("new p") + 5, end, end + 10, whole.size() - 1}) {
        cases.push_back({"cut to " + std::to_string(at), whole.substr(0, at), undecided});
        std::string changed = whole;
        changed[at] ^= 0x01;
        cases.push_back({"byte " + std::to_string(at) + " changed", changed, undecided});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        prepare(dir);
        for (const std::string& name : files) dir.Write(name + ".tmp", "new " + name);
        dir.Write("set.commit", c.record);
        EXPECT_EQ(AfterNextRun(dir), c.expected);
    }
    {
        SCOPED_TRACE("the undo record after \"q\", \"p\" and \"b\" were replaced");
        TempDir dir;
        dir.Write("a", "old a");
        dir.Write("a.tmp", "new a");
        dir.Write("b", "new b");
        dir.Write("b.old.tmp", "old b");
        dir.Write("p", "new p");
        dir.Write("q", "new q");
        dir.Write("set.undo", whole);
        EXPECT_EQ(AfterNextRun(dir), oldSet);
    }
}

TEST(OutputSet, RefusesASecondSetInTheSameFolderWhileOneIsOpen) {
    TempDir dir;
    dir.Write("a", "old a");
    OutputSet first(Names(dir, {"a"}));
    // From another thread, as another run would: a lock held by this thread may be taken
    // again by it on Windows.
    omvo::test::CaptureStderr();
    std::thread([&] { EXPECT_THROW(OutputSet(Names(dir, {"b"})), RunStop); }).join();
    const std::string message = omvo::test::GetCapturedStderr();
    EXPECT_NE(message.find(dir.File("b") + " cannot be written now: another run holds the lock"),
              std::string::npos)
        << message;
    EXPECT_EQ(List(dir), (Listing{{"a", "old a"}, {"a.tmp", ""}}));
}

}  // namespace
}  // namespace omvo::base
