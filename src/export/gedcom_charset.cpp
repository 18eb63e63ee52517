#include "export/gedcom_charset.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "record/codepage.h"

namespace holmtex {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// ANSEL's letters and signs from 0xA1 to 0xCF; 0 where the byte means nothing. 0xC7 and
// 0xCF are both written for "ß", 0xC8 for the euro sign.
constexpr std::array<char16_t, 0x2F> kAnselSigns = {
    0x0141, 0x00D8, 0x0110, 0x00DE, 0x00C6, 0x0152, 0x02B9, 0x00B7,  // A1..A8
    0x266D, 0x00AE, 0x00B1, 0x01A0, 0x01AF, 0x02BC, 0,               // A9..AF
    0x02BB, 0x0142, 0x00F8, 0x0111, 0x00FE, 0x00E6, 0x0153, 0x02BA,  // B0..B7
    0x0131, 0x00A3, 0x00F0, 0,      0x01A1, 0x01B0, 0x25A1, 0x25A0,  // B8..BF
    0x00B0, 0x2113, 0x2117, 0x00A9, 0x266F, 0x00BF, 0x00A1, 0x00DF,  // C0..C7
    0x20AC, 0,      0,      0,      0,      0x0065, 0x006F, 0x00DF,  // C8..CF
};

// ANSEL's diacritics from 0xE0 to 0xFE as combining marks; they stand before their letter.
constexpr std::array<char16_t, 0x1F> kAnselMarks = {
    0x0309, 0x0300, 0x0301, 0x0302, 0x0303, 0x0304, 0x0306, 0x0307,  // E0..E7
    0x0308, 0x030C, 0x030A, 0xFE20, 0xFE21, 0x0315, 0x030B, 0x0310,  // E8..EF
    0x0327, 0x0328, 0x0323, 0x0324, 0x0325, 0x0333, 0x0332, 0x0326,  // F0..F7
    0x031C, 0x032E, 0xFE22, 0xFE23, 0,      0,      0x0313,          // F8..FE
};

// A diacritic byte and a letter that Unicode joins into one letter.
struct Composed {
    unsigned char mark;
    char letter;
    char16_t letterWithMark;
};

constexpr Composed kComposed[] = {
    {0xE1, 'A', 0x00C0}, {0xE1, 'E', 0x00C8}, {0xE1, 'I', 0x00CC}, {0xE1, 'O', 0x00D2},
    {0xE1, 'U', 0x00D9}, {0xE1, 'a', 0x00E0}, {0xE1, 'e', 0x00E8}, {0xE1, 'i', 0x00EC},
    {0xE1, 'o', 0x00F2}, {0xE1, 'u', 0x00F9}, {0xE2, 'A', 0x00C1}, {0xE2, 'C', 0x0106},
    {0xE2, 'E', 0x00C9}, {0xE2, 'I', 0x00CD}, {0xE2, 'L', 0x0139}, {0xE2, 'N', 0x0143},
    {0xE2, 'O', 0x00D3}, {0xE2, 'R', 0x0154}, {0xE2, 'S', 0x015A}, {0xE2, 'U', 0x00DA},
    {0xE2, 'Y', 0x00DD}, {0xE2, 'Z', 0x0179}, {0xE2, 'a', 0x00E1}, {0xE2, 'c', 0x0107},
    {0xE2, 'e', 0x00E9}, {0xE2, 'i', 0x00ED}, {0xE2, 'l', 0x013A}, {0xE2, 'n', 0x0144},
    {0xE2, 'o', 0x00F3}, {0xE2, 'r', 0x0155}, {0xE2, 's', 0x015B}, {0xE2, 'u', 0x00FA},
    {0xE2, 'y', 0x00FD}, {0xE2, 'z', 0x017A}, {0xE3, 'A', 0x00C2}, {0xE3, 'C', 0x0108},
    {0xE3, 'E', 0x00CA}, {0xE3, 'G', 0x011C}, {0xE3, 'H', 0x0124}, {0xE3, 'I', 0x00CE},
    {0xE3, 'J', 0x0134}, {0xE3, 'O', 0x00D4}, {0xE3, 'S', 0x015C}, {0xE3, 'U', 0x00DB},
    {0xE3, 'W', 0x0174}, {0xE3, 'Y', 0x0176}, {0xE3, 'a', 0x00E2}, {0xE3, 'c', 0x0109},
    {0xE3, 'e', 0x00EA}, {0xE3, 'g', 0x011D}, {0xE3, 'h', 0x0125}, {0xE3, 'i', 0x00EE},
    {0xE3, 'j', 0x0135}, {0xE3, 'o', 0x00F4}, {0xE3, 's', 0x015D}, {0xE3, 'u', 0x00FB},
    {0xE3, 'w', 0x0175}, {0xE3, 'y', 0x0177}, {0xE4, 'A', 0x00C3}, {0xE4, 'I', 0x0128},
    {0xE4, 'N', 0x00D1}, {0xE4, 'O', 0x00D5}, {0xE4, 'U', 0x0168}, {0xE4, 'a', 0x00E3},
    {0xE4, 'i', 0x0129}, {0xE4, 'n', 0x00F1}, {0xE4, 'o', 0x00F5}, {0xE4, 'u', 0x0169},
    {0xE5, 'A', 0x0100}, {0xE5, 'E', 0x0112}, {0xE5, 'I', 0x012A}, {0xE5, 'O', 0x014C},
    {0xE5, 'U', 0x016A}, {0xE5, 'a', 0x0101}, {0xE5, 'e', 0x0113}, {0xE5, 'i', 0x012B},
    {0xE5, 'o', 0x014D}, {0xE5, 'u', 0x016B}, {0xE6, 'A', 0x0102}, {0xE6, 'E', 0x0114},
    {0xE6, 'G', 0x011E}, {0xE6, 'I', 0x012C}, {0xE6, 'O', 0x014E}, {0xE6, 'U', 0x016C},
    {0xE6, 'a', 0x0103}, {0xE6, 'e', 0x0115}, {0xE6, 'g', 0x011F}, {0xE6, 'i', 0x012D},
    {0xE6, 'o', 0x014F}, {0xE6, 'u', 0x016D}, {0xE7, 'C', 0x010A}, {0xE7, 'E', 0x0116},
    {0xE7, 'G', 0x0120}, {0xE7, 'I', 0x0130}, {0xE7, 'Z', 0x017B}, {0xE7, 'c', 0x010B},
    {0xE7, 'e', 0x0117}, {0xE7, 'g', 0x0121}, {0xE7, 'z', 0x017C}, {0xE8, 'A', 0x00C4},
    {0xE8, 'E', 0x00CB}, {0xE8, 'I', 0x00CF}, {0xE8, 'O', 0x00D6}, {0xE8, 'U', 0x00DC},
    {0xE8, 'Y', 0x0178}, {0xE8, 'a', 0x00E4}, {0xE8, 'e', 0x00EB}, {0xE8, 'i', 0x00EF},
    {0xE8, 'o', 0x00F6}, {0xE8, 'u', 0x00FC}, {0xE8, 'y', 0x00FF}, {0xE9, 'C', 0x010C},
    {0xE9, 'D', 0x010E}, {0xE9, 'E', 0x011A}, {0xE9, 'L', 0x013D}, {0xE9, 'N', 0x0147},
    {0xE9, 'R', 0x0158}, {0xE9, 'S', 0x0160}, {0xE9, 'T', 0x0164}, {0xE9, 'Z', 0x017D},
    {0xE9, 'c', 0x010D}, {0xE9, 'd', 0x010F}, {0xE9, 'e', 0x011B}, {0xE9, 'l', 0x013E},
    {0xE9, 'n', 0x0148}, {0xE9, 'r', 0x0159}, {0xE9, 's', 0x0161}, {0xE9, 't', 0x0165},
    {0xE9, 'z', 0x017E}, {0xEA, 'A', 0x00C5}, {0xEA, 'U', 0x016E}, {0xEA, 'a', 0x00E5},
    {0xEA, 'u', 0x016F}, {0xEE, 'O', 0x0150}, {0xEE, 'U', 0x0170}, {0xEE, 'o', 0x0151},
    {0xEE, 'u', 0x0171}, {0xF0, 'C', 0x00C7}, {0xF0, 'G', 0x0122}, {0xF0, 'K', 0x0136},
    {0xF0, 'L', 0x013B}, {0xF0, 'N', 0x0145}, {0xF0, 'R', 0x0156}, {0xF0, 'S', 0x015E},
    {0xF0, 'T', 0x0162}, {0xF0, 'c', 0x00E7}, {0xF0, 'g', 0x0123}, {0xF0, 'k', 0x0137},
    {0xF0, 'l', 0x013C}, {0xF0, 'n', 0x0146}, {0xF0, 'r', 0x0157}, {0xF0, 's', 0x015F},
    {0xF0, 't', 0x0163}, {0xF1, 'A', 0x0104}, {0xF1, 'E', 0x0118}, {0xF1, 'I', 0x012E},
    {0xF1, 'U', 0x0172}, {0xF1, 'a', 0x0105}, {0xF1, 'e', 0x0119}, {0xF1, 'i', 0x012F},
    {0xF1, 'u', 0x0173}};

char32_t composed(unsigned char mark, char letter) {
    for (const Composed& c : kComposed)
        if (c.mark == mark && c.letter == letter) return c.letterWithMark;
    return 0;
}

// Appends ANSEL text: each run of diacritics goes with the letter after it, the first of
// them into the letter itself when Unicode has that letter, the others as combining marks.
void appendAnsel(std::string& out, std::string_view bytes) {
    std::string marks;  // the diacritic bytes waiting for their letter
    auto flushMarks = [&](std::size_t from) {
        for (std::size_t k = from; k < marks.size(); ++k)
            appendCodePoint(out, kAnselMarks[static_cast<unsigned char>(marks[k]) - 0xE0]);
        marks.clear();
    };
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b >= 0xE0 && b <= 0xFE && kAnselMarks[b - 0xE0] != 0) {
            marks.push_back(byte);
            continue;
        }
        char32_t cp = b;
        if (b >= 0x80) {
            cp = b >= 0xA1 && b <= 0xCF ? kAnselSigns[b - 0xA1] : 0;
            if (b == 0x88 || b == 0x89 || b == 0x8D || b == 0x8E) continue;  // no sign of its own
            if (cp == 0) cp = kReplacement;
        }
        const char32_t joined =
            !marks.empty() && cp < 0x80 ? composed(static_cast<unsigned char>(marks[0]), byte) : 0;
        appendCodePoint(out, joined ? joined : cp);
        flushMarks(joined ? 1 : 0);
    }
    flushMarks(0);
}

