#include "kml/xml_text.hpp"

#include <array>

#include "base/encoding.hpp"

namespace omvo::kml {

namespace {

// What a byte asks for in a text put into a document.
enum class ByteKind : unsigned char { Plain, Control, Less, Greater, Ampersand, Bracket };

constexpr std::array<ByteKind, 256> MakeByteKinds() {
    std::array<ByteKind, 256> kinds{};
    for (unsigned b = 0; b < 0x20; ++b) kinds[b] = ByteKind::Control;
    kinds['\t'] = ByteKind::Plain;
    kinds['\n'] = ByteKind::Plain;
    kinds['\r'] = ByteKind::Plain;
    kinds[0x7F] = ByteKind::Control;
    kinds['<'] = ByteKind::Less;
    kinds['>'] = ByteKind::Greater;
    kinds['&'] = ByteKind::Ampersand;
    kinds[']'] = ByteKind::Bracket;
    return kinds;
}

constexpr std::array<ByteKind, 256> kByteKinds = MakeByteKinds();

ByteKind KindOf(char c) { return kByteKinds[static_cast<unsigned char>(c)]; }

constexpr std::string_view kCdataEnd = "]]>";
constexpr std::string_view kSplitCdataEnd = "]]]]><![CDATA[>";

// The five predefined references and the characters they stand for.
struct Reference {
    std::string_view text;
    char character;
};
constexpr Reference kReferences[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

// The predefined reference that begins at position i of text, or null.
const Reference* ReferenceAt(std::string_view text, std::size_t i) {
    for (const Reference& reference : kReferences) {
        if (text.substr(i).starts_with(reference.text)) return &reference;
    }
    return nullptr;
}

bool BeginsReference(std::string_view text, std::size_t i) {
    return ReferenceAt(text, i) != nullptr;
}

// The length of the UTF-8 sequence at position i of text, or 0 when the bytes there are
// no valid sequence or U+FFFE or U+FFFF, which are valid UTF-8 but no XML characters; then
// `skip` is the number of bytes to drop.
std::size_t XmlSequenceAt(std::string_view text, std::size_t i, std::size_t& skip) {
    const std::size_t length = base::Utf8SequenceAt(text, i, skip);
    if (length == 3 && text[i] == '\xEF' && text[i + 1] == '\xBF' &&
        (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
        skip = 3;
        return 0;
    }
    return length;
}

}  // namespace

std::string DropControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (KindOf(c) != ByteKind::Control) out += c;
    }
    return out;
}

std::string EscapeText(std::string_view text) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const ByteKind kind = KindOf(text[i]);
        if (kind == ByteKind::Plain || kind == ByteKind::Bracket) continue;
        if (kind == ByteKind::Ampersand && BeginsReference(text, i)) continue;
        break;
    }
    if (i == text.size()) return std::string(text);

    // Control characters go first, so a reference is recognised in the text as written.
    const std::string kept = DropControls(text);
    std::string out;
    out.reserve(kept.size() + kept.size() / 8 + 16);
    for (std::size_t j = 0; j < kept.size(); ++j) {
        const char c = kept[j];
        switch (KindOf(c)) {
            case ByteKind::Less: out += "&lt;"; break;
            case ByteKind::Greater: out += "&gt;"; break;
            case ByteKind::Ampersand: out += BeginsReference(kept, j) ? "&" : "&amp;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string TextAsShown(std::string_view text) {
    const std::string kept = DropControls(text);
    std::string shown;
    shown.reserve(kept.size());
    for (std::size_t i = 0; i < kept.size();) {
        const Reference* reference = kept[i] == '&' ? ReferenceAt(kept, i) : nullptr;
        if (reference != nullptr) {
            shown += reference->character;
            i += reference->text.size();
        } else {
            shown += kept[i++];
        }
    }
    return shown;
}

std::string CdataText(std::string_view text) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const ByteKind kind = KindOf(text[i]);
        if (kind == ByteKind::Control) break;
        if (kind == ByteKind::Bracket && text.substr(i).starts_with(kCdataEnd)) break;
    }
    if (i == text.size()) return std::string(text);

    // Control characters go first, so none of them can hide a "]]>".
    const std::string kept = DropControls(text);
    std::string out;
    out.reserve(kept.size() + 32);
    std::size_t from = 0;
    for (;;) {
        const std::size_t pos = kept.find(kCdataEnd, from);
        if (pos == std::string::npos) break;
        out.append(kept, from, pos - from).append(kSplitCdataEnd);
        from = pos + kCdataEnd.size();
    }
    out.append(kept, from, std::string::npos);
    return out;
}

std::string DropInvalidUtf8(std::string_view text) {
    std::size_t i = 0;
    std::size_t skip = 0;
    while (i < text.size()) {
        const std::size_t length = XmlSequenceAt(text, i, skip);
        if (length == 0) break;
        i += length;
    }
    if (i == text.size()) return std::string(text);

    std::string out(text.substr(0, i));
    while (i < text.size()) {
        const std::size_t length = XmlSequenceAt(text, i, skip);
        if (length == 0) {
            i += skip;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace omvo::kml
