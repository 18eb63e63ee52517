// The genealogy file: long and multi-line texts, and whole files for a handful of pages
// compared byte for byte with the files under tests/data/gedcom/.
#include "export/gedcom_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "export/list_export.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::makePage;
using test::readFile;
using test::writeFile;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The value of a text written at `level`, put together again from its CONT and CONC lines.
std::string readBack(const std::string& lines, int level) {
    std::string text;
    const std::string cont = std::to_string(level + 1) + " CONT",
                      conc = std::to_string(level + 1) + " CONC";
    bool first = true;
    for (const std::string& line : linesOf(lines)) {
        const auto value = [&](std::size_t tagEnd) {
            return line.size() > tagEnd ? line.substr(tagEnd + 1) : std::string();
        };
        if (first) {
            text = value(line.find(' ', 2));
            first = false;
        } else if (line.rfind(cont, 0) == 0) {
            text += "\n" + value(cont.size());
        } else if (line.rfind(conc, 0) == 0) {
            text += value(conc.size());
        } else {
            ADD_FAILURE() << "unexpected line " << line;
        }
    }
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        plain.push_back(text[i]);
        if (text[i] == '@' && i + 1 < text.size() && text[i + 1] == '@') ++i;
    }
    return plain;
}

TEST(GedcomText, LongAndMultiLineTextsSplitIntoShortLinesAndReadBackWhole) {
    std::string umlauts;
    for (int i = 0; i < 200; ++i) umlauts += "äöü";
    std::string words;
    for (int i = 0; i < 80; ++i) words += "Wort" + std::to_string(i) + " ";
    words.pop_back();
    const std::vector<std::string> texts = {
        "kurz",
        std::string(1000, 'x'),
        umlauts,
        words,
        std::string(300, '@'),
        "a" + std::string(252, '@') + "b",
        "erste Zeile\nzweite\n\nvierte nach einer leeren",
        std::string(260, 'y') + "\n" + std::string(600, 'z'),
    };
    for (const std::string& text : texts) {
        std::string out;
        appendGedcomText(out, 1, "NOTE", text);
        for (const std::string& line : linesOf(out)) {
            EXPECT_LE(line.size(), kMaxGedcomLine) << line;
            EXPECT_NE(line.back(), ' ') << line;
        }
        EXPECT_EQ(readBack(out, 1), text);
    }
}

TEST(GedcomText, ControlCharactersBecomeBlanksAndTheAtSignIsDoubled) {
    std::string out;
    appendGedcomText(out, 1, "NOTE",
                     "a\tb\x01"
                     "c\xC2\x85"
                     "d e@f");
    EXPECT_EQ(out, "1 NOTE a b c d e@@f\n");
}

