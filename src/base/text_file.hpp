#pragma once
// Every input file of the tool is read through this class, in blocks, as byte lines
// without their line ends. A line ends at LF (or CR LF); stray CRs are dropped, so files
// from any system read alike. A Ctrl-Z, which old DOS editors leave at the end of a file,
// cuts its line and ends the file when it starts a line. Lines may be of any length.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "base/encoding.hpp"
#include "base/utf16.hpp"

namespace omvo::base {

// How a file's bytes become the text that is split into lines.
enum class FileDecoding {
    Bytes,       // as they are
    Utf16ByMark, // as they are, or decoded to UTF-8 when the file starts with a UTF-16
                 // byte-order mark (which is dropped)
    Cp1251OrUtf8,  // as they are, a UTF-8 byte-order mark at the start dropped; the lines
                   // given out tell whether the file is UTF-8 (see charset())
};

class TextFile {
public:
    // Opens the file for reading; throws InOutError when it cannot be opened.
    explicit TextFile(std::string path, FileDecoding decoding = FileDecoding::Bytes);
    // The same, but null when no file is at the path (nothing, or a directory): one look
    // decides, so a file that comes or goes meanwhile gives one outcome.
    static std::unique_ptr<TextFile> OpenIfThere(std::string path,
                                                 FileDecoding decoding = FileDecoding::Bytes);
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Sets `line` to the next line and returns true, or returns false at the end of the
    // data. The view stays valid until the next call. Throws InOutError when the file cannot
    // be read.
    bool NextLine(std::string_view& line);

    // Sets `lines` to the next lines as one block in our own buffer and returns true, or
    // returns false at the end of the data. The block holds whole lines, each ended by LF or
    // CR LF but the data's last, with the line rules applied in place: no lone CR, and no
    // Ctrl-Z (the rest of its physical line removed, or the data ended there). Every physical
    // line keeps its LF, so counting them numbers the lines. The view stays valid until the
    // next call. Throws InOutError when the file cannot be read.
    bool NextLines(std::string_view& lines);

    // Returns the number of the physical line last given by NextLine, as an editor counts it.
    long lineNumber() const { return lineNumber_; }

    // With FileDecoding::Cp1251OrUtf8, once the data has ended: UTF-8 when the file began with
    // the UTF-8 byte-order mark, or when it is valid UTF-8 throughout and holds a character
    // beyond ASCII; CP1251 otherwise.
    Charset charset() const;

    // The number of the first line NextLine gave that is no valid UTF-8, or 0.
    long firstNonUtf8Line() const { return firstNonUtf8Line_; }

    // Closes the file. Throws InOutError when closing fails. The destructor closes it too,
    // silently.
    void Close();

private:
    TextFile(std::string path, FileDecoding decoding, std::FILE* file);
    bool NextLineOfData(std::string_view& line);
    bool Refill();
    std::size_t ReadBlock(char* into, std::size_t size);
    std::size_t DecodeUtf16();
    bool Finish(char* begin, char* end, std::string_view& line);
    std::string_view CleanLines(char* begin, char* end);
    char* CutAtCtrlZ(char* begin, char* end);
    std::size_t NextByte(std::size_t& cached, char byte, std::size_t from) const;

    static constexpr std::size_t kBlockSize = 1024 * 1024;
    // The room a UTF-16 file's next decoding needs at least.
    static constexpr std::size_t kUtf16Room = 64;

    std::string path_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;  // unread data is buffer_[begin_, end_)
    std::size_t end_ = 0;
    bool atEnd_ = false;     // nothing more to read from the file
    // The first CR at or after the current line in the buffer, or end_ when the rest of the
    // buffer holds none; kUnknown after the buffer changed. Most files have no CR, so most
    // lines need no search for one.
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    std::size_t nextCr_ = kUnknown;
    std::size_t nextCtrlZ_ = kUnknown;  // the same for Ctrl-Z
    bool ended_ = false;                // a Ctrl-Z at the start of a line ended the data
    bool cutByCtrlZ_ = false;         // the last line was cut by a Ctrl-Z
    // Whether the buffer holds a CR that ends no line; looked for once a block, by NextLine.
    enum class LoneCr : unsigned char { Unknown, None, Some } loneCr_ = LoneCr::Unknown;
    long lineNumber_ = 0;
    bool checkMark_ = false;  // the first block is still to be tested for a UTF-16 mark
    bool checkUtf8Mark_ = false;  // ... for a UTF-8 mark
    bool watchUtf8_ = false;      // the lines given out are looked at for UTF-8
    bool utf8Mark_ = false;       // the file began with the UTF-8 mark
    Utf8Evidence utf8_;
    long firstNonUtf8Line_ = 0;
    bool utf16_ = false;      // the file is UTF-16: buffer_ holds its decoded text
    Utf16Decoder decoder_;
    std::unique_ptr<char[]> raw_;  // the UTF-16 block being decoded: raw_[rawBegin_, rawEnd_)
    std::size_t rawBegin_ = 0;
    std::size_t rawEnd_ = 0;
};

}  // namespace omvo::base
