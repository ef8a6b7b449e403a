#include "base/output_set.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "base/console.hpp"
#include "base/errors.hpp"

namespace omvo::base {

namespace {

constexpr std::string_view kTemporary = ".tmp";
constexpr std::string_view kBackup = ".old.tmp";

// Throws InOutError naming the path, with the operation made of the parts, unless done.
void Check(IoStatus status, const std::string& path,
           std::initializer_list<std::string_view> operation) {
    if (status.ok()) return;
    std::string text;
    for (std::string_view part : operation) text.append(part);
    ThrowIoError(status.error(), path, std::move(text));
}

// The same for an operation that is as good as done when nothing is there (a name to remove
// or to rename that a step before this one, or an earlier recovery, took already).
void CheckUnlessAbsent(IoStatus status, const std::string& path,
                       std::initializer_list<std::string_view> operation) {
    if (!status.absent()) Check(status, path, operation);
}

// The folder part of a path: all before its file name.
std::string_view FolderPart(const std::string& path) {
    return std::string_view(path).substr(0, path.size() - FileNameOf(path).size());
}

// --- The commit record ---
//
// One line a file, "earlier <name>" or "new <name>" (no earlier file was there), between a
// first line and a last one that holds the checksum of everything before it. A record that
// a power cut caught before it reached the disk (empty, cut short, a block of zeros) fails
// the check: its commit was never decided, and nothing was renamed by it.

constexpr std::string_view kRecordStart = "omvo-covering output set\n";
constexpr std::string_view kEarlier = "earlier ";
constexpr std::string_view kNew = "new ";
constexpr std::string_view kRecordEnd = "end ";
constexpr std::size_t kRecordLimit = 64 * 1024;

// FNV-1a, 64 bits: enough to tell a record cut short or garbled from a whole one.
std::string Checksum(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001b3u;
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash);
    return text;
}

std::string RecordText(const std::vector<SetFile>& set) {
    std::string text(kRecordStart);
    for (const SetFile& file : set) {
        text.append(file.earlier ? kEarlier : kNew).append(file.name).append("\n");
    }
    const std::string checksum = Checksum(text);
    text.append(kRecordEnd).append(checksum).append("\n");
    return text;
}

// A name of a file beside the record: no folder in it, nothing that leads out of the folder.
bool PlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('\0') == std::string_view::npos && FileNameOf(std::string(name)) == name;
}

// The files of a whole record, each named once, by name and whether it had an earlier
// version; false for any other text. A name the run does not know (an earlier version of
// the tool may write others) is finished all the same: the commit was decided.
bool ParseRecord(std::string_view text, std::vector<std::pair<std::string, bool>>& files) {
    files.clear();
    if (!text.starts_with(kRecordStart) || !text.ends_with('\n')) return false;
    const std::size_t last = text.rfind('\n', text.size() - 2) + 1;
    const std::string_view body = text.substr(0, last);
    if (text.substr(last) != std::string(kRecordEnd) + Checksum(body) + "\n") return false;
    for (std::size_t at = kRecordStart.size(); at < last;) {
        const std::size_t end = body.find('\n', at);
        std::string_view line = body.substr(at, end - at);
        at = end + 1;
        const bool earlier = line.starts_with(kEarlier);
        if (!earlier && !line.starts_with(kNew)) return false;
        line.remove_prefix(earlier ? kEarlier.size() : kNew.size());
        const auto named = [line](const auto& file) { return file.first == line; };
        if (!PlainName(line) || std::any_of(files.begin(), files.end(), named)) return false;
        files.emplace_back(line, earlier);
    }
    return !files.empty();
}

// --- The steps of finishing a commit, or of putting its earlier files back ---
//
// Every step may be repeated, by a recovery after a kill in the middle of it: a name that
// a step would rename or remove and that is gone was taken care of before. They allocate no
// memory unless they fail, so a commit that memory runs out in can still be undone.
class Steps {
public:
    explicit Steps(FileSystem& files) : files_(files) {}

    void FlushFolder(const std::string& path) {
        Check(files_.FlushFolderOf(path), path, {"writing its folder to the disk"});
    }

    // A decided commit: every new file in its place, on the disk, then no backup left.
    void Forward(const std::vector<SetFile>& set) {
        for (const SetFile& file : set) {
            CheckUnlessAbsent(files_.RenameReplacing(file.temporary, file.path), file.path,
                              {"renaming ", file.temporary, " to it"});
        }
        FlushFolder(set.front().path);
        RemoveBackups(set);
    }

