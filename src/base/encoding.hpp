#pragma once
// The code pages the tool meets: the trip list and the overlay files are CP1251, as the club
// writes them, or UTF-8, as today's editors save them; the documents are UTF-8; the console
// shows the tool's texts in CP866.

#include <string>
#include <string_view>

namespace omvo::base {

// The code page of a text file of the club.
enum class Charset { Cp1251, Utf8 };

// Returns the CP1251 text in UTF-8: every byte becomes its character (0x98, which CP1251
// leaves unassigned, becomes U+FFFD), so the text keeps its count of characters.
std::string Cp1251ToUtf8(std::string_view text);

// Returns a text of a file in the given code page in UTF-8: CP1251 converted, UTF-8 with its
// invalid sequences replaced (ValidUtf8).
std::string ToUtf8(std::string_view text, Charset charset);

// Returns the UTF-8 text in CP1251 when it is valid UTF-8 and each of its characters has a
// CP1251 form (U+FFFD becomes 0x98); otherwise the text unchanged, so nothing is lost.
std::string Utf8ToCp1251(std::string_view utf8Text);

// Returns the length of the valid UTF-8 sequence at position i of text, or 0 when the bytes
// there are none: then `invalid` is the length of the part to count as one bad character
// (the lead byte with the continuation bytes that still fitted it, or a stray byte alone).
// Overlong forms, surrogates and code points above U+10FFFF are invalid.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t i, std::size_t& invalid);

// Returns the text with every invalid UTF-8 sequence (as Utf8SequenceAt counts them)
// replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// Returns the position in the UTF-8 text of its character number `characters` (from 0), or
// the text's size when it has no more characters. Every byte that is no continuation byte
// starts a character.
std::size_t Utf8Offset(std::string_view utf8Text, std::size_t characters);

// What the lines of a file, fed in order, tell about its code page. CP1251 Cyrillic text is
// practically never valid UTF-8. There, a byte from 0xC2 to 0xF4 (В to Я, а to ф) must be
// followed by one to three bytes from 0x80 to 0xBF, which in CP1251 are punctuation, signs,
// Ё, ё and the letters of other Cyrillic alphabets, never А to я; 0xC0, 0xC1 and 0xF5 to 0xFF
// (А, Б, х to я) start no UTF-8 sequence; and a byte from 0x80 to 0xBF (Ё, ё, «, ...) after
// a blank or any ASCII character is invalid. So any letter from А to я after another letter,
// as in almost every word, is invalid UTF-8, and every trip a CP1251 list draws holds
// "Что посмотреть:".
struct Utf8Evidence {
    bool invalid = false;    // some text is no valid UTF-8
    bool multiByte = false;  // some text holds a character of two bytes or more

    // Looks at one more piece of the file (whole lines: a UTF-8 sequence never holds LF).
    void Add(std::string_view text);

    // UTF-8 when the file is valid UTF-8 throughout and holds a character beyond ASCII.
    Charset charset() const { return !invalid && multiByte ? Charset::Utf8 : Charset::Cp1251; }
};

// Returns the UTF-8 text in CP866; characters without a CP866 form become "?".
std::string Utf8ToCp866(std::string_view utf8Text);

}  // namespace omvo::base
