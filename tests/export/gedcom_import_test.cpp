// Genealogy files read back into pages: our own export of the golden lists, a file of
// another program, every kind of bad input, and the character sets.
#include "export/gedcom_import.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "export/gedcom_pages.h"
#include "export/list_export.h"
#include "record/codepage.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::makePage;
using test::readFile;
using test::writeFile;

const LocalDateTime kStamp{2026, 12, 7, 9, 30, 5};

GedcomImport importBytes(std::string bytes, const GedcomProgress& progress = {}) {
    StringSource source(std::move(bytes));
    return importGedcom(source, kStamp, progress);
}

std::vector<PageRecord> pagesOf(const GedcomImport& result) {
    StringSource source(result.records);
    RecordReader reader(source);
    std::vector<PageRecord> pages;
    for (PageRecord page; reader.next(page) == ReadStatus::Record;) pages.push_back(page);
    EXPECT_EQ(pages.size(), static_cast<std::size_t>(result.pages));
    return pages;
}

std::string fieldName(int n) {
    static const char* kNames[] = {"AddMarker", "ListTag", "Text1", "Text2"};
    if (n < 10) return kNames[n - 6];
    const int f = n / 10, k = n % 10;
    if (k < 6) return "k" + std::to_string(k + 1) + std::to_string(f) + "t";
    static const char* kParents[] = {"v", "m", "dat", "bem"};
    return kParents[k - 6] + std::to_string(f) + "t";
}

// The pages without what depends on the moment or the view: every other item that has
// text, one per line, its line breaks indented.
std::string readable(const std::vector<PageRecord>& pages) {
    std::string out;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        out += "--- Seite " + std::to_string(p + 1) + "\n";
        for (int n = AddMarker; n <= kItemCount; ++n) {
            std::string text(pages[p].text(n));
            if (text.empty()) continue;
            for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
                text.replace(at, 2, "\n    ");
            out += fieldName(n) + ": " + text + "\n";
        }
    }
    return out;
}

std::string dataFile(const std::string& name) {
    return readFile(std::filesystem::path(HOLMTEX_TEST_DATA) / name);
}

TEST(GedcomImport, OurOwnExportReadsBackIntoTheSameFamilyFields) {
    std::string made;
    // The files the export test pins, and the export of the golden list.
    for (const char* name : {"normal", "add_state", "empty_families", "multi_line", "umlauts"}) {
        const GedcomImport result = importBytes(dataFile("gedcom/" + std::string(name) + ".ged"));
        EXPECT_EQ(result.problem, GedcomProblem::None) << name;
        made += "=== " + std::string(name) + ".ged\n" + readable(pagesOf(result));
    }
    test::TempDir dir;
    writeFile(dir / "holmtex-aktuell.dat", dataFile("golden/holmtex-aktuell.dat"));
    const GedcomExport exported =
        exportListAsGedcom(ListFiles(dir.path()), ListKind::Aktuell, dir / "out.ged", kStamp);
    ASSERT_TRUE(exported.writeFailure.ok());
    const GedcomImport list = importGedcomFile(dir / "out.ged", kStamp);
    EXPECT_EQ(list.problem, GedcomProblem::None);
    made += "=== holmtex-aktuell.dat\n" + readable(pagesOf(list));
    EXPECT_EQ(made, test::golden("gedcom/read_back.txt", made));

    // The page of the add state comes back field for field, stamped like a save.
    const std::vector<PageRecord> stored = test::readRecords(dir / "holmtex-aktuell.dat");
    const std::vector<PageRecord> read = pagesOf(list);
    ASSERT_EQ(stored.size(), 4u);
    ASSERT_EQ(read.size(), 3u);
    ASSERT_EQ(stored[2].text(AddMarker), "add");
    for (int n = AddMarker; n <= kItemCount; ++n)
        EXPECT_EQ(read[2].text(n), stored[2].text(n)) << fieldName(n);
    EXPECT_EQ(read[2].text(SaveDate), "07.12.2026");
    EXPECT_EQ(read[2].text(SaveTime), "09:30:05");
    EXPECT_EQ(read[2].text(ViewMarker), "->4");
}

