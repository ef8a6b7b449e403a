#pragma once
// Files that replace their earlier versions together: the complete output of one run, or
// nothing of it, whatever ends a run and wherever.
//
// While the set lives it holds the lock on the folder of its files, so no other run writes
// there meanwhile; no file is made for the lock. Each file is written under a temporary name
// (its name + ".tmp") that the set creates anew, never through a link nor into a file it did
// not make; a stop signal removes them, and so does the set when it goes uncommitted.
//
// The commit writes every file to the disk, then decides in one durable step: it creates the
// commit record (the record's name + ".commit"), which lists every name of the set and
// whether an earlier file was there, and writes the record and the folder to the disk. Only
// then are the final files replaced, each earlier one kept under a backup name (its name +
// ".old.tmp", a hard link) until all are; the folder is written to the disk again, then the
// backups and last the record are removed. When a file cannot be replaced, the record is
// renamed to the record's name + ".undo" and the earlier files are put back by it.
//
// A set begins by finishing whatever a killed run (or a power cut) left, before it changes
// anything: a commit record completes that commit, an undo record completes the putting
// back, and the temporary names of every file the tool may write there are then removed (a
// backup left without a record is put back where its file is missing). Each of these steps
// may be repeated, and a record goes only once its steps are done and on the disk, so a
// recovery cut short is finished by the next one. Stops wait while the set finishes or puts
// back; a step that fails stops the run, leaving the record for the next run.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.hpp"
#include "base/output_file.hpp"
#include "base/platform.hpp"

namespace omvo::base {

// The names of a set. Every path is `prefix` + name: the prefix is the folder with its
// separator (or a folder and the start of the names).
struct OutputSetNames {
    std::string prefix;
    std::vector<std::string> files;   // the files of this set, in order
    std::vector<std::string> others;  // names an earlier set may have held besides these
    std::string record;               // the name of the records, before ".commit"/".undo"
};

// A file of a set: its name after the prefix, its paths, and whether an earlier file was in
// its place when the commit began, as the commit record lists it.
struct SetFile {
    std::string name;
    std::string path, temporary, backup;
    bool earlier = false;
};

class OutputSet {
public:
    // Takes the lock, finishes what a run cut short left (see above), checks that every final
    // path may be replaced, then creates the temporary files in order. Throws InOutError (also
    // when a final path is a folder); writes a message naming the files and the locked folder,
    // and throws RunStop(1), when another run holds the lock. Nothing is changed unless the
    // lock was taken; files created before a failure are removed.
    explicit OutputSet(OutputSetNames names, FileSystem& system = SystemFileSystem());
    // Removes the temporary files unless committed, or left to a record for the next run.
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Appends the bytes to file k (counted in the order of the names). Throws InOutError
    // naming its final path.
    void Write(std::size_t k, std::string_view bytes) { files_[k]->Write(bytes); }

    // Writes every file to the disk and replaces the final files by the commit record (see
    // above), the first file last. Throws InOutError naming the file that failed and what
    // failed; the earlier files are then in place, or, when putting them back failed too (a
    // warning says so), the record is left for the next run to finish. A backup or the record
    // that cannot be removed once every file is replaced throws too, after a warning saying
    // that the new files stand and the next run removes what is left first.
    void Commit();

    std::size_t size() const { return set_.size(); }
    const std::string& finalPath(std::size_t k) const { return set_[k].path; }

private:
    // The record of this set that is in the folder.
    enum class Record { None, Commit, Undo };

    struct Named {};
    OutputSet(OutputSetNames& names, FileSystem& system, Named);

    SetFile FileNamed(std::string name) const;
    // Reads the record at the path; when it is whole, finishes its steps (forward: the
    // commit; else the putting back); then removes it.
    void Recover(const std::string& record, bool forward);
    void Lock();
    void Create(std::size_t k);
    void WriteRecord();
    void Replace(const SetFile& file);
    void Undo();
    void Finish();

    FileSystem& system_;
    std::string prefix_;
    std::vector<SetFile> set_;      // this set's files, in order
    std::vector<SetFile> known_;    // every name the folder may hold a file of: these, others
    std::string commitRecord_, undoRecord_;
    FolderLock lock_;
    std::vector<std::unique_ptr<OutputFile>> files_;  // null until created
    Record record_ = Record::None;
    bool committed_ = false;
};

}  // namespace omvo::base