    // Once every new file is in place: the earlier files kept aside go.
    void RemoveBackups(const std::vector<SetFile>& set) {
        for (const SetFile& file : set) {
            if (!file.earlier) continue;
            CheckUnlessAbsent(files_.RemoveFile(file.backup), file.path,
                              {"removing ", file.backup});
        }
    }

    // A commit undone: every earlier file back in its place, no file where there was none,
    // no temporary file, and all of it on the disk.
    void Back(const std::vector<SetFile>& set) {
        for (const SetFile& file : set) {
            if (file.earlier) {
                CheckUnlessAbsent(files_.RenameReplacing(file.backup, file.path), file.path,
                                  {"putting back ", file.backup});
                // Still there when it was a second name of the file in place, never replaced.
                CheckUnlessAbsent(files_.RemoveFile(file.backup), file.path,
                                  {"removing ", file.backup});
            } else {
                CheckUnlessAbsent(files_.RemoveFile(file.path), file.path,
                                  {"removing it: there was none before"});
            }
            CheckUnlessAbsent(files_.RemoveFile(file.temporary), file.path,
                              {"removing ", file.temporary});
        }
        FlushFolder(set.front().path);
    }

    // With no commit under way: no temporary file left of any name. A backup whose file is in
    // place was left by a finished commit; one whose file is missing is its only copy and goes
    // back.
    void Sweep(const std::vector<SetFile>& set) {
        for (const SetFile& file : set) {
            // The name, never what a link there points at.
            CheckUnlessAbsent(files_.RemoveFile(file.temporary), file.path,
                              {"removing ", file.temporary});
            bool kept = false;
            Check(files_.MayBeReplaced(file.backup, kept), file.path, {"looking at ", file.backup});
            if (!kept) continue;
            bool inPlace = false;
            Check(files_.MayBeReplaced(file.path, inPlace), file.path, {});
            if (inPlace) {
                Check(files_.RemoveFile(file.backup), file.path, {"removing ", file.backup});
            } else {
                Check(files_.RenameReplacing(file.backup, file.path), file.path,
                      {"putting back ", file.backup});
            }
        }
    }

private:
    FileSystem& files_;
};

// A step's failure that the run goes on from (or past) as a warning, with what follows.
void Warn(const InOutError& failure, std::string_view consequence) {
    std::string text = failure.path + ": " + failure.what();
    if (!failure.operation.empty()) text.append(", while ").append(failure.operation);
    Warning(text.append("; ").append(consequence));
}

}  // namespace

OutputSet::OutputSet(OutputSetNames& names, FileSystem& system, Named)
    : system_(system),
      prefix_(std::move(names.prefix)),
      commitRecord_(prefix_ + names.record + ".commit"),
      undoRecord_(prefix_ + names.record + ".undo") {
    for (std::string& name : names.files) set_.push_back(FileNamed(std::move(name)));
    known_ = set_;
    for (std::string& name : names.others) known_.push_back(FileNamed(std::move(name)));
    files_.resize(set_.size());
}

SetFile OutputSet::FileNamed(std::string name) const {
    SetFile file;
    file.path = prefix_ + name;
    file.temporary = file.path + std::string(kTemporary);
    file.backup = file.path + std::string(kBackup);
    file.name = std::move(name);
    return file;
}

// Delegating: once the files are named, the destructor removes what a failure after that
// leaves.
OutputSet::OutputSet(OutputSetNames names, FileSystem& system)
    : OutputSet(names, system, Named{}) {
    if (set_.empty()) return;
    Lock();
    {
        // A stop waits until the folder holds one set again.
        StopSignalsHeld held;
        Recover(undoRecord_, false);
        Recover(commitRecord_, true);
        Steps(system_).Sweep(known_);
    }
    for (SetFile& file : set_) Check(system_.MayBeReplaced(file.path, file.earlier), file.path, {});
    for (std::size_t k = 0; k < set_.size(); ++k) Create(k);
}

void OutputSet::Recover(const std::string& record, bool forward) {
    std::string text;
    const IoStatus read = system_.ReadSmallFile(record, kRecordLimit, text);
    if (!read.absent()) {
        Check(read, record, {"reading it"});
        std::vector<std::pair<std::string, bool>> listed;
        if (ParseRecord(text, listed)) {
            std::vector<SetFile> set;
            for (auto& [name, earlier] : listed) {
                set.push_back(FileNamed(std::move(name)));
                set.back().earlier = earlier;
            }
            Steps steps(system_);
            forward ? steps.Forward(set) : steps.Back(set);
        }
    }
    // Also a record that was never whole, and a link there that leads nowhere.
    CheckUnlessAbsent(system_.RemoveFile(record), record, {"removing it"});
}

