#pragma once
// The file operations of the output set behind one interface, each with its outcome as a
// value: the system's own (the platform layer), or those of a test, which puts itself in
// between to fail any single operation or to stop the run there as a kill would.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/platform.hpp"

namespace omvo::base {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // As the platform layer's functions of the same names.
    virtual IoStatus CreateNewFile(const std::string& path, std::FILE*& file) = 0;
    virtual IoStatus WriteAll(std::FILE* file, std::string_view bytes) = 0;
    virtual IoStatus FlushToDisk(std::FILE* file) = 0;
    virtual IoStatus CloseFile(std::FILE* file) = 0;
    virtual IoStatus MayBeReplaced(const std::string& path, bool& present) = 0;
    virtual IoStatus RemoveFile(const std::string& path) = 0;
    virtual IoStatus RenameReplacing(const std::string& from, const std::string& to) = 0;
    virtual IoStatus KeepAside(const std::string& path, const std::string& backup) = 0;
    virtual IoStatus FlushFolderOf(const std::string& path) = 0;

    // Reads a small file whole: its bytes, or the first limit + 1 of a longer one. ENOENT
    // when nothing is there.
    virtual IoStatus ReadSmallFile(const std::string& path, std::size_t limit,
                                   std::string& bytes) = 0;
};

// The operating system's file operations.
FileSystem& SystemFileSystem();

}  // namespace omvo::base