TEST(GedcomImport, TheExampleFileOfGrampsReadsWithItsCounts) {
    const std::filesystem::path folder = "/usr/share/doc/gramps/example/gedcom";
    test::TempDir dir;
    std::filesystem::path file = folder / "sample.ged";
    if (!std::filesystem::exists(file) && std::filesystem::exists(folder / "sample.ged.gz")) {
        file = dir / "sample.ged";
        test::runCommand("gzip -dc '" + (folder / "sample.ged.gz").string() + "' > '" +
                         file.string() + "'");
    }
    if (!std::filesystem::exists(file))
        GTEST_SKIP() << "gramps is not installed: no " << (folder / "sample.ged");
    const GedcomImport result = importGedcomFile(file, kStamp);
    EXPECT_EQ(result.problem, GedcomProblem::None);
    EXPECT_EQ(result.families, 15);
    EXPECT_EQ(result.pages, 15);
    EXPECT_EQ(result.persons, 42);
    EXPECT_EQ(result.personsWithoutFamily, 0);
    EXPECT_EQ(result.lostCharacters, "");
    const std::vector<PageRecord> pages = pagesOf(result);
    ASSERT_EQ(pages.size(), 15u);
    EXPECT_EQ(pages[0].text(ProcessNumber), "F0");
    EXPECT_EQ(pages[0].text(fatherItem(1)), "Martin Smith");
    EXPECT_EQ(pages[0].text(dateItem(1)), "um 1816 in Gladsax, Kristianstad Län, Sweden");
    EXPECT_EQ(pages[0].text(AddMarker), "add");
    EXPECT_NE(pages[0].text(PageText).find("Elna Jefferson ~ 16.09.1800 in Gladsax"),
              std::string_view::npos);
}

// ---- Bad input ----

std::string file(const std::string& records, bool trailer = true) {
    return "0 HEAD\n1 CHAR UTF-8\n" + records + (trailer ? "0 TRLR\n" : "");
}

const std::string kCouple =
    "0 @I1@ INDI\n1 NAME Otto /Kahl/\n0 @I2@ INDI\n1 NAME Emma /Rau/\n1 SEX F\n"
    "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n";

TEST(GedcomImport, ThePageNamesEachPersonsEventsSourcesChildrenAndNotes) {
    std::string children, links;
    for (int c = 1; c <= 8; ++c) {
        const std::string n = std::to_string(c);
        children += "0 @C" + n + "@ INDI\n1 NAME Kind" + n + " /Rau/\n1 FAMC @F1@\n";
        links += "1 CHIL @C" + n + "@\n";
    }
    const GedcomImport result = importBytes(
        file("0 @I1@ INDI\n1 NAME Otto /Kahl/\n1 BIRT\n2 DATE ABT 1850\n2 PLAC Ulm\n"
             "1 CHR\n2 DATE 3 MAR 1850\n2 SOUR @S1@\n1 DEAT Y\n1 BURI\n2 PLAC Bern\n"
             "1 SOUR Kirchenbuch Ulm\n1 SOUR @S1@\n0 @S1@ SOUR\n1 TITL Taufregister\n"
             "0 @I2@ INDI\n1 NAME Emma /Rau/\n1 SEX F\n0 @N1@ NOTE aus dem Brief\n1 CONT von 1901\n"
             "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 REFN 815\n1 NOTE @N1@\n1 NOTE \"zweite\"\n" +
             links + children + "0 @I9@ INDI\n1 NAME Allein /Stehend/\n"));
    EXPECT_EQ(result.problem, GedcomProblem::None);
    EXPECT_EQ(result.personsWithoutFamily, 1);
    const std::vector<PageRecord> pages = pagesOf(result);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].text(ProcessNumber), "815");
    EXPECT_EQ(pages[0].text(childItem(6, 1)), "Kind6 Rau");
    EXPECT_EQ(pages[0].text(remarkItem(1)),
              "aus dem Brief\r\nvon 1901\r\n'zweite'\r\nweitere Kinder: Kind7 Rau, Kind8 Rau");
    EXPECT_EQ(pages[0].text(PageText),
              "Otto Kahl * um 1850 in Ulm\r\nOtto Kahl ~ 03.03.1850\r\nOtto Kahl \u2020\r\n"
              "Otto Kahl begr. in Bern\r\nOtto Kahl, Quelle: Taufregister\r\n"
              "Otto Kahl, Quelle: Kirchenbuch Ulm");
}

