#include "fuzz_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <stdlib.h>

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

}  // namespace omvo::fuzz
