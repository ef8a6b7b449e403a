#include "base/text_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "base/errors.hpp"
#include "base/platform.hpp"

namespace omvo::base {

namespace {

constexpr char kCtrlZ = 26;

// True when a CR in [p, end) is not directly followed by LF; a CR at the end counts, as
// what follows it is not known yet. Written without an early exit, so the compiler compares
// many bytes at a time.
bool HasLoneCr(const char* data, const char* end) {
    const auto size = static_cast<std::size_t>(end - data);
    if (size == 0) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    unsigned char lone = bytes[size - 1] == '\r';
    for (std::size_t i = 0; i + 1 < size; ++i) {
        lone |= static_cast<unsigned char>((bytes[i] == '\r') & (bytes[i + 1] != '\n'));
    }
    return lone != 0;
}

// Removes every CR of [begin, end) that is not directly followed by LF, one at the end
// included; returns the new end.
char* DropLoneCrs(char* begin, char* end) {
    char* out = begin;
    for (char* p = begin; p < end; ++p) {
        if (*p != '\r' || (p + 1 < end && p[1] == '\n')) *out++ = *p;
    }
    return out;
}

// The start of the physical line that holds `at`, looking back no further than `begin`.
char* LineStart(char* begin, char* at) {
    while (at > begin && at[-1] != '\n') --at;
    return at;
}

}  // namespace

TextFile::TextFile(std::string path, FileDecoding decoding)
    : TextFile(std::move(path), decoding, nullptr) {
    const IoStatus opened = OpenForReading(path_, file_);
    if (!opened.ok()) ThrowIoError(opened.error(), path_);
}

std::unique_ptr<TextFile> TextFile::OpenIfThere(std::string path, FileDecoding decoding) {
    std::FILE* file = nullptr;
    const IoStatus opened = OpenForReading(path, file);
    if (opened.absent() || opened.error() == ENOTDIR || opened.error() == EISDIR) return nullptr;
    if (!opened.ok()) ThrowIoError(opened.error(), path);
    try {
        return std::unique_ptr<TextFile>(new TextFile(std::move(path), decoding, file));
    } catch (...) {  // out of memory: the file is not the text file's yet
        static_cast<void>(CloseFile(file));
        throw;
    }
}

TextFile::TextFile(std::string path, FileDecoding decoding, std::FILE* file)
    : path_(std::move(path)),
      checkMark_(decoding == FileDecoding::Utf16ByMark),
      checkUtf8Mark_(decoding == FileDecoding::Cp1251OrUtf8),
      watchUtf8_(decoding == FileDecoding::Cp1251OrUtf8) {
    capacity_ = kBlockSize;
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    file_ = file;
}

TextFile::~TextFile() {
    if (file_ != nullptr) static_cast<void>(CloseFile(file_));  // nothing was written to it
}

void TextFile::Close() {
    if (file_ == nullptr) return;
    const IoStatus closed = CloseFile(std::exchange(file_, nullptr));
    if (!closed.ok()) ThrowIoError(closed.error(), path_);
}

bool TextFile::NextLine(std::string_view& line) {
    if (!NextLineOfData(line)) return false;
    if (watchUtf8_) {
        utf8_.Add(line);
        if (utf8_.invalid && firstNonUtf8Line_ == 0) firstNonUtf8Line_ = lineNumber_;
    }
    return true;
}

bool TextFile::NextLineOfData(std::string_view& line) {
    for (;;) {
        if (ended_) return false;
        char* data = buffer_.get();
        auto* lf = static_cast<char*>(std::memchr(data + begin_, '\n', end_ - begin_));
        if (lf != nullptr) {
            char* start = data + begin_;
            begin_ = static_cast<std::size_t>(lf - data) + 1;
            return Finish(start, lf, line);
        }
        if (atEnd_) {
            if (begin_ == end_) return false;
            char* start = data + begin_;
            begin_ = end_;
            if (!Finish(start, data + end_, line)) return false;
            // A last line of nothing but dropped CRs is no line; one cut by a Ctrl-Z is.
            if (line.empty() && !cutByCtrlZ_) return false;
            return true;
        }
        if (!Refill()) atEnd_ = true;
    }
}

bool TextFile::NextLines(std::string_view& lines) {
    std::size_t searched = 0;  // bytes after begin_ known to hold no LF
    for (;;) {
        if (ended_) return false;
        char* data = buffer_.get();
        char* last = data + end_;
        while (last > data + begin_ + searched && last[-1] != '\n') --last;
        if (last > data + begin_ + searched || (atEnd_ && end_ > begin_)) {
            if (last == data + begin_ + searched) last = data + end_;  // the data's last line
            char* start = data + begin_;
            begin_ = static_cast<std::size_t>(last - data);
            lines = CleanLines(start, last);
            if (lines.empty()) continue;
            if (watchUtf8_) utf8_.Add(lines);
            return true;
        }
        if (atEnd_) return false;
        searched = end_ - begin_;
        if (!Refill()) atEnd_ = true;
    }
}

// Applies the line rules to whole lines in place: cuts at Ctrl-Z, then drops lone CRs.
std::string_view TextFile::CleanLines(char* begin, char* end) {
    if (NextByte(nextCtrlZ_, kCtrlZ, static_cast<std::size_t>(begin - buffer_.get())) <
        static_cast<std::size_t>(end - buffer_.get())) {
        end = CutAtCtrlZ(begin, end);
        nextCtrlZ_ = kUnknown;
    }
    if (HasLoneCr(begin, end)) end = DropLoneCrs(begin, end);
    return {begin, static_cast<std::size_t>(end - begin)};
}

// Removes from every Ctrl-Z of [begin, end) to the end of its physical line, its LF kept, or
// ends the data at a Ctrl-Z that starts a line; returns the new end.
char* TextFile::CutAtCtrlZ(char* begin, char* end) {
    for (char* z = begin; (z = static_cast<char*>(std::memchr(z, kCtrlZ, end - z))) != nullptr;) {
        if (LineStart(begin, z) == z) {
            ended_ = true;
            return z;
        }
        auto* lf = static_cast<char*>(std::memchr(z, '\n', end - z));
        char* rest = lf == nullptr ? end : lf;
        std::memmove(z, rest, static_cast<std::size_t>(end - rest));
        end -= rest - z;
    }
    return end;
}

// Moves the unread rest to the front of the buffer, grows the buffer when a single line
// fills it, and reads the next block. False when the file has no more data.
bool TextFile::Refill() {
    nextCr_ = kUnknown;
    nextCtrlZ_ = kUnknown;
    std::size_t rest = end_ - begin_;
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, rest);
        begin_ = 0;
        end_ = rest;
    }
    const std::size_t room = utf16_ ? kUtf16Room : 1;
    if (capacity_ - end_ < room) {
        std::size_t grown = capacity_ * 2;
        auto bigger = std::make_unique_for_overwrite<char[]>(grown);
        std::memcpy(bigger.get(), buffer_.get(), end_);
        buffer_ = std::move(bigger);
        capacity_ = grown;
    }
    if (file_ == nullptr) return false;
    std::size_t got = utf16_ ? DecodeUtf16() : ReadBlock(buffer_.get() + end_, capacity_ - end_);
    if (checkMark_) {
        checkMark_ = false;
        if (const std::optional<Utf16Order> order =
                Utf16ByteOrderMark({buffer_.get(), got})) {
            // The first block goes through the decoder like every later one.
            utf16_ = true;
            decoder_.order = *order;
            raw_ = std::make_unique_for_overwrite<char[]>(kBlockSize);
            std::memcpy(raw_.get(), buffer_.get() + kUtf16ByteOrderMarkSize,
                        got - kUtf16ByteOrderMarkSize);
            rawBegin_ = 0;
            rawEnd_ = got - kUtf16ByteOrderMarkSize;
            got = DecodeUtf16();
        }
    }
    if (checkUtf8Mark_) {
        checkUtf8Mark_ = false;
        constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
        if (std::string_view(buffer_.get() + end_, got).starts_with(kUtf8Mark)) {
            utf8Mark_ = true;
            begin_ += kUtf8Mark.size();
        }
    }
    if (got == 0) return false;
    end_ += got;
    loneCr_ = LoneCr::Unknown;
    return true;
}