struct BadInput {
    const char* name;
    std::string bytes;
    GedcomProblem problem;
    int pages;
    std::string firstFather;  // of the first page
};

void PrintTo(const BadInput& input, std::ostream* os) { *os << input.name; }

class BadInputs : public testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, GiveTheirProblemAndOnlyWholeFamilies) {
    const BadInput& input = GetParam();
    const GedcomImport result = importBytes(input.bytes);
    EXPECT_EQ(result.problem, input.problem);
    EXPECT_EQ(result.pages, input.pages);
    const std::vector<PageRecord> pages = pagesOf(result);
    if (!input.firstFather.empty() && !pages.empty()) {
        EXPECT_EQ(pages[0].text(fatherItem(1)), input.firstFather);
    }
}

std::vector<BadInput> badInputs() {
    const std::string longNote(300, 'n');
    std::string chain = "0 @F2@ FAM\n1 HUSB @I1@\n1 NOTE ";
    for (int i = 0; i < 5000; ++i) chain += std::string(240, 'c') + "\n2 CONC ";
    std::string sources = "0 @I1@ INDI\n1 NAME Otto /Kahl/\n";  // each a record not in the file
    for (int i = 0; i < 50000; ++i) sources += "1 SOUR @S" + std::to_string(i) + "@\n";
    return {
        {"empty", "", GedcomProblem::Empty, 0, ""},
        {"blank_lines", "\r\n  \n", GedcomProblem::Empty, 0, ""},
        {"not_gedcom", "Liebe Grüße\nvon Oma\n", GedcomProblem::NotGedcom, 0, ""},
        {"head_not_first", "1 HEAD\n0 HEAD\n", GedcomProblem::NotGedcom, 0, ""},
        {"cut_in_a_person",
         file(kCouple + "0 @I3@ INDI\n1 NAME Paul /Kahl/\n1 FAMC @F1@\n0 @F2@ FAM\n1 HUSB @I3@\n"
                        "1 WIFE @I4@\n0 @I4@ INDI\n1 NAME Lina",
              false),
         GedcomProblem::Truncated, 1, "Otto Kahl"},
        {"long_line", file(kCouple + "1 NOTE " + longNote + "\n"), GedcomProblem::LongLines, 1,
         "Otto Kahl"},
        {"continuation_of_nothing", file(kCouple + "0 CONC verwaist\n3 CONT auch\n"),
         GedcomProblem::BrokenContinuation, 1, "Otto Kahl"},
        {"endless_chain", file(kCouple + chain + "x\n"), GedcomProblem::BrokenContinuation, 2,
         "Otto Kahl"},
        {"missing_record", file(kCouple + "1 CHIL @I9@\n0 @F2@ FAM\n1 HUSB @I8@\n1 NOTE @N1@\n"),
         GedcomProblem::MissingRecord, 1, "Otto Kahl"},
        {"own_ancestor",
         file(kCouple + "1 CHIL @I3@\n0 @I3@ INDI\n1 NAME Paul /Kahl/\n0 @F2@ FAM\n"
                        "1 HUSB @I3@\n1 CHIL @I1@\n"),
         GedcomProblem::OwnAncestor, 2, "Otto Kahl"},
        {"duplicate_xref", file(kCouple + "0 @I1@ INDI\n1 NAME Falscher /Otto/\n"),
         GedcomProblem::DuplicateXref, 1, "Otto Kahl"},
        {"sources_without_end", file(sources + "0 @F1@ FAM\n1 HUSB @I1@\n"),
         GedcomProblem::MissingRecord, 1, "Otto Kahl"},
        {"bad_line", file(kCouple + "Zeile ohne Stufe\n"), GedcomProblem::BadLines, 1, "Otto Kahl"},
    };
}

