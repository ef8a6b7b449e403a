#include "base/text_file.hpp"

#include <cerrno>
#include <cstring>

#include "base/errors.hpp"

namespace omvo::base {

namespace {
constexpr char kCtrlZ = 26;
}

TextFile::TextFile(std::string path) : path_(std::move(path)) {
    errno = 0;
    file_ = std::fopen(path_.c_str(), "rb");
    if (file_ == nullptr) ThrowIoError(errno != 0 ? errno : ENOENT, path_);
    std::setvbuf(file_, nullptr, _IONBF, 0);  // reads go straight into our own block
    capacity_ = kBlockSize;
    buffer_ = std::make_unique<char[]>(capacity_);
}

TextFile::~TextFile() {
    if (file_ != nullptr) std::fclose(file_);
}

void TextFile::Close() {
    if (file_ == nullptr) return;
    std::FILE* f = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fclose(f) != 0) ThrowIoError(errno != 0 ? errno : EIO, path_);
}

bool TextFile::NextLine(std::string_view& line) {
    for (;;) {
        char* data = buffer_.get();
        auto* lf = static_cast<char*>(std::memchr(data + begin_, '\n', end_ - begin_));
        if (lf != nullptr) {
            char* start = data + begin_;
            begin_ = static_cast<std::size_t>(lf - data) + 1;
            line = Finish(start, lf);
            return true;
        }
        if (atEnd_) {
            if (begin_ == end_) return false;
            char* start = data + begin_;
            begin_ = end_;
            line = Finish(start, data + end_);
            if (line.empty()) return false;  // only dropped CRs after the last line end
            return true;
        }
        if (!Refill()) atEnd_ = true;
    }
}

// Moves the unread rest to the front of the buffer, grows the buffer when a single line
// fills it, and reads the next block. False when the file has no more data.
bool TextFile::Refill() {
    nextCr_ = kUnknown;
    std::size_t rest = end_ - begin_;
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, rest);
        begin_ = 0;
        end_ = rest;
    }
    if (end_ == capacity_) {
        std::size_t grown = capacity_ * 2;
        auto bigger = std::make_unique<char[]>(grown);
        std::memcpy(bigger.get(), buffer_.get(), end_);
        buffer_ = std::move(bigger);
        capacity_ = grown;
    }
    if (file_ == nullptr) return false;
    std::size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
    if (got == 0) {
        if (std::ferror(file_)) ThrowIoError(errno != 0 ? errno : EIO, path_);
        return false;
    }
    char* fresh = buffer_.get() + end_;
    end_ += got;
    if (auto* z = static_cast<char*>(std::memchr(fresh, kCtrlZ, got))) {
        end_ = static_cast<std::size_t>(z - buffer_.get());  // the data ends here
        std::fclose(file_);
        file_ = nullptr;
    }
    return true;
}

// Drops every CR of a line: the one before LF belongs to the line end, a lone one is
// dropped. The line is in our own buffer, so it is compacted in place.
std::string_view TextFile::Finish(char* begin, char* end) {
    ++lineNumber_;
    char* data = buffer_.get();
    const auto from = static_cast<std::size_t>(begin - data);
    if (nextCr_ == kUnknown || nextCr_ < from) {
        auto* cr = static_cast<char*>(std::memchr(begin, '\r', end_ - from));
        nextCr_ = cr == nullptr ? end_ : static_cast<std::size_t>(cr - data);
    }
    if (data + nextCr_ >= end) return {begin, static_cast<std::size_t>(end - begin)};
    char* out = data + nextCr_;
    for (char* p = out + 1; p < end; ++p) {
        if (*p != '\r') *out++ = *p;
    }
    nextCr_ = kUnknown;
    return {begin, static_cast<std::size_t>(out - begin)};
}

}  // namespace omvo::base
