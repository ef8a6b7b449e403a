#pragma once
// What the fuzz harnesses share: a scratch folder per process for the files the readers
// take, the code page of a text file and its UTF-8 copy, writing a complete set of
// documents, the well-formedness check of a document, and the check of the web page.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/encoding.hpp"
#include "kml/documents.hpp"
#include "web/web_page.hpp"

namespace omvo::fuzz {

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The scratch folder of this process, ending in '/'; made on first use, removed at exit.
const std::string& ScratchFolder();

// Writes the bytes to the named file in the scratch folder, replacing it; returns its path.
std::string WriteScratchFile(std::string_view name, std::string_view bytes);

// The code page the tool reads a trip list or an overlay file in.
base::Charset CharsetOf(const std::string& path);

// The text read as CP1251 saved as UTF-8: with the byte-order mark or without.
std::string SavedAsUtf8(std::string_view cp1251, bool mark);

// Aborts, naming the text, unless it is valid UTF-8.
void CheckUtf8(const char* what, std::string_view text);

// Writes the three documents into the scratch folder (header, what `body` writes, footer),
// closes them and returns the text of the main document.
std::string WriteDocuments(const std::function<void(kml::Documents&)>& body);

// Aborts with libxml2's complaint on standard error unless the text is well-formed XML.
void CheckWellFormed(std::string_view xml);

// Writes the web page's data (what `body` adds) and aborts unless it is valid JSON in valid
// UTF-8 without a "<", which could end its script block.
void CheckWebPage(const std::function<void(web::WebPage&)>& body);

}  // namespace omvo::fuzz