// The length of the valid UTF-8 character at text[i], 0 when there is none.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    const std::size_t length = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 0;
    if (length == 0 || b0 > 0xF4 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    const auto b1 = static_cast<unsigned char>(text[i + 1]);
    if (b0 == 0xE0 && b1 < 0xA0) return 0;   // too long a form
    if (b0 == 0xED && b1 >= 0xA0) return 0;  // a surrogate
    if (b0 == 0xF0 && b1 < 0x90) return 0;
    if (b0 == 0xF4 && b1 >= 0x90) return 0;  // beyond U+10FFFF
    return length;
}

void appendCheckedUtf8(std::string& out, std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t ascii = i;
        while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
        out.append(bytes.substr(i, ascii - i));
        if ((i = ascii) == bytes.size()) break;
        if (const std::size_t length = utf8Length(bytes, i)) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            appendCp1252AsUtf8(out, bytes.data() + i, 1);
            ++i;
        }
    }
}

}  // namespace

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

namespace {

// UTF-8 checked as a machine of states: byte classes and the states they lead to, so that
// a text's letters cost no branch each. States: 0 a character ends here, 1 to 3 that many
// continuation bytes to come, 4 to 7 the second byte of E0, ED, F0 and F4 with its narrower
// range, 8 not UTF-8.
enum : std::uint8_t {
    kTail8,
    kTail9,
    kTailA,
    kAscii,
    kLead2,
    kE0,
    kLead3,
    kED,
    kF0,
    kLead4,
    kF4,
    kBad
};

constexpr std::array<std::uint8_t, 256> kUtf8Classes = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        classes[b] = b < 0x80    ? kAscii
                     : b < 0x90  ? kTail8
                     : b < 0xA0  ? kTail9
                     : b < 0xC0  ? kTailA
                     : b < 0xC2  ? kBad
                     : b < 0xE0  ? kLead2
                     : b == 0xE0 ? kE0
                     : b == 0xED ? kED
                     : b < 0xF0  ? kLead3
                     : b == 0xF0 ? kF0
                     : b < 0xF4  ? kLead4
                     : b == 0xF4 ? kF4
                                 : kBad;
    }
    return classes;
}();