TEST(GedcomPage, AddStateMakesParentOneTheChildOfItsParentsFamilyOnlyWhenThereIsOne) {
    const auto write = [](std::initializer_list<std::pair<int, std::string>> items) {
        PageContent content;
        content.page = makePage("1", 0, items);
        content.addState = true;
        GedcomWriter writer;
        std::string out;
        writer.page(out, content);
        return out;
    };
    // Child 1 of family 2 edited after "+": still the father, the other text in his note.
    std::string out = write({{fatherItem(1), "Hans Vogt"},
                             {childItem(1, 2), "Hans Vogt der Ältere"},
                             {fatherItem(2), "Karl Vogt"}});
    EXPECT_EQ(out.find("0 @I3@"), std::string::npos) << out;  // two persons only
    EXPECT_NE(out.find("1 FAMC @F2@\n1 FAMS @F1@\n1 NOTE Merkseite: Vorgang 1\n"
                       "2 CONT Kind 1 der Familie 2: Hans Vogt der Ältere\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("0 @F2@ FAM\n1 HUSB @I2@\n1 CHIL @I1@\n"), std::string::npos) << out;

    // Without a father 1, child 1 of family 2 is a child like any other.
    out = write({{motherItem(1), "Eva"}, {childItem(1, 2), "Paul"}});
    EXPECT_NE(out.find("0 @I2@ INDI\n1 NAME Paul\n2 GIVN Paul\n1 FAMC @F2@\n"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("1 FAMC @F2@\n1 FAMS"), std::string::npos) << out;

    // Family 4 empty: mother 1 is no one's child.
    out = write({{motherItem(1), "Eva"}});
    EXPECT_EQ(out.find("FAMC"), std::string::npos) << out;
}

// ---- Whole files ----

struct Golden {
    std::string name;
    std::vector<PageRecord> pages;
};

std::vector<Golden> goldens() {
    return {
        {"normal",
         {makePage("4711", 0,
                   {{fatherItem(1), "Johann Müller"},
                    {motherItem(1), "Anna Müller geb. Schmidt"},
                    {dateItem(1), "12.03.1890"},
                    {childItem(1, 1), "Karl"},
                    {childItem(2, 1), "Marie Müller"},
                    {childItem(3, 1), "Fritz Müller * 1895"},
                    {remarkItem(1), "katholisch"},
                    {fatherItem(3), "Georg Weber"},
                    {childItem(1, 3), "Lina Weber"},
                    {PageText, "Aus dem Kirchenbuch"}})}},
        {"add_state",
         {makePage("A-7", 1,
                   {{AddMarker, "add"},
                    {fatherItem(1), "Johann Müller"},
                    {motherItem(1), "Anna Schmidt"},
                    {dateItem(1), "um 1890 in Ulm"},
                    {childItem(1, 1), "Karl Müller"},
                    {childItem(1, 2), "Johann Müller"},
                    {fatherItem(2), "Georg Müller"},
                    {motherItem(2), "Eva geb. Bauer"},
                    {dateItem(2), "vor 1865"},
                    {childItem(2, 2), "Peter Müller"},
                    {childItem(1, 4), "Anna Schmidt"},
                    {fatherItem(4), "Friedrich Schmidt"},
                    {motherItem(4), "Lina von Berg"},
                    {dateItem(4), "03.1860"}})}},
        {"empty_families",
         {makePage("1", 0, {{fatherItem(3), "Paul Kern"}, {childItem(2, 3), "Ida Kern"}}),
          makePage("2", 1, {}), makePage("3", 2, {{PageText, "nur ein Text"}}),
          makePage("", 3, {{remarkItem(4), "nur eine Bemerkung"}})}},
        {"multi_line",
         {makePage("99", 4,
                   {{fatherItem(1), "Johann Müller\r\nBauer in Ulm"},
                    {motherItem(1), "Müller, Anna"},
                    {dateItem(1), "irgendwann im Frühjahr nach dem großen Brand"},
                    {remarkItem(1), "erste Zeile\r\nzweite Zeile\r\n\r\nnach einer leeren, mit @"},
                    {childItem(1, 1), "Karl"},
                    {PageText, "Absatz eins\r\n" + std::string(300, 'x') + "\r\nEnde"}})}},
        {"umlauts",
         {makePage("Ä-12", 5,
                   {{fatherItem(1), "Jürgen Weiß"},
                    {motherItem(1), "Bärbel Öztürk geb. Groß"},
                    {dateItem(1), "1. Mai 1920 in Gößweinstein"},
                    {childItem(1, 1), "Jörg Weiß"},
                    {childItem(2, 1), "J?rgen Wei?"},
                    {remarkItem(1), "Straße, Flöße & Grüße"}})}},
    };
}

void PrintTo(const Golden& golden, std::ostream* os) { *os << golden.name; }

class GoldenFiles : public testing::TestWithParam<Golden> {};

TEST_P(GoldenFiles, ListExportsByteForByte) {
    const Golden& golden = GetParam();
    test::TempDir dir;
    writeFile(dir / "holmtex-aktuell.dat", test::bytesOf(golden.pages));
    const GedcomExport result =
        exportListAsGedcom(ListFiles(dir.path()), ListKind::Aktuell, dir / "holmtex-aktuell.ged",
                           LocalDateTime{2026, 12, 6, 14, 3, 59});
    ASSERT_TRUE(result.readFailure.ok());
    ASSERT_TRUE(result.writeFailure.ok());
    EXPECT_EQ(result.pages, static_cast<int>(golden.pages.size()));
    EXPECT_FALSE(result.damaged);
    const std::string written = readFile(dir / "holmtex-aktuell.ged");
    EXPECT_EQ(written, test::golden("gedcom/" + golden.name + ".ged", written));
    for (const std::string& line : linesOf(written)) EXPECT_LE(line.size(), kMaxGedcomLine);
}

INSTANTIATE_TEST_SUITE_P(Pages, GoldenFiles, testing::ValuesIn(goldens()),
                         [](const auto& info) { return info.param.name; });

TEST(GedcomExportOfAList, DamagedTailExportsTheWholePagesBefore) {
    test::TempDir dir;
    std::string bytes = test::bytesOf({makePage("1", 0, {{fatherItem(1), "Otto Kahl"}}),
                                       makePage("2", 1, {{fatherItem(1), "Emil Kahl"}})});
    bytes += "\"->2\",\"06.12.2026\",\"14:09";  // the start of a third record
    writeFile(dir / "holmtex-archiv.dat", bytes);
    const GedcomExport result = exportListAsGedcom(ListFiles(dir.path()), ListKind::Archiv,
                                                   dir / "out.ged", LocalDateTime{});
    EXPECT_EQ(result.pages, 2);
    EXPECT_TRUE(result.damaged);
    EXPECT_TRUE(result.writeFailure.ok());
    const std::string written = readFile(dir / "out.ged");
    EXPECT_NE(written.find("1 NAME Emil /Kahl/\n"), std::string::npos);
    EXPECT_NE(written.find("Liste ARCHIV, Zeile 1, Vorgang 2"), std::string::npos);
    EXPECT_TRUE(written.ends_with("0 TRLR\n"));
}

TEST(GedcomExportOfAList, MissingOrWhollyDamagedListWritesNothing) {
    test::TempDir dir;
    writeFile(dir / "out.ged", "alt");
    GedcomExport result = exportListAsGedcom(ListFiles(dir.path()), ListKind::Allgemein,
                                             dir / "out.ged", LocalDateTime{});
    EXPECT_EQ(result.readFailure.error, ENOENT);
    writeFile(dir / "holmtex-grund.dat", "\"->2\",\"06.12");
    result = exportListAsGedcom(ListFiles(dir.path()), ListKind::Allgemein, dir / "out.ged",
                                LocalDateTime{});
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.pages, 0);
    EXPECT_EQ(readFile(dir / "out.ged"), "alt");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.ged.neu"));
}

}  // namespace
}  // namespace holmtex
