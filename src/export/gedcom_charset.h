#pragma once
// The character sets a genealogy file may be written in, each turned into UTF-8: UTF-8,
// UTF-16 (either byte order), ANSEL and Windows-1252. Whatever the bytes, the result is
// valid UTF-8; a byte that means nothing becomes U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>

namespace holmtex {

enum class GedcomCharset { Utf8, Utf16LE, Utf16BE, Ansel, Cp1252 };

// How the first bytes of a file are written: a byte-order mark, or the zero bytes of
// UTF-16 around the "0" that begins every file. `markSize` is the length of the mark;
// Utf8 when the start says nothing (the header's CHAR line decides then).
GedcomCharset sniffCharset(std::string_view start, std::size_t& markSize);

// The set a header's CHAR value names: "UTF-8", "ANSEL", "ANSI", "WINDOWS-1252", "ASCII",
// … Sets the answer and returns true for a known name.
bool charsetNamed(std::string_view value, GedcomCharset& charset);

// Appends the UTF-8 form of 8-bit text: Utf8 is checked, and a byte that is not part of a
// valid UTF-8 character is taken as Windows-1252; Ansel combines its diacritics, which
// stand before their letter, into one letter where Unicode has one.
void appendAsUtf8(std::string& out, std::string_view bytes, GedcomCharset charset);

// The text with a-z as A-Z: tags and keywords of the file compare so.
std::string upperAscii(std::string_view text);

// Whether the bytes are valid UTF-8 throughout.
bool isValidUtf8(std::string_view bytes);

// Turns UTF-16 into UTF-8 a piece at a time: a byte or a surrogate left over at the end of
// one piece is joined with the start of the next.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}
    void decode(std::string_view bytes, std::string& out);

private:
    bool bigEndian_;
    int oddByte_ = -1;            // a byte waiting for its partner
    char32_t highSurrogate_ = 0;  // the first half of a pair
};

// Appends the UTF-8 bytes of one code point.
void appendCodePoint(std::string& out, char32_t cp);

}  // namespace holmtex