constexpr std::uint8_t kUtf8Bad = 8;

constexpr std::array<std::array<std::uint8_t, 12>, 9> kUtf8Next = [] {
    std::array<std::array<std::uint8_t, 12>, 9> next{};
    for (auto& row : next) row.fill(kUtf8Bad);
    next[0][kAscii] = 0;
    next[0][kLead2] = 1;
    next[0][kLead3] = 2;
    next[0][kLead4] = 3;
    next[0][kE0] = 4;
    next[0][kED] = 5;
    next[0][kF0] = 6;
    next[0][kF4] = 7;
    for (const std::uint8_t tail : {kTail8, kTail9, kTailA}) {
        next[1][tail] = 0;
        next[2][tail] = 1;
        next[3][tail] = 2;
    }
    next[4][kTailA] = 1;                    // E0 A0..BF
    next[5][kTail8] = next[5][kTail9] = 1;  // ED 80..9F
    next[6][kTail9] = next[6][kTailA] = 2;  // F0 90..BF
    next[7][kTail8] = 2;                    // F4 80..8F
    return next;
}();

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    std::uint8_t state = 0;
    while (p < end) {
        std::uint64_t word;  // eight ASCII bytes at once, between characters
        if (state == 0 && end - p >= 8 &&
            (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) {
            p += 8;
            continue;
        }
        state = kUtf8Next[state][kUtf8Classes[*p++]];
        if (state == kUtf8Bad) return false;
    }
    return state == 0;
}

void appendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

GedcomCharset sniffCharset(std::string_view start, std::size_t& markSize) {
    markSize = 0;
    auto begins = [&](std::string_view mark) { return start.substr(0, mark.size()) == mark; };
    if (begins("\xEF\xBB\xBF")) {
        markSize = 3;
        return GedcomCharset::Utf8;
    }
    if (begins("\xFF\xFE") || begins("\xFE\xFF")) {
        markSize = 2;
        return start[0] == '\xFF' ? GedcomCharset::Utf16LE : GedcomCharset::Utf16BE;
    }
    if (start.size() >= 2 && start[0] != 0 && start[1] == 0) return GedcomCharset::Utf16LE;
    if (start.size() >= 2 && start[0] == 0 && start[1] != 0) return GedcomCharset::Utf16BE;
    return GedcomCharset::Utf8;
}

bool charsetNamed(std::string_view value, GedcomCharset& charset) {
    const std::string name = upperAscii(value);
    if (name == "UTF-8" || name == "UTF8" || name == "UNICODE") {
        charset = GedcomCharset::Utf8;  // UTF-16 is known by its bytes before this line
    } else if (name == "ANSEL") {
        charset = GedcomCharset::Ansel;
    } else if (name == "ANSI" || name == "ASCII" || name == "WINDOWS-1252" || name == "CP1252" ||
               name == "IBM WINDOWS" || name == "ISO-8859-1" || name == "LATIN1") {
        charset = GedcomCharset::Cp1252;
    } else {
        return false;
    }
    return true;
}

void appendAsUtf8(std::string& out, std::string_view bytes, GedcomCharset charset) {
    switch (charset) {
        case GedcomCharset::Ansel:
            appendAnsel(out, bytes);
            return;
        case GedcomCharset::Cp1252:
            appendCp1252AsUtf8(out, bytes.data(), bytes.size());
            return;
        default:
            appendCheckedUtf8(out, bytes);
    }
}

void Utf16Decoder::decode(std::string_view bytes, std::string& out) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        int first = oddByte_, second;
        if (first < 0) first = static_cast<unsigned char>(bytes[i++]);
        if (i == bytes.size()) {
            oddByte_ = first;
            return;
        }
        second = static_cast<unsigned char>(bytes[i++]);
        oddByte_ = -1;
        const char32_t unit = bigEndian_ ? (first << 8 | second) : (second << 8 | first);
        if (unit >= 0xD800 && unit < 0xDC00) {
            if (highSurrogate_) appendCodePoint(out, kReplacement);
            highSurrogate_ = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit < 0xE000) {
            appendCodePoint(out, highSurrogate_
                                     ? 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00)
                                     : kReplacement);
        } else {
            if (highSurrogate_) appendCodePoint(out, kReplacement);
            appendCodePoint(out, unit);
        }
        highSurrogate_ = 0;
    }
}

}  // namespace holmtex
