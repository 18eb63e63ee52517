#include "record/codepage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace holmtex {
namespace {

// Code points of the bytes 0x80..0x9F; the rest of the range equals its byte value.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t codePointOf(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHighTable[b - 0x80];
    return b;
}

constexpr std::array<Utf8Form, 256> utf8Forms() {
    std::array<Utf8Form, 256> forms{};
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = codePointOf(static_cast<unsigned char>(b));
        Utf8Form& f = forms[b];
        if (cp < 0x80) {
            f = {{static_cast<char>(cp), 0, 0}, 1};
        } else if (cp < 0x800) {
            f = {{static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F)), 0},
                 2};
        } else {
            f = {
                {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (cp & 0x3F))},
                3};
        }
    }
    return forms;
}

constexpr unsigned char lowered(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 0x10);  // Š Œ Ž
    if (c == 0x9F) return 0xFF;                                                            // Ÿ
    return c;
}

constexpr std::array<unsigned char, 256> lowerTable() {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = lowered(static_cast<unsigned char>(b));
    return table;
}

int byteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighTable[i] == cp) return 0x80 + i;
    return -1;
}

}  // namespace

constinit const std::array<Utf8Form, 256> kUtf8Forms = utf8Forms();
constinit const std::array<unsigned char, 256> kCp1252Lower = lowerTable();

void appendCp1252AsUtf8(std::string& out, const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* end = p + size;
    // Most items are plain ASCII through and through: find out a word at a time and copy.
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const auto* run = p;
    for (std::uint64_t w; end - run >= 8; run += 8) {
        std::memcpy(&w, run, 8);
        if (w & kHighBits) break;
    }
    while (run < end && *run < 0x80) ++run;
    out.append(data, static_cast<std::size_t>(run - p));
    if (run == end) return;

    // Grow once to the longest outcome (3 bytes a byte), write in place, then cut back.
    p = run;
    const std::size_t old = out.size();
    out.resize(old + 3 * static_cast<std::size_t>(end - p));
    char* w = out.data() + old;
    while (p < end) {
        if (*p >= 0x80) {
            // Always 3 bytes stored, the length says how many count; there is room, as
            // every byte still to come has 3 bytes of it.
            const Utf8Form& form = kUtf8Forms[*p++];
            std::memcpy(w, form.bytes, 3);
            w += form.size;
            continue;
        }
        if (std::endian::native == std::endian::little && end - p >= 8) {
            // Store a whole word, keep its ASCII front: fits, as 8 input bytes have 24 of room.
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            std::memcpy(w, &word, 8);
            const std::uint64_t high = word & kHighBits;
            const int n = high ? std::countr_zero(high) >> 3 : 8;
            w += n;
            p += n;
            continue;
        }
        *w++ = static_cast<char>(*p++);
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    appendCp1252AsUtf8(out, bytes.data(), bytes.size());
    return out;
}

void appendUtf8AsCp1252(std::string& out, std::string_view utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        const auto* run = p;
        while (run < end && *run < 0x80) ++run;
        if (run != p) {
            out.append(reinterpret_cast<const char*>(p), run - p);
            p = run;
            if (p == end) break;
        }
        unsigned char b = *p;
        int len = b >= 0xF0 && b < 0xF5   ? 4
                  : b >= 0xE0 && b < 0xF0 ? 3
                  : b >= 0xC2 && b < 0xE0 ? 2
                                          : 0;
        if (len == 0 || end - p < len) {
            out.push_back('?');
            ++p;
            continue;
        }
        char32_t cp = len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool valid = true;
        for (int i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // An overlong form could smuggle a '"' past the save path's quote check.
        if (valid && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
            valid = false;
        if (!valid) {
            out.push_back('?');
            ++p;
            continue;
        }
        int mapped = byteOf(cp);
        out.push_back(mapped < 0 ? '?' : static_cast<char>(mapped));
        p += len;
    }
}

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    appendUtf8AsCp1252(out, utf8);
    return out;
}

std::string lostLetters(std::string_view utf8) {
    constexpr std::size_t kShown = 8;  // more would not fit the message line
    std::vector<std::string_view> lost;
    bool more = false;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        std::string_view character = utf8.substr(i, length);
        i += character.size();
        const std::string byte = utf8ToCp1252(character);
        if (byte.find('?') == std::string::npos) continue;
        if (byte.size() != 1) character = "\uFFFD";  // not UTF-8 at all: shown as such
        if (std::find(lost.begin(), lost.end(), character) != lost.end()) continue;
        if (lost.size() == kShown) {
            more = true;
            break;
        }
        lost.push_back(character);
    }
    std::string letters;
    for (std::string_view character : lost)
        letters.append(letters.empty() ? "" : " ").append(character);
    if (more) letters += " …";
    return letters;
}

}  // namespace holmtex
