#pragma once
// Files that replace their earlier versions together: the complete output of one run, or
// nothing of it. While the set lives it holds the lock on the folder of its first file, so
// no other run writes there meanwhile; no file is made for the lock. Each file is written
// under a temporary name (its name + ".tmp") that the set creates anew, never through a
// link nor into a file it did not make; a stop signal removes them, and so does the set
// when it goes without being committed. The commit writes every file to the disk, then
// replaces the final files all or none: each earlier file is kept under a backup name (its
// name + ".old.tmp", a hard link) until all are replaced, and put back when one fails.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/output_file.hpp"
#include "base/platform.hpp"

namespace omvo::base {

class OutputSet {
public:
    // Takes the lock, puts back the files of a commit that a kill cut short before every file
    // was replaced (after that, only removes the earlier files kept aside), removes
    // temporary files left by a killed run, then creates the temporary files in order.
    // Throws InOutError (also when a final path is a folder); writes a message naming the
    // files and the locked folder, and throws RunStop(1), when another run holds the lock.
    // Nothing is changed unless the lock was taken; files created before a failure are
    // removed.
    explicit OutputSet(std::vector<std::string> finalPaths);
    // Removes the temporary files unless committed.
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Appends the bytes to file k (counted in the order of the final paths). Throws
    // InOutError naming its temporary file.
    void Write(std::size_t k, std::string_view bytes) { members_[k].file->Write(bytes); }

    // Writes every file to the disk, then replaces the final files in reverse order (the
    // first one last), and the folder to the disk; when one cannot be replaced, those
    // replaced before it are put back. Throws InOutError naming the file that failed.
    void Commit();

    std::size_t size() const { return members_.size(); }
    const std::string& finalPath(std::size_t k) const { return members_[k].finalPath; }

private:
    struct Member {
        std::string finalPath, tempPath, backupPath;
        std::unique_ptr<OutputFile> file;  // null until created
        bool keptAside = false;            // backupPath holds the earlier file
        bool replaced = false;             // finalPath holds the new file
    };

    struct Named {};
    OutputSet(std::vector<std::string>& finalPaths, Named);

    void Lock();
    void Create(Member& member);
    void Replace(Member& member);
    void PutBack(Member& member);
    // Writes the folders of the final files to the disk; the file whose folder failed, or
    // null.
    const std::string* FlushFolders() const;

    FolderLock lock_;
    std::vector<Member> members_;
    bool committed_ = false;
};

}  // namespace omvo::base
