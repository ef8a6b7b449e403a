#include "overlays/overlay_file.hpp"

#include <memory>
#include <string_view>
#include <utility>

#include "base/console.hpp"
#include "base/encoding.hpp"
#include "base/platform.hpp"
#include "base/text_file.hpp"

namespace omvo::overlays {

namespace {

constexpr std::string_view kOpenTag = "<coordinates>";
constexpr std::string_view kCloseTag = "</coordinates>";

// A key counts only at the start of the line and only with a value after it; the value is
// the rest of the line, blanks included.
bool TakeValue(std::string_view line, std::string_view key, std::string& value) {
    if (line.size() <= key.size() || !line.starts_with(key)) return false;
    value.assign(line.substr(key.size()));
    return true;
}

// Makes the name and the description UTF-8, and the style and the path CP1251, as a CP1251
// file gives them, whichever code page the file was saved in (see TripFileId).
void ToUtf8AndCp1251(OverlayDefinition& definition, base::Charset charset) {
    definition.name = base::ToUtf8(definition.name, charset);
    definition.descr = base::ToUtf8(definition.descr, charset);
    if (charset == base::Charset::Utf8) {
        definition.style = base::Utf8ToCp1251(definition.style);
        definition.file = base::Utf8ToCp1251(definition.file);
    }
}

}  // namespace

bool ReadOverlayFile(const std::string& path, OverlayDefinition& definition, bool* found) {
    definition = OverlayDefinition{};
    const std::unique_ptr<base::TextFile> opened =
        base::TextFile::OpenIfThere(path, base::FileDecoding::Cp1251OrUtf8);
    if (found != nullptr) *found = opened != nullptr;
    if (opened == nullptr) return false;
    base::TextFile& file = *opened;
    std::string_view line;
    while (file.NextLine(line)) {
        if (TakeValue(line, "name=", definition.name)) continue;
        if (TakeValue(line, "descr=", definition.descr)) continue;
        if (TakeValue(line, "style=", definition.style)) continue;
        TakeValue(line, "file=", definition.file);
    }
    file.Close();
    ToUtf8AndCp1251(definition, file.charset());
    return !definition.name.empty() && !definition.descr.empty() && !definition.style.empty() &&
           !definition.file.empty();
}

std::optional<std::string> LoadOverlayCoordinates(const std::string& path) {
    // One look at the path: a file that comes or goes meanwhile is either read or missing.
    const std::unique_ptr<base::TextFile> file = base::TextFile::OpenIfThere(path);
    if (file == nullptr) return std::nullopt;
    std::string coordinates;
    base::ConsoleText("Загрузка ");
    base::ConsoleBytes(path);
    bool inside = false;
    std::string_view line;
    while (file->NextLine(line)) {
        const std::size_t open = line.find(kOpenTag);
        if (open != std::string_view::npos) {
            inside = true;
            base::ConsoleText(".");
        }
        if (!inside) continue;
        // Everything after the opening tag (or the whole line inside an element) up to the
        // closing tag, then a blank unless the text taken ends in one. A closing tag that
        // stands before the opening tag ends the element at once.
        const std::size_t from = open != std::string_view::npos ? open + kOpenTag.size() : 0;
        const std::size_t close = line.find(kCloseTag);
        const std::size_t end = close != std::string_view::npos ? close : line.size();
        if (from < end) coordinates.append(line.substr(from, end - from));
        if (end == 0 || line[end - 1] != ' ') coordinates += ' ';
        if (close != std::string_view::npos) inside = false;
    }
    file->Close();
    base::ConsoleText("ok\r\n");
    return coordinates;
}

std::optional<Overlay> ReadOverlay(const std::string& path) {
    Overlay overlay;
    OverlayDefinition& definition = overlay.definition;
    bool found = false;
    if (!ReadOverlayFile(path, definition, &found)) {
        if (!found) {
            base::Warning("overlay file " + path + " does not exist; it adds no placemark");
            return std::nullopt;
        }
        std::string missing;
        const std::pair<std::string_view, const std::string*> keys[] = {
            {"name=", &definition.name},
            {"descr=", &definition.descr},
            {"style=", &definition.style},
            {"file=", &definition.file}};
        for (const auto& [key, value] : keys) {
            if (!value->empty()) continue;
            if (!missing.empty()) missing += ", ";
            missing += key;
        }
        base::Warning("overlay file " + path + " has no value for " + missing +
                      "; it adds no placemark");
        return std::nullopt;
    }
    if (std::optional<std::string> coordinates = LoadOverlayCoordinates(definition.file)) {
        overlay.coordinates = std::move(*coordinates);
    } else {
        base::Warning("coordinates source file " + definition.file + " of overlay file " + path +
                      " does not exist; its placemark has no coordinates");
    }
    return overlay;
}

}  // namespace omvo::overlays