INSTANTIATE_TEST_SUITE_P(Files, BadInputs, testing::ValuesIn(badInputs()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GedcomImport, ACircleOfFamiliesEndsAndShowsEachParentsFamilyAtMostOnce) {
    // F1's husband is a child of F2, whose husband is a child of F1.
    const GedcomImport result =
        importBytes(file(kCouple + "1 CHIL @I3@\n0 @I3@ INDI\n1 NAME Paul /Kahl/\n0 @F2@ FAM\n"
                                   "1 HUSB @I3@\n1 CHIL @I1@\n"));
    const std::vector<PageRecord> pages = pagesOf(result);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].text(AddMarker), "add");
    EXPECT_EQ(pages[0].text(fatherItem(2)), "Paul Kahl");
    EXPECT_EQ(pages[1].text(AddMarker), "");  // its link back to F1 is cut
}

TEST(GedcomImport, AFolderAMissingFileAndACancelGiveNoPages) {
    test::TempDir dir;
    EXPECT_EQ(importGedcomFile(dir.path(), kStamp).problem, GedcomProblem::Folder);
    const GedcomImport missing = importGedcomFile(dir / "fehlt.ged", kStamp);
    EXPECT_EQ(missing.problem, GedcomProblem::Unreadable);
    EXPECT_EQ(missing.error, ENOENT);
    const GedcomImport cancelled = importBytes(file(kCouple), [](std::uint64_t) { return false; });
    EXPECT_EQ(cancelled.problem, GedcomProblem::Cancelled);
    EXPECT_EQ(cancelled.records, "");
}

// Hands out its bytes one to seven at a time, so that every line and every line end
// falls across the end of a read somewhere.
class TrickleSource : public ByteSource {
public:
    explicit TrickleSource(std::string bytes) : bytes_(std::move(bytes)) {}
    long read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, bytes_.size() - pos_, 1 + pos_ % 7});
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return static_cast<long>(n);
    }

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

TEST(GedcomImport, AFileReadAFewBytesAtATimeGivesTheSamePages) {
    for (const char* name : {"normal", "add_state", "multi_line", "umlauts"}) {
        for (const std::string lineEnd : {"\n", "\r\n", "\r"}) {
            std::string bytes = dataFile("gedcom/" + std::string(name) + ".ged");
            for (std::size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos;
                 at += lineEnd.size())
                bytes.replace(at, 1, lineEnd);
            const GedcomImport whole = importBytes(bytes);
            TrickleSource trickle(bytes);
            const GedcomImport pieces = importGedcom(trickle, kStamp);
            EXPECT_EQ(pieces.problem, whole.problem) << name;
            EXPECT_EQ(pieces.records, whole.records) << name;
            EXPECT_GT(whole.pages, 0) << name;
        }
    }
}