Charset TextFile::charset() const { return utf8Mark_ ? Charset::Utf8 : utf8_.charset(); }

// Reads up to `size` bytes of the file; 0 at its end. Throws InOutError when reading fails.
std::size_t TextFile::ReadBlock(char* into, std::size_t size) {
    std::size_t got = 0;
    const IoStatus read = ReadSome(file_, into, size, got);
    if (!read.ok()) ThrowIoError(read.error(), path_);
    return got;
}

// Decodes UTF-16 from raw_ (read block by block) to the end of the buffer, as much as fits;
// returns the bytes written, 0 only at the end of the file.
std::size_t TextFile::DecodeUtf16() {
    char* const out = buffer_.get() + end_;
    const std::size_t take = (capacity_ - end_ - 6) / 3 * 2;  // within MaxOutput of the room
    for (;;) {
        if (rawBegin_ == rawEnd_) {
            rawBegin_ = 0;
            rawEnd_ = ReadBlock(raw_.get(), kBlockSize);
            if (rawEnd_ == 0) return static_cast<std::size_t>(decoder_.Finish(out) - out);
        }
        const std::size_t size = std::min(rawEnd_ - rawBegin_, take);
        const char* written = decoder_.Decode(raw_.get() + rawBegin_, size, out);
        rawBegin_ += size;
        if (written > out) return static_cast<std::size_t>(written - out);
    }
}

