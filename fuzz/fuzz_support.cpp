#include "fuzz_support.hpp"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <stdlib.h>

#include "base/text_file.hpp"
#include "kml/xml_text.hpp"

namespace omvo::fuzz {

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

std::string& ScratchPath() {
    static std::string path;
    return path;
}

void RemoveScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(ScratchPath(), ec);
}

std::string ReadWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) Fail("cannot open", path);
    std::string text;
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
    std::fclose(file);
    return text;
}

}  // namespace

const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "omvo-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch folder", pattern);
        ScratchPath() = pattern;
        std::atexit(RemoveScratchFolder);
        return pattern + "/";
    }();
    return folder;
}

std::string WriteScratchFile(std::string_view name, std::string_view bytes) {
    std::string path = ScratchFolder();
    path.append(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        Fail("cannot write", path);
    }
    return path;
}

std::string WriteDocuments(const std::function<void(kml::Documents&)>& body) {
    kml::Documents documents(ScratchFolder());
    documents.Write(kml::Route::AllDocuments, kml::DocumentHeader());
    body(documents);
    documents.Write(kml::Route::AllDocuments, kml::DocumentFooter());
    documents.ReplacePrevious();
    return ReadWholeFile(ScratchFolder() + std::string(kml::kMainDocumentName));
}

void CheckWellFormed(std::string_view xml) {
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
    xmlDocPtr document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "document.kml",
                                       "UTF-8", options);
    if (document == nullptr) {
        const xmlError* error = xmlGetLastError();
        Fail("document is not well-formed", error != nullptr && error->message != nullptr
                                                ? error->message
                                                : std::string("(no message)"));
    }
    xmlFreeDoc(document);
}

namespace {

// A recursive-descent reader of one JSON value at `at`; false when the text is no JSON there.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool Document() { return Value(0) && (Blanks(), at_ == text_.size()); }

private:
    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool Take(char c) {
        Blanks();
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    bool Digits() {
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
        return at_ > start;
    }
    bool Number() {
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        if (at_ < text_.size() && text_[at_] == '0') {
            ++at_;
        } else if (!Digits()) {
            return false;
        }
        if (at_ < text_.size() && text_[at_] == '.' && (++at_, !Digits())) return false;
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (!Digits()) return false;
        }
        return true;
    }
    bool String() {
        if (!Take('"')) return false;
        while (at_ < text_.size() && text_[at_] != '"') {
            const auto c = static_cast<unsigned char>(text_[at_++]);
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (at_ >= text_.size()) return false;
            const char escaped = text_[at_++];
            if (escaped == 'u') {
                for (int k = 0; k < 4; ++k, ++at_) {
                    if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_]))) {
                        return false;
                    }
                }
            } else if (std::string_view("\"\\/bfnrt").find(escaped) == std::string_view::npos) {
                return false;
            }
        }
        return Take('"');
    }
    bool Value(int depth) {
        if (depth > 64) return false;
        Blanks();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '"') return String();
        if (c == '[' || c == '{') {
            const bool object = c == '{';
            ++at_;
            if (Take(object ? '}' : ']')) return true;
            do {
                if (object && !(String() && Take(':'))) return false;
                if (!Value(depth + 1)) return false;
            } while (Take(','));
            return Take(object ? '}' : ']');
        }
        if (text_.substr(at_).starts_with("null")) return at_ += 4, true;
        return Number();
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

base::Charset CharsetOf(const std::string& path) {
    base::TextFile file(path, base::FileDecoding::Cp1251OrUtf8);
    std::string_view lines;
    while (file.NextLines(lines)) {}
    return file.charset();
}

std::string SavedAsUtf8(std::string_view cp1251, bool mark) {
    return (mark ? "\xEF\xBB\xBF" : "") + base::Cp1251ToUtf8(cp1251);
}

void CheckUtf8(const char* what, std::string_view text) {
    if (base::ValidUtf8(text) != text) Fail(what, "is not valid UTF-8");
}

void CheckWebPage(const std::function<void(web::WebPage&)>& body) {
    // Only the data block is kept, and the page is not finished: the libraries around the data
    // are constants that the build checks; "]}" closes the data as the end of the page does.
    constexpr std::string_view kOpening = "<script type=\"application/json\" id=\"omvo-data\">";
    std::string data;
    bool started = false;
    web::WebPage writer([&](std::string_view text) {
        if (!started) {
            const std::size_t at = text.find(kOpening);
            if (at == std::string_view::npos) Fail("web page", "no data block");
            text.remove_prefix(at + kOpening.size());
            started = true;
        }
        data += text;
    });
    body(writer);
    if (data.find('<') != std::string::npos) Fail("web page data", "holds a \"<\"");
    if (kml::DropInvalidUtf8(data) != data) Fail("web page data", "is not valid UTF-8");
    if (!JsonReader(data + "\n]}").Document()) Fail("web page data", "is not valid JSON");
}

}  // namespace omvo::fuzz