// 200 MB of families with long notes, made while they are read, never held whole.
class LargeFile : public ByteSource {
public:
    long read(char* buffer, std::size_t size) override {
        std::size_t done = 0;
        while (done < size && (sent_ < kSize || !rest_.empty())) {
            if (rest_.empty()) rest_ = next();
            const std::size_t n = std::min(size - done, rest_.size());
            std::memcpy(buffer + done, rest_.data(), n);
            rest_.erase(0, n);
            done += n;
        }
        return static_cast<long>(done);
    }
    static constexpr std::uint64_t kSize = 200'000'000;
    int families = 0;

private:
    std::string next() {
        std::string part;
        if (sent_ == 0) part = "0 HEAD\n1 CHAR UTF-8\n";
        const std::string n = std::to_string(++families);
        part += "0 @I" + n + "@ INDI\n1 NAME Hans /Vogt " + n + "/\n1 NOTE Brief\n";
        for (int line = 0; line < 80; ++line) part += "2 CONT " + std::string(240, 'x') + "\n";
        part += "0 @F" + n + "@ FAM\n1 HUSB @I" + n + "@\n";
        sent_ += part.size();
        if (sent_ >= kSize) part += "0 TRLR\n";
        return part;
    }
    std::uint64_t sent_ = 0;
    std::string rest_;
};

TEST(GedcomImport, AFileOf200MegabytesStreamsToItsEnd) {
    LargeFile source;
    std::uint64_t reports = 0;
    const GedcomImport result = importGedcom(source, kStamp, [&](std::uint64_t) {
        ++reports;
        return true;
    });
    EXPECT_EQ(result.problem, GedcomProblem::None);
    EXPECT_EQ(result.pages, source.families);
    EXPECT_GE(result.bytesRead, LargeFile::kSize);
    EXPECT_GE(reports, LargeFile::kSize >> 20);
}

// ---- Character sets and dates ----

std::string lineEnds(std::string text, const std::string& lineEnd) {
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += lineEnd.size())
        text.replace(at, 1, lineEnd);
    return text;
}

TEST(GedcomImport, EveryCharacterSetGivesTheSameLetters) {
    const std::string utf8 = file(
        "0 @I1@ INDI\n1 NAME Jürgen /Weiß/\n0 @I2@ INDI\n1 NAME Œdile /Łaska/\n1 SEX F\n"
        "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n");
    auto utf16 = [](const std::string& utf8, bool bigEndian) {
        std::string out;
        for (std::size_t i = 0; i < utf8.size();) {  // the letters here are all below U+FFFF
            const auto lead = static_cast<unsigned char>(utf8[i]);
            char32_t cp = lead < 0x80 ? lead : lead < 0xE0 ? lead & 0x1F : lead & 0x0F;
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
            for (std::size_t k = 1; k < length; ++k) cp = cp << 6 | (utf8[i + k] & 0x3F);
            i += length;
            const char high = static_cast<char>(cp >> 8), low = static_cast<char>(cp & 0xFF);
            out += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        return out;
    };
    std::string cp1252 = utf8ToCp1252(utf8);  // the Ł is lost there already
    cp1252.replace(cp1252.find("CHAR UTF-8"), 10, "CHAR ANSI");
    std::string ansel = cp1252;
    ansel.replace(ansel.find("CHAR ANSI"), 9, "CHAR ANSEL");
    ansel.replace(ansel.find('\xFC'), 1, "\xE8u");  // ü: diaeresis, then the letter
    ansel.replace(ansel.find('\xDF'), 1, "\xCF");
    ansel.replace(ansel.find('\x8C'), 1, "\xA6");
    ansel.replace(ansel.find("?aska"), 1, "\xA1");

    const std::vector<std::pair<const char*, std::string>> files = {
        {"UTF-8", utf8},
        {"UTF-8 with its mark, CR line ends", "\xEF\xBB\xBF" + lineEnds(utf8, "\r")},
        {"UTF-16 LE with its mark, CR LF", "\xFF\xFE" + utf16(lineEnds(utf8, "\r\n"), false)},
        {"UTF-16 BE without a mark", utf16(utf8, true)},
        {"ANSEL", ansel},
    };
    for (const auto& [name, bytes] : files) {
        const GedcomImport result = importBytes(bytes);
        const std::vector<PageRecord> pages = pagesOf(result);
        ASSERT_EQ(pages.size(), 1u) << name;
        EXPECT_EQ(pages[0].text(fatherItem(1)), "Jürgen Weiß") << name;
        EXPECT_EQ(pages[0].text(motherItem(1)), "Œdile ?aska") << name;
        EXPECT_EQ(result.lostCharacters, "Ł") << name;
    }
    const GedcomImport ansi = importBytes(cp1252);
    EXPECT_EQ(pagesOf(ansi).at(0).text(motherItem(1)), "Œdile ?aska");
}

TEST(GedcomImport, ALetterBeyondAsciiIsReadWhereverItsLineEnds) {
    // Names of every length around the 16 and 64 bytes a line's end is looked for in.
    for (std::size_t length = 0; length < 70; ++length) {
        const std::string given(length, 'x');
        const GedcomImport result =
            importBytes("0 HEAD\n1 CHAR ANSEL\n0 @I1@ INDI\n1 NAME " + given +
                        "\xE8u /Rau/\n0 @F1@ FAM\n"
                        "1 HUSB @I1@\n0 TRLR\n");
        const std::vector<PageRecord> pages = pagesOf(result);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].text(fatherItem(1)), given + "ü Rau") << length;
    }
}

