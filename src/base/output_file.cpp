#include "base/output_file.hpp"

#include <cerrno>
#include <cstring>

#include "base/errors.hpp"
#include "base/platform.hpp"

namespace omvo::base {

OutputFile::OutputFile(std::string path)
    : path_(std::move(path)), buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize)) {
    errno = 0;
    file_ = CreateNewFile(path_);
    if (file_ == nullptr) ThrowIoError(errno != 0 ? errno : EIO, path_);
    std::setvbuf(file_, nullptr, _IONBF, 0);  // our own buffer is the only one
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
    used_ = 0;
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}

void OutputFile::Write(std::string_view text) {
    if (text.size() <= kBufferSize - used_) {
        std::memcpy(buffer_.get() + used_, text.data(), text.size());
        used_ += text.size();
        return;
    }
    Flush();
    if (text.size() >= kBufferSize) {
        WriteThrough(text.data(), text.size());
    } else {
        std::memcpy(buffer_.get(), text.data(), text.size());
        used_ = text.size();
    }
}

void OutputFile::Flush() {
    if (used_ == 0) return;
    WriteThrough(buffer_.get(), used_);
    used_ = 0;
}

void OutputFile::WriteThrough(const char* data, std::size_t size) {
    errno = 0;
    if (!WriteAll(file_, {data, size})) ThrowIoError(errno != 0 ? errno : EIO, path_);
}

void OutputFile::CloseToDisk() {
    if (file_ == nullptr) return;
    Flush();
    errno = 0;
    if (!FlushToDisk(file_)) ThrowIoError(errno != 0 ? errno : EIO, path_);
    Close();
}

void OutputFile::Close() {
    if (file_ == nullptr) return;
    Flush();
    std::FILE* f = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fclose(f) != 0) ThrowIoError(errno != 0 ? errno : EIO, path_);
}

}  // namespace omvo::base
