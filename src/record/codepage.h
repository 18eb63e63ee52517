#pragma once
// Windows-1252 <-> UTF-8. Every one of the 256 bytes has its own code point, so any
// file decodes and encodes back byte for byte. The five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 code points of the same value.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace holmtex {

// The UTF-8 form of one Windows-1252 byte: its bytes, then how many of them count (1 to
// 3), so that one 4-byte copy stores it.
struct Utf8Form {
    char bytes[3];
    unsigned char size;
};
static_assert(sizeof(Utf8Form) == 4);
// The form of every byte, indexed by the byte.
extern const std::array<Utf8Form, 256> kUtf8Forms;

// Every byte lower-cased: A-Z, the accented capitals but ×, and Š Œ Ž Ÿ.
extern const std::array<unsigned char, 256> kCp1252Lower;

// Appends the UTF-8 form of the Windows-1252 bytes to out.
void appendCp1252AsUtf8(std::string& out, const char* data, std::size_t size);
std::string cp1252ToUtf8(std::string_view bytes);

// Appends the Windows-1252 form of a UTF-8 text. A character with no Windows-1252
// form, and any byte that is not valid UTF-8, becomes '?'.
void appendUtf8AsCp1252(std::string& out, std::string_view utf8);
std::string utf8ToCp1252(std::string_view utf8);

// The characters of a UTF-8 text that have no Windows-1252 form and so are stored as '?',
// each once, in the order they first appear, separated by blanks: the first eight, then
// " …". A byte that is not valid UTF-8 shows as U+FFFD. Empty when nothing is lost.
std::string lostLetters(std::string_view utf8);

// Lower-cases one Windows-1252 byte.
inline unsigned char cp1252ToLower(unsigned char c) { return kCp1252Lower[c]; }

}  // namespace holmtex