TEST(GedcomCharset, AnselGivesEveryLetterOfWindows1252) {
    struct Marked {
        char mark;
        std::string letters, expected;
    };
    const std::vector<Marked> marked = {
        {'\xE1', "AEIOUaeiou", "ÀÈÌÒÙàèìòù"},
        {'\xE2', "AEIOUYaeiouy", "ÁÉÍÓÚÝáéíóúý"},
        {'\xE3', "AEIOUaeiou", "ÂÊÎÔÛâêîôû"},
        {'\xE4', "ANOano", "ÃÑÕãñõ"},
        {'\xE8', "AEIOUYaeiouy", "ÄËÏÖÜŸäëïöüÿ"},
        {'\xEA', "Aa", "Åå"},
        {'\xF0', "Cc", "Çç"},
        {'\xE9', "SZsz", "ŠŽšž"},
    };
    for (const Marked& m : marked) {
        std::string ansel;
        for (const char letter : m.letters) ansel += std::string{m.mark, letter};
        std::string utf8;
        appendAsUtf8(utf8, ansel, GedcomCharset::Ansel);
        EXPECT_EQ(utf8, m.expected);
    }
    std::string special;
    appendAsUtf8(special, "\xA5\xB5\xA2\xB2\xA6\xB6\xA4\xB4\xBA\xC7\xCF\xC8\xE2\xE8u",
                 GedcomCharset::Ansel);
    EXPECT_EQ(special, "ÆæØøŒœÞþðßß€\u00FA\u0308");  // two marks: the first joins the letter
}

TEST(GedcomDates, BecomeGermanOrStayAsWritten) {
    const std::vector<std::pair<const char*, const char*>> dates = {
        {"12 MAR 1890", "12.03.1890"},
        {"mar 1890", "03.1890"},
        {"1890", "1890"},
        {"ABT 1890", "um 1890"},
        {"BEF 5 JAN 1865", "vor 05.01.1865"},
        {"AFT 1900", "nach 1900"},
        {"BET 1794 AND 1796", "zw. 1794 und 1796"},
        {"FROM 1 APR 1901 TO 1910", "von 01.04.1901 bis 1910"},
        {"(im Frühjahr)", "im Frühjahr"},
        {"INT 1890 (laut Taufbuch)", "1890 (laut Taufbuch)"},
        {"@#DJULIAN@ 1 JAN 1700", "@#DJULIAN@ 1 JAN 1700"},
        {"32 MAR 1890", "32 MAR 1890"},
        {"1750/51", "1750/51"},
    };
    for (const auto& [gedcom, german] : dates) EXPECT_EQ(germanDateOf(gedcom), german) << gedcom;
}

}  // namespace
}  // namespace holmtex
