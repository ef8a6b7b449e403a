#pragma once
// A file written from its start through a large buffer. Every failure (create, write,
// close) throws InOutError naming the file.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "base/file_system.hpp"

namespace omvo::base {

class OutputFile {
public:
    // Creates the file only where nothing is at the path, never through a link (EEXIST
    // otherwise). A failure names `reportedAs` when one is given (the document a temporary
    // file becomes), with what failed on the path; else the path.
    explicit OutputFile(std::string path, std::string reportedAs = {},
                        FileSystem& files = SystemFileSystem());
    ~OutputFile();  // discards when Close was not called
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::string_view text);
    // Flushes the buffer and closes the file.
    void Close();
    // Flushes the buffer, has the system write the file to the disk, and closes it.
    void CloseToDisk();
    // Closes the file without writing what is still buffered, silently: for a file that is
    // about to be removed.
    void Discard();

private:
    void Flush();
    void WriteThrough(const char* data, std::size_t size);
    [[noreturn]] void Fail(IoStatus status, std::string_view doing, std::string_view after = {});

    static constexpr std::size_t kBufferSize = 256 * 1024;

    FileSystem& files_;
    std::string path_;
    std::string reportedAs_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

}  // namespace omvo::base
