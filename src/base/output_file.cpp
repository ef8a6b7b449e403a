#include "base/output_file.hpp"

#include <cstring>
#include <utility>

#include "base/errors.hpp"

namespace omvo::base {

OutputFile::OutputFile(std::string path, std::string reportedAs, FileSystem& files)
    : files_(files),
      path_(std::move(path)),
      reportedAs_(std::move(reportedAs)),
      buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize)) {
    const IoStatus created = files_.CreateNewFile(path_, file_);
    if (!created.ok()) Fail(created, "creating ");
    std::setvbuf(file_, nullptr, _IONBF, 0);  // our own buffer is the only one
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
    used_ = 0;
    if (file_ == nullptr) return;
    static_cast<void>(files_.CloseFile(std::exchange(file_, nullptr)));  // nothing kept
}

void OutputFile::Fail(IoStatus status, std::string_view doing, std::string_view after) {
    if (reportedAs_.empty()) ThrowIoError(status.error(), path_);
    std::string operation(doing);
    operation.append(path_).append(after);
    ThrowIoError(status.error(), reportedAs_, std::move(operation));
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
    const IoStatus written = files_.WriteAll(file_, {data, size});
    if (!written.ok()) Fail(written, "writing ");
}

void OutputFile::CloseToDisk() {
    if (file_ == nullptr) return;
    Flush();
    const IoStatus flushed = files_.FlushToDisk(file_);
    if (!flushed.ok()) Fail(flushed, "writing ", " to the disk");
    Close();
}

void OutputFile::Close() {
    if (file_ == nullptr) return;
    Flush();
    const IoStatus closed = files_.CloseFile(std::exchange(file_, nullptr));
    if (!closed.ok()) Fail(closed, "closing ");
}

}  // namespace omvo::base
