// Names and wedding dates of a page as the genealogy file takes them.
#include "export/gedcom_mapping.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace holmtex {
namespace {

struct NameCase {
    std::string field;
    bool parent;
    std::string given, prefix, surname, birthPrefix, birthSurname;
    bool complete;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.field << '"'; }

class NameTable : public testing::TestWithParam<NameCase> {};

TEST_P(NameTable, MapsTheField) {
    const NameCase& c = GetParam();
    const PersonName name = mapName(c.field, c.parent);
    EXPECT_EQ(std::tie(name.given, name.prefix, name.surname, name.birthPrefix, name.birthSurname,
                       name.complete),
              std::tie(c.given, c.prefix, c.surname, c.birthPrefix, c.birthSurname, c.complete));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NameTable,
    testing::Values(
        // The last word is the surname; one word is a given name only.
        NameCase{"Johann Müller", true, "Johann", "", "Müller", "", "", true},
        NameCase{"Johann Georg Müller", false, "Johann Georg", "", "Müller", "", "", true},
        NameCase{"Johann", true, "Johann", "", "", "", "", true},
        NameCase{"  Johann \t  Müller \r\n", true, "Johann", "", "Müller", "", "", true},
        NameCase{"Johann von Berg", true, "Johann", "von", "Berg", "", "", true},
        NameCase{"von der Heide", false, "", "von der", "Heide", "", "", true},
        // "geb. X" gives the birth surname in a parent's field.
        NameCase{"Anna Müller geb. Schmidt", true, "Anna", "", "Müller", "", "Schmidt", true},
        NameCase{"Anna geb. Schmidt", true, "Anna", "", "", "", "Schmidt", true},
        NameCase{"Anna Maria Müller geborene von Berg", true, "Anna Maria", "", "Müller", "von",
                 "Berg", true},
        NameCase{"Anna Müller geb.Schmidt", true, "Anna", "", "Müller", "", "Schmidt", false},
        NameCase{"Anna Müller geb. Schmidt aus Ulm", true, "Anna", "", "Müller", "", "Schmidt",
                 false},
        // ... but not in a child's field, and not before a date of birth.
        NameCase{"Anna Müller geb. Schmidt", false, "Anna", "", "Müller", "", "", false},
        NameCase{"Johann Müller geb. 12.03.1850", true, "Johann", "", "Müller", "", "", false},
        NameCase{"Johann Müller geb. am 12.03.1850", true, "Johann", "", "Müller", "", "", false},
        // Surname first before a comma; after the name a comma starts an addition.
        NameCase{"Müller, Johann Georg", true, "Johann Georg", "", "Müller", "", "", true},
        NameCase{"von Berg, Johann", true, "Johann", "von", "Berg", "", "", true},
        NameCase{"Müller,Johann", true, "Johann", "", "Müller", "", "", false},
        NameCase{"Johann Müller, Bauer in Ulm", true, "Johann", "", "Müller", "", "", false},
        // Dates, signs and second lines are not part of the name.
        NameCase{"Johann Müller * 1850", true, "Johann", "", "Müller", "", "", false},
        NameCase{"Johann Müller (1850-1910)", true, "Johann", "", "Müller", "", "", false},
        NameCase{"Johann Müller\r\nBauer in Ulm", true, "Johann", "", "Müller", "", "", false},
        NameCase{"\r\nJohann Müller", true, "Johann", "", "Müller", "", "", true},
        // Garbage.
        NameCase{"", true, "", "", "", "", "", true},
        NameCase{",,,", true, "", "", "", "", "", false},
        NameCase{", ; ,", false, "", "", "", "", "", false},
        NameCase{"?", false, "?", "", "", "", "", true},
        NameCase{"J?rgen M?ller", true, "J?rgen", "", "M?ller", "", "", true},
        NameCase{"Jo\x01hann M\x7F\xC2\x85üller", true, "Johann", "", "Müller", "", "", false},
        NameCase{"Müller/Möller", false, "Müller-Möller", "", "", "", "", false},
        NameCase{"geb. Schmidt", true, "", "", "", "", "Schmidt", true}));

TEST(Names, AVeryLongNameIsCutToFitItsLineAtACharacterBoundary) {
    for (const std::string& field :
         {std::string(300, 'A'), std::string(150, 'A') + " " + std::string(149, 'B'),
          [] {
              std::string umlauts;
              for (int i = 0; i < 150; ++i) umlauts += "ä";
              return umlauts + " Müller";
          }(),
          "Anna " + std::string(200, 'M') + " geb. " + std::string(200, 'S')}) {
        const PersonName name = mapName(field, true);
        EXPECT_FALSE(name.complete);
        EXPECT_FALSE(name.empty());
        for (const auto& [prefix, surname] :
             {std::pair{name.prefix, name.surname}, {name.birthPrefix, name.birthSurname}}) {
            const std::string value = nameValue(name.given, prefix, surname);
            EXPECT_LE(value.size(), kMaxNameBytes) << value;
        }
        // Whole UTF-8 characters only: no part ends inside "ä" (0xC3 0xA4).
        for (const std::string& part : {name.given, name.surname, name.birthSurname}) {
            if (!part.empty()) {
                EXPECT_NE(static_cast<unsigned char>(part.back()), 0xC3) << part;
            }
        }
    }
}

TEST(Names, ValueOfTheNameLine) {
    EXPECT_EQ(nameValue("Johann", "von", "Berg"), "Johann /von Berg/");
    EXPECT_EQ(nameValue("", "", "Berg"), "/Berg/");
    EXPECT_EQ(nameValue("Johann", "", ""), "Johann");
    EXPECT_EQ(nameValue("", "", ""), "");
}

struct DateCase {
    std::string text, date, place, note;
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DateTable : public testing::TestWithParam<DateCase> {};

TEST_P(DateTable, MapsTheText) {
    const DateCase& c = GetParam();
    const EventDate date = mapDate(c.text);
    EXPECT_EQ(date.date, c.date);
    EXPECT_EQ(date.place, c.place);
    EXPECT_EQ(date.note, c.note);
    EXPECT_LE(date.date.size(), 35u);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DateTable,
    testing::Values(
        DateCase{"12.03.1890", "12 MAR 1890", "", ""}, DateCase{"1.3.1890", "1 MAR 1890", "", ""},
        DateCase{"03.1890", "MAR 1890", "", ""}, DateCase{"1890", "1890", "", ""},
        DateCase{"12. März 1890", "12 MAR 1890", "", ""},
        DateCase{"Dezember 1890", "DEC 1890", "", ""}, DateCase{"um 1890", "ABT 1890", "", ""},
        DateCase{"ca. 1890", "ABT 1890", "", ""}, DateCase{"ca 03.1890", "ABT MAR 1890", "", ""},
        DateCase{"Um 12.03.1890", "ABT 12 MAR 1890", "", ""},
        DateCase{"vor 1890", "BEF 1890", "", ""}, DateCase{"nach 1890", "AFT 1890", "", ""},
        DateCase{"29.02.1904", "29 FEB 1904", "", ""},
        DateCase{" 12.03.1890\r\n", "12 MAR 1890", "", ""},
        // A place after the date, or a place alone.
        DateCase{"12.03.1890 in Ulm", "12 MAR 1890", "Ulm", ""},
        DateCase{"um 1890, in Neu-Ulm an der Donau", "ABT 1890", "Neu-Ulm an der Donau", ""},
        DateCase{"in Köln", "", "Köln", ""},
        // Anything else is a date phrase, never an invalid date.
        DateCase{"12.03.1890 Ulm", "(12.03.1890 Ulm)", "", ""},
        DateCase{"31.02.1890", "(31.02.1890)", "", ""},
        DateCase{"29.02.1900", "(29.02.1900)", "", ""},
        DateCase{"12.13.1890", "(12.13.1890)", "", ""}, DateCase{"12.03.90", "(12.03.90)", "", ""},
        DateCase{"0000", "(0000)", "", ""}, DateCase{"um", "(um)", "", ""},
        DateCase{"in", "(in)", "", ""}, DateCase{"unbekannt", "(unbekannt)", "", ""},
        DateCase{"(ledig) 1890", "([ledig] 1890)", "", ""}, DateCase{",,,", "(,,,)", "", ""},
        DateCase{"?", "(?)", "", ""},
        DateCase{"12.03.\x01"
                 "1890",
                 "12 MAR 1890", "", ""},
        // Too long for a date phrase: the text goes into a note.
        DateCase{"irgendwann im Frühjahr nach dem großen Brand", "", "",
                 "irgendwann im Frühjahr nach dem großen Brand"},
        DateCase{"12.03.1890 in " + std::string(130, 'x'), "12 MAR 1890", "",
                 "12.03.1890 in " + std::string(130, 'x')},
        DateCase{"", "", "", ""}, DateCase{" \r\n ", "", "", ""}));

TEST(Text, OneLineAndCutting) {
    EXPECT_EQ(oneLine(" a\r\nb\t\tc\x01"
                      "d "),
              "a b cd");
    EXPECT_EQ(cutUtf8("Müller", 2), "M");
    EXPECT_EQ(cutUtf8("Müller", 3), "Mü");
    EXPECT_EQ(cutUtf8("ab", 5), "ab");
}

}  // namespace
}  // namespace holmtex