void OutputSet::Lock() {
    const std::string& first = set_.front().path;
    const IoStatus locked = lock_.TryLock(first);
    if (locked.ok()) return;
    if (locked.error() != EWOULDBLOCK && locked.error() != EAGAIN) {
        Check(locked, first, {"locking its folder"});
    }
    const std::string_view folder = FolderPart(first);
    std::string message = "omvo-covering: ";
    for (const SetFile& file : set_) {
        message.append(file.path).append(&file == &set_.back() ? "" : ", ");
    }
    message.append(" cannot be written now: another run holds the lock on their folder ");
    message.append(folder.empty() ? "." : folder).append("; nothing was changed\r\n");
    ErrorBytes(message);
    throw RunStop(1);
}

void OutputSet::Create(std::size_t k) {
    // Stops wait until the file is made and registered: a stop removes only a file of this
    // run, and every one of them.
    StopSignalsHeld held;
    files_[k] = std::make_unique<OutputFile>(set_[k].temporary, set_[k].path, system_);
    RegisterTemporaryFile(set_[k].temporary);
}

OutputSet::~OutputSet() {
    for (std::size_t k = 0; k < files_.size(); ++k) {
        if (files_[k] == nullptr) continue;
        if (!committed_ && record_ == Record::None) {
            // The run stopped: the temporary file goes, the file of the last good run stays.
            files_[k]->Discard();
            static_cast<void>(system_.RemoveFile(set_[k].temporary));  // else the next run's
        }
        ForgetTemporaryFile(set_[k].temporary);
    }
}

void OutputSet::Commit() {
    for (const auto& file : files_) file->CloseToDisk();
    for (SetFile& file : set_) Check(system_.MayBeReplaced(file.path, file.earlier), file.path, {});
    // A stop waits until the set is replaced or put back.
    StopSignalsHeld held;
    // From the record on the temporary files are the record's, which a stop must not take.
    for (const SetFile& file : set_) ForgetTemporaryFile(file.temporary);
    try {
        WriteRecord();
        for (auto file = set_.rbegin(); file != set_.rend(); ++file) Replace(*file);
        Steps(system_).FlushFolder(set_.front().path);
    } catch (...) {
        if (record_ == Record::Commit) Undo();
        throw;
    }
    committed_ = true;
    Finish();
}

void OutputSet::WriteRecord() {
    const std::string text = RecordText(set_);
    OutputFile record(commitRecord_, {}, system_);
    record_ = Record::Commit;  // whatever it holds: from here on it is this set's to remove
    record.Write(text);
    record.CloseToDisk();
    Steps(system_).FlushFolder(commitRecord_);
}

void OutputSet::Replace(const SetFile& file) {
    if (file.earlier) {
        Check(system_.KeepAside(file.path, file.backup), file.path,
              {"keeping it as ", file.backup});
    }
    Check(system_.RenameReplacing(file.temporary, file.path), file.path,
          {"renaming ", file.temporary, " to it"});
}

void OutputSet::Undo() {
    try {
        Check(system_.RenameReplacing(commitRecord_, undoRecord_), commitRecord_,
              {"renaming it to ", undoRecord_});
        record_ = Record::Undo;
        Steps steps(system_);
        steps.FlushFolder(undoRecord_);
        steps.Back(set_);
        CheckUnlessAbsent(system_.RemoveFile(undoRecord_), undoRecord_, {"removing it"});
        record_ = Record::None;
    } catch (const InOutError& failure) {
        Warn(failure, record_ == Record::Commit
                          ? "the commit record stays, and the next run first completes "
                            "this run's replacement of the files"
                          : "the undo record stays, and the next run first puts the "
                            "earlier files back");
    }
}

void OutputSet::Finish() {
    try {
        Steps(system_).RemoveBackups(set_);
        CheckUnlessAbsent(system_.RemoveFile(commitRecord_), commitRecord_, {"removing it"});
        record_ = Record::None;
    } catch (const InOutError& failure) {
        // The run's files are whole and in place, but the folder is not clean: the run
        // fails, so that no one takes the leftovers for the end of a good run.
        Warn(failure, "the new files are in place, and the next run removes what is left "
                      "of the old ones first");
        throw;
    }
}

}  // namespace omvo::base