// The first `byte` at or after `from` in the buffer, or end_ when there is none. The answer
// is kept for the lines that follow, so a file without that byte is searched once a block.
std::size_t TextFile::NextByte(std::size_t& cached, char byte, std::size_t from) const {
    if (cached == kUnknown || cached < from) {
        const char* data = buffer_.get();
        auto* hit = static_cast<const char*>(std::memchr(data + from, byte, end_ - from));
        cached = hit == nullptr ? end_ : static_cast<std::size_t>(hit - data);
    }
    return cached;
}

// Makes the text of the physical line [begin, end). A Ctrl-Z cuts the line's text there, or
// ends the data when it is the line's first byte (false). Every CR is dropped: the one before
// LF belongs to the line end, a lone one is dropped. The line is in our own buffer, so it is
// compacted in place.
bool TextFile::Finish(char* begin, char* end, std::string_view& line) {
    ++lineNumber_;
    char* data = buffer_.get();
    const auto from = static_cast<std::size_t>(begin - data);
    cutByCtrlZ_ = false;
    const std::size_t ctrlZ = NextByte(nextCtrlZ_, kCtrlZ, from);
    if (data + ctrlZ < end) {
        if (ctrlZ == from) {
            ended_ = true;
            return false;
        }
        end = data + ctrlZ;
        cutByCtrlZ_ = true;
    }
    if (loneCr_ == LoneCr::Unknown) {
        loneCr_ = HasLoneCr(data, data + end_) ? LoneCr::Some : LoneCr::None;
    }
    if (loneCr_ == LoneCr::None) {
        // Every CR of the buffer ends a line, so this line has at most the one before its LF.
        if (end > begin && end[-1] == '\r') --end;
        line = {begin, static_cast<std::size_t>(end - begin)};
        return true;
    }
    const std::size_t cr = NextByte(nextCr_, '\r', from);
    if (data + cr >= end) {
        line = {begin, static_cast<std::size_t>(end - begin)};
        return true;
    }
    char* out = data + cr;
    for (char* p = out + 1; p < end; ++p) {
        if (*p != '\r') *out++ = *p;
    }
    nextCr_ = kUnknown;
    line = {begin, static_cast<std::size_t>(out - begin)};
    return true;
}

}  // namespace omvo::base
