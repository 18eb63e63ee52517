#include "record/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace holmtex {
namespace {

TEST(Codepage, EveryByteSurvivesDecodeAndEncode) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    EXPECT_EQ(bytes, utf8ToCp1252(cp1252ToUtf8(bytes)));
}

TEST(Codepage, DecodesToTheExpectedCharacters) {
    const std::pair<int, std::string> cases[] = {
        {0x00, std::string(1, '\0')},
        {'A', "A"},
        {0x7F, "\x7F"},
        {0x80, "€"},
        {0x81, "\xC2\x81"},
        {0x8A, "Š"},
        {0x8D, "\xC2\x8D"},
        {0x8F, "\xC2\x8F"},
        {0x90, "\xC2\x90"},
        {0x93, "“"},
        {0x9D, "\xC2\x9D"},
        {0x9F, "Ÿ"},
        {0xA0, "\xC2\xA0"},
        {0xC4, "Ä"},
        {0xDF, "ß"},
        {0xE4, "ä"},
        {0xFC, "ü"},
        {0xFF, "ÿ"},
    };
    for (const auto& [byte, utf8] : cases)
        EXPECT_EQ(utf8, cp1252ToUtf8(std::string(1, static_cast<char>(byte)))) << byte;
}

TEST(Codepage, EncodesGermanTextAndReplacesWhatHasNoByte) {
    const std::pair<const char*, const char*> cases[] = {
        {"Müller, Käthe", "M\xFCller, K\xE4the"},
        {"Straße 5 – 7 €",
         "Stra\xDF"
         "e 5 \x96 7 \x80"},
        {"Zeile 1\r\nZeile 2", "Zeile 1\r\nZeile 2"},
        // One '?' per character, however many UTF-8 bytes it takes.
        {"a\xC5\x91"
         "b",
         "a?b"},  // ő
        {"a中b", "a?b"},
        {"a😀b", "a?b"},
        {"\xC2\x80", "?"},  // U+0080 has no byte: 0x80 is the euro sign
        // Broken UTF-8 must not swallow the text after it.
        {"x\xC3", "x?"},
        {"\xC3(", "?("},
        {"\xFF"
         "ok",
         "?ok"},
        {"\xF8\x80\x80", "???"},
        // Overlong forms are not UTF-8; decoding them would let a raw quote into a record.
        {"\xC0\xA2", "??"},
        {"\xE0\x80\xA2", "???"},
        {"\xF0\x80\x80\xA2", "????"},
    };
    for (const auto& [utf8, cp1252] : cases)
        EXPECT_EQ(std::string(cp1252), utf8ToCp1252(utf8)) << utf8;
}

TEST(Codepage, LowerCase) {
    const std::pair<unsigned char, unsigned char> cases[] = {
        {'A', 'a'},   {'Z', 'z'},   {'a', 'a'},   {'@', '@'},   {'[', '['},   {'0', '0'},
        {0xC4, 0xE4}, {0xD6, 0xF6}, {0xDC, 0xFC}, {0xC0, 0xE0}, {0xDE, 0xFE},  // Ä Ö Ü À Þ
        {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF},                // Š Œ Ž Ÿ
        {0xDF, 0xDF}, {0xD7, 0xD7}, {0xF7, 0xF7}, {0xE4, 0xE4}, {0xFF, 0xFF},  // ß × ÷ ä ÿ
        {0x80, 0x80}, {0x9A, 0x9A}, {0xB5, 0xB5},
    };
    for (auto [upper, lower] : cases)
        EXPECT_EQ(static_cast<int>(lower), static_cast<int>(cp1252ToLower(upper))) << int(upper);
    // Lower-casing twice changes nothing more, for every byte.
    for (int b = 0; b < 256; ++b) {
        const unsigned char once = cp1252ToLower(static_cast<unsigned char>(b));
        EXPECT_EQ(static_cast<int>(once), static_cast<int>(cp1252ToLower(once))) << b;
    }
}

}  // namespace
}  // namespace holmtex
