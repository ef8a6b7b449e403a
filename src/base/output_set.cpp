#include "base/output_set.hpp"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/console.hpp"
#include "base/errors.hpp"

namespace omvo::base {

namespace {

[[noreturn]] void ThrowLastError(int fallback, const std::string& path) {
    ThrowIoError(errno != 0 ? errno : fallback, path);
}

// Throws InOutError when the file at the path cannot be replaced now: a folder, or on
// Windows a file held open against it.
void RequireReplaceable(const std::string& path) {
    errno = 0;
    if (!MayBeReplaced(path)) ThrowLastError(EACCES, path);
}

// The folder part of a path: all before its file name.
std::string_view FolderPart(const std::string& path) {
    return std::string_view(path).substr(0, path.size() - FileNameOf(path).size());
}

// Removes a name, if anything is there; throws InOutError when it stays (a folder).
void RemoveIfThere(const std::string& path) {
    errno = 0;
    if (!RemoveFile(path) && errno != ENOENT) ThrowLastError(EACCES, path);
}

}  // namespace

OutputSet::OutputSet(std::vector<std::string>& finalPaths, Named) {
    members_.reserve(finalPaths.size());
    for (std::string& path : finalPaths) {
        Member member;
        member.tempPath = path + ".tmp";
        member.backupPath = path + ".old.tmp";
        member.finalPath = std::move(path);
        members_.push_back(std::move(member));
    }
}

// Delegating: once the members are named, the destructor removes what a failure after that
// leaves.
OutputSet::OutputSet(std::vector<std::string> finalPaths) : OutputSet(finalPaths, Named{}) {
    if (members_.empty()) return;
    Lock();
    // A commit cut short by a kill or a power cut left earlier files aside. While a
    // temporary file of it is still there, not every file was replaced: the earlier ones are
    // put back, so the set is again the complete output of the last good run. With no
    // temporary file left, every file was replaced and only the earlier ones were still to
    // be removed: putting some back would mix two runs.
    const bool cutWhileReplacing = std::any_of(
        members_.begin(), members_.end(), [](const Member& m) { return FileExists(m.tempPath); });
    for (Member& member : members_) {
        errno = 0;
        if (!cutWhileReplacing) {
            RemoveIfThere(member.backupPath);
        } else if (RenameReplacing(member.backupPath, member.finalPath)) {
            RemoveIfThere(member.backupPath);  // still there when it was a link to the file
        } else if (errno != ENOENT) {
            ThrowLastError(EACCES, member.finalPath);
        }
        RemoveIfThere(member.tempPath);  // the name, never what a link there points at
        RequireReplaceable(member.finalPath);
    }
    for (Member& member : members_) Create(member);
}

void OutputSet::Lock() {
    const std::string& first = members_.front().finalPath;
    errno = 0;
    if (lock_.TryLock(first)) return;
    if (errno != EWOULDBLOCK && errno != EAGAIN) ThrowLastError(EIO, first);
    const std::string_view folder = FolderPart(first);
    std::string message = "omvo-covering: ";
    for (const Member& member : members_) {
        message.append(member.finalPath).append(&member == &members_.back() ? "" : ", ");
    }
    message.append(" cannot be written now: another run holds the lock on their folder ");
    message.append(folder.empty() ? "." : folder).append("; nothing was changed\r\n");
    ErrorBytes(message);
    throw RunStop(1);
}

void OutputSet::Create(Member& member) {
    // Stops wait until the file is made and registered: a stop removes only a file of this
    // run, and every one of them.
    StopSignalsHeld held;
    member.file = std::make_unique<OutputFile>(member.tempPath);
    RegisterTemporaryFile(member.tempPath);
}

OutputSet::~OutputSet() {
    for (Member& member : members_) {
        if (member.file == nullptr) continue;
        if (!committed_) {
            // The run stopped: the temporary file goes, the file of the last good run stays.
            member.file->Discard();
            RemoveFile(member.tempPath);
        }
        ForgetTemporaryFile(member.tempPath);
    }
}

void OutputSet::Commit() {
    for (Member& member : members_) member.file->CloseToDisk();
    for (const Member& member : members_) RequireReplaceable(member.finalPath);
    // A stop waits until the set is replaced or put back.
    StopSignalsHeld held;
    try {
        for (auto member = members_.rbegin(); member != members_.rend(); ++member) {
            Replace(*member);
        }
        errno = 0;
        if (const std::string* folderOf = FlushFolders()) ThrowLastError(EIO, *folderOf);
    } catch (...) {
        for (Member& member : members_) PutBack(member);
        FlushFolders();
        throw;
    }
    committed_ = true;
    for (Member& member : members_) {
        if (member.keptAside) RemoveFile(member.backupPath);
    }
}

const std::string* OutputSet::FlushFolders() const {
    for (std::size_t k = 0; k < members_.size(); ++k) {
        const std::string& path = members_[k].finalPath;
        if (k > 0 && FolderPart(path) == FolderPart(members_[k - 1].finalPath)) continue;
        if (!FlushFolderOf(path)) return &path;
    }
    return nullptr;
}

void OutputSet::Replace(Member& member) {
    errno = 0;
    if (KeepAside(member.finalPath, member.backupPath)) {
        member.keptAside = true;
    } else if (errno != ENOENT) {
        ThrowLastError(EACCES, member.finalPath);
    }
    errno = 0;
    if (!RenameReplacing(member.tempPath, member.finalPath)) {
        ThrowLastError(EACCES, member.finalPath);
    }
    member.replaced = true;
}

void OutputSet::PutBack(Member& member) {
    if (member.keptAside) {
        RenameReplacing(member.backupPath, member.finalPath);
        RemoveFile(member.backupPath);  // still there when it was a link to the final file
        member.keptAside = false;
    } else if (member.replaced) {
        RemoveFile(member.finalPath);  // there was none before
    }
    member.replaced = false;
}

}  // namespace omvo::base
