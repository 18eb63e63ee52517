// The page as text file with the real sibling program, duplicate marking, program exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "operations/random_lists.h"
#include "record/record_io.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::readFile;
using test::writeFile;

const std::string kSep = "\"----------------------\"\r\n";

std::string q(const std::string& text) { return "\"" + text + "\"\r\n"; }

class TextOutput : public test::FormTest {
protected:
    void SetUp() override {
        form.setProgramDir(HOLMTEX_SIBLING_DIR);
        platform.runPrograms = true;
    }

    // A page in the list file whose family 1 is filled as in the layout example.
    static PageRecord familyOnePage() {
        return test::makePage("4711", 0,
                              {{fatherItem(1), "Johann Müller"},
                               {motherItem(1), "Anna Groß"},
                               {dateItem(1), "12.05.1890"},
                               {childItem(1, 1), "Karl"},
                               {childItem(2, 1), "Marie"},
                               {remarkItem(1), "aus Köln"}});
    }

    void openPages(const std::vector<PageRecord>& pages) {
        writeFile(dir / "holmtex-aktuell.dat", test::bytesOf(pages));
        form.Form_Load();
    }
};

// The bytes of zzz.txt and of the text file are held by the golden files; here what the
// window does while the sibling runs and after.
TEST_F(TextOutput, CountsInTheCommandBoxWhileTheSiblingMakesTheTextFile) {
    openPages({familyOnePage()});
    std::vector<std::string> counts;
    form.Combo1.observe([&](Property) { counts.push_back(form.Combo1.text()); });
    form.Command7_Click();

    EXPECT_EQ(form.Text5.text(),
              "Datei im Programmordner als Text_4711_2612061403.txt gespeichert");
    EXPECT_NE(readFile(dir / "Text_4711_2612061403.txt").find("Vater  1: Johann M\xFCller\r\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "z1.txt"));
    ASSERT_EQ(counts.size(), 10001u);
    EXPECT_EQ(counts.front(), "1");
    EXPECT_EQ(counts[9999], "10000");
    EXPECT_EQ(form.Combo1.text(), "");
}

TEST_F(TextOutput, TakesFamiliesFromTheBufferAndTextsFromTheFields) {
    PageRecord page = familyOnePage();
    page.set(fatherItem(3), "Vater drei");
    page.set(childItem(6, 4), "Kind sechs");
    page.set(remarkItem(2), "Zeile eins\r\nZeile zwei");
    openPages({page});
    ASSERT_EQ(form.Text1.height(), 5175);  // the two-family view covers families 3 and 4
    form.v1t.setText("nicht gespeichert");
    form.Text1.setText("Schluss\r\nmit zwei Zeilen");
    form.Text2.setText("");
    platform.runPrograms = false;
    form.Command7_Click();

    const std::string zzz = readFile(dir / "zzz.txt");
    const std::string first = q("TextKopie vom Vorgang  ");
    EXPECT_EQ(zzz.substr(0, first.size()), first);
    EXPECT_NE(zzz.find(q("Vater  1: Johann M\xFCller")), std::string::npos);
    EXPECT_NE(zzz.find(q("Bemerkung: Zeile eins\r\nZeile zwei")), std::string::npos);
    EXPECT_NE(zzz.find(q("Familie 3") + q("Vater  3: Vater drei")), std::string::npos);
    EXPECT_NE(zzz.find(q("Kind 6: Kind sechs")), std::string::npos);
    EXPECT_EQ(zzz.find("nicht gespeichert"), std::string::npos);
    const std::string tail = kSep + q("Schlu\xDF"
                                      "bemerkung: Schluss\r\nmit zwei Zeilen");
    ASSERT_GE(zzz.size(), tail.size());
    EXPECT_EQ(zzz.substr(zzz.size() - tail.size()), tail);
}

TEST_F(TextOutput, RenameProblemsAreReportedAndNothingIsReplaced) {
    openPages({familyOnePage()});
    platform.runPrograms = false;  // a sibling that leaves this z1.txt
    std::string made = "erste";
    platform.fakeProgram = [&](const std::filesystem::path& folder) {
        writeFile(folder / "z1.txt", made);
    };
    form.Command7_Click();
    EXPECT_EQ(readFile(dir / "Text_4711_2612061403.txt"), "erste");

    made = "zweite";
    form.Command7_Click();  // same minute, same name
    EXPECT_EQ(form.Text5.text(),
              "Die Textdatei wurde nicht gespeichert: die Datei "
              "Text_4711_2612061403.txt gibt es schon.");
    EXPECT_EQ(readFile(dir / "Text_4711_2612061403.txt"), "erste");
    EXPECT_EQ(readFile(dir / "z1.txt"), "zweite");

    form.Text2.setText("../47/11");
    form.Command7_Click();
    EXPECT_EQ(
        form.Text5.text().rfind("Die Textdatei wurde nicht gespeichert: die Vorgangsnummer", 0),
        0u);
    EXPECT_EQ(form.Combo1.text(), "");
}

// Whatever the sibling does, the message tells the truth, and an older z1.txt never
// becomes the text file.
TEST_F(TextOutput, TheMessageSaysWhatTheSiblingDid) {
    const std::string failed = "Die Textdatei wurde nicht gespeichert: ";
    struct Case {
        const char* name;
        const char* script;  // the sibling in the program folder; nullptr: none there
        std::string message;
    };
    const Case cases[] = {
        {"the real one", "", "Datei im Programmordner als Text_4711_2612061403.txt gespeichert"},
        {"none", nullptr, failed + "das Programm krumo-34 fehlt."},
        {"fails", "exit 3", failed + "das Programm krumo-34 meldet den Fehler 3."},
        {"crashes", "kill -9 $$", failed + "das Programm krumo-34 ist abgestürzt."},
        {"leaves nothing", "exit 0", failed + "es gibt keine Datei z1.txt."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir program;
        openPages({familyOnePage()});
        std::filesystem::remove(dir / "Text_4711_2612061403.txt");
        writeFile(dir / "z1.txt", "ältere Datei");
        if (c.script && *c.script) {
            writeFile(program / "krumo-34", std::string("#!/bin/sh\n") + c.script + "\n");
            std::filesystem::permissions(program / "krumo-34", std::filesystem::perms::owner_all);
            form.setProgramDir(program.path());
        } else {
            form.setProgramDir(c.script ? HOLMTEX_SIBLING_DIR : program.path());
        }
        form.Command7_Click();
        EXPECT_EQ(form.Text5.text(), c.message);
        const std::string made = readFile(dir / "Text_4711_2612061403.txt");
        EXPECT_EQ(made.find("ältere"), std::string::npos);
        EXPECT_EQ(made.empty(), c.message.rfind(failed, 0) == 0);
        EXPECT_FALSE(std::filesystem::exists(dir / "z1.txt"));
    }
}

TEST_F(TextOutput, TheSiblingComesFromTheProgramNeverFromTheWorkingFolder) {
    openPages({familyOnePage()});
    // A program in the working folder that would leave its mark.
    const std::string intruder = "#!/bin/sh\ntouch " + (dir / "gelaufen").string() + "\n";
    writeFile(dir / "krumo-34", intruder);
    std::filesystem::permissions(dir / "krumo-34", std::filesystem::perms::owner_all);
    form.setProgramDir(dir / "bin");
    form.Command7_Click();
    EXPECT_FALSE(std::filesystem::exists(dir / "gelaufen"));
    EXPECT_TRUE(platform.started.empty());
    EXPECT_EQ(form.Text5.text(),
              "Die Textdatei wurde nicht gespeichert: das Programm krumo-34 fehlt.");

    // Installed: the program in bin/, the sibling in libexec/holmtex/.
    test::TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "libexec" / "holmtex");
    std::filesystem::copy_file(std::filesystem::path(HOLMTEX_SIBLING_DIR) / "krumo-34",
                               prefix / "libexec" / "holmtex" / "krumo-34");
    form.setProgramDir(prefix / "bin");
    EXPECT_EQ(form.siblingProgram(), prefix / "libexec" / "holmtex" / "krumo-34");
    form.Command7_Click();
    EXPECT_EQ(form.Text5.text(),
              "Datei im Programmordner als Text_4711_2612061403.txt gespeichert");
    EXPECT_FALSE(std::filesystem::exists(dir / "gelaufen"));
}

TEST_F(TextOutput, TheSiblingNeverWritesThroughALeftoverLink) {
    openPages({familyOnePage()});
    test::TempDir elsewhere;
    writeFile(elsewhere / "fremd.txt", "unberührt");
    std::filesystem::create_symlink(elsewhere / "fremd.txt", dir / "z1.txt.tmp");
    form.Command7_Click();
    EXPECT_EQ(form.Text5.text(),
              "Datei im Programmordner als Text_4711_2612061403.txt gespeichert");
    EXPECT_EQ(readFile(elsewhere / "fremd.txt"), "unberührt");
    EXPECT_NE(readFile(dir / "Text_4711_2612061403.txt").find("Vater  1: Johann"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "z1.txt.tmp")));
}

TEST_F(TextOutput, AnUnwritableWorkFileStopsBeforeTheSibling) {
    openPages({familyOnePage()});
    std::filesystem::create_directory(dir / "zzz.txt");
    form.Command7_Click();
    EXPECT_EQ(form.Text5.text(),
              "Die Textdatei wurde nicht gespeichert: der Name gehört einem Ordner (zzz.txt).");
    EXPECT_TRUE(platform.started.empty());
}

TEST_F(TextOutput, DuplicatesAreMarkedInTheWorkFileOnly) {
    struct Case {
        std::vector<std::string> numbers;
        std::string text5;
        std::vector<std::string> tags;  // of the records in z1.txt
        std::string last;               // the number shown afterwards
    };
    const Case cases[] = {
        {{"4711"}, "1", {}, "4711"},
        {{"10", "20", "10"}, "3", {"aktu-dopp", "aktu"}, "20"},
        {{"a1", "A1"}, "2", {"aktu"}, "a1"},
        {{"", "x", ""}, "3", {"aktu-dopp", "aktu"}, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text5);
        std::vector<PageRecord> pages;
        for (const auto& n : c.numbers) pages.push_back(test::makePage(n));
        openPages(pages);
        const std::string before = readFile(dir / "holmtex-aktuell.dat");
        for (int run = 0; run < 2; ++run) {  // a second run marks afresh
            form.Command23_Click();
            EXPECT_EQ(form.Text5.text(), c.text5);
            ASSERT_TRUE(std::filesystem::exists(dir / "z1.txt"));
            std::vector<std::string> tags;
            for (const PageRecord& r : test::readRecords(dir / "z1.txt"))
                tags.emplace_back(r.text(ListTag));
            EXPECT_EQ(tags, c.tags);
            EXPECT_EQ(form.Text1.text(), "liste einmal durch mit " + c.last);
            EXPECT_EQ(form.Text2.text(), c.last);
        }
        EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"), before);
        EXPECT_EQ(form.List1.listCount(), static_cast<int>(c.numbers.size()));
    }
}

TEST_F(TextOutput, DuplicatesOfAMissingListChangeNoFile) {
    form.Form_Load();
    form.Text1.setText("bleibt");
    form.Command23_Click();
    EXPECT_EQ(form.Text5.text(), "0");
    EXPECT_EQ(form.Text1.text(), "bleibt");
    EXPECT_FALSE(std::filesystem::exists(dir / "z1.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "holmtex-aktuell.dat"));
}

// z1.txt as reading every page into the buffer, marking it and writing it makes it, for
// lists of every shape, counted from what is known about the list or by reading it.
TEST_F(TextOutput, DuplicatesWritesWhatDecodingEveryPageWrites) {
    int marked = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        test::ListMaker maker(seed);
        const std::string list = maker.list(30);
        writeFile(dir / "holmtex-aktuell.dat", list);
        std::remove((dir / "z1.txt").c_str());
        // Every other seed reads the list from its start.
        Holmtex fromStart(platform, dir.path(), ListReading::FromStart);
        Holmtex& form = seed % 2 == 0 ? fromStart : this->form;
        form.Option1.setValue(false);
        form.Option1.setValue(true);

        // The plain way: every page decoded, the copies marked and written.
        std::vector<PageRecord> pages = test::readRecords(dir / "holmtex-aktuell.dat");
        std::string expected;
        for (std::size_t k = 0; k + 1 < pages.size(); ++k) {
            PageRecord& page = pages[k];
            if (page.text(ProcessNumber) == pages.back().text(ProcessNumber)) {
                page.set(ListTag, std::string(page.text(ListTag)) + "-dopp");
                ++marked;
            }
            writeRecord(expected, page);
        }
        const std::string text2Before = form.Text2.text();
        form.Command23_Click();
        SCOPED_TRACE(seed);
        EXPECT_EQ(std::to_string(pages.size()), form.Text5.text());
        if (pages.empty()) {
            EXPECT_FALSE(std::filesystem::exists(dir / "z1.txt"));
            continue;
        }
        EXPECT_EQ(expected, readFile(dir / "z1.txt"));
        // The buffer holds the last page copied, as marked, but for what the two fields put
        // there when their texts change.
        PageRecord last = pages.size() > 1 ? pages[pages.size() - 2] : pages.back();
        const std::string number(last.text(ProcessNumber));
        last.set(PageText, "liste einmal durch mit " + number);
        if (number != text2Before) last.set(ProcessNumber, number);
        EXPECT_EQ(last, form.CurrentRecord);
        EXPECT_EQ(number, form.Text2.text());
        EXPECT_EQ(list, readFile(dir / "holmtex-aktuell.dat"));
    }
    EXPECT_GT(marked, 50);
}

// A list that cannot be read says so; it shows no count and leaves no z1.txt.
TEST_F(TextOutput, DuplicatesOfAnUnreadableListSayWhy) {
    form.Form_Load();
    std::filesystem::create_directory(dir / "holmtex-aktuell.dat");
    form.Text1.setText("bleibt");
    form.Command23_Click();
    EXPECT_EQ(
        "Die Datei holmtex-aktuell.dat konnte nicht gelesen werden: der Name gehört einem "
        "Ordner.",
        form.Text5.text());
    EXPECT_LE(form.Text5.text().size(), 100u);
    EXPECT_EQ("bleibt", form.Text1.text());
    EXPECT_FALSE(std::filesystem::exists(dir / "z1.txt"));
}

TEST_F(TextOutput, CloseWithoutSavingWritesTheBufferToTheRescueFile) {
    openPages({familyOnePage()});
    const std::string list = readFile(dir / "holmtex-aktuell.dat");
    writeFile(dir / "z1.txt", "a");
    writeFile(dir / "zzz.txt", "b");
    writeFile(dir / "holmtex-letzter Eintrag.txt", "alte Rettung\r\n");
    form.v1t.setText("nur im Feld");
    form.Text1.setText("neuer Text");
    form.Command9_Click();

    PageRecord expected = familyOnePage();
    expected.set(PageText, "neuer Text");
    expected.set(ProcessNumber, "4711");
    EXPECT_EQ(readFile(dir / "holmtex-letzter Eintrag.txt"), recordBytes(form.CurrentRecord));
    EXPECT_EQ(form.CurrentRecord.text(fatherItem(1)), "Johann Müller");
    EXPECT_EQ(form.CurrentRecord.text(PageText), "neuer Text");
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].kind, "ok");
    EXPECT_EQ(platform.shown[0].title, "  D A T E N R E T T U N G   ");
    EXPECT_EQ(platform.shown[0].text,
              "Die letzte Information wurde in der Datei "
              ">holmtex-letzter Eintrag.txt< im Programmordner gespeichert");
    EXPECT_TRUE(platform.ended);
    EXPECT_FALSE(std::filesystem::exists(dir / "z1.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "zzz.txt"));
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"), list);
    // Closing the window afterwards runs nothing more.
    form.WindowClosing();
    EXPECT_EQ(platform.shown.size(), 1u);
}

TEST_F(TextOutput, ARescueThatCannotBeWrittenSaysSo) {
    form.Form_Load();
    std::filesystem::create_directories(dir / "holmtex-letzter Eintrag.txt" / "x");
    form.WindowClosing();
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text.rfind("Die letzte Information konnte nicht", 0), 0u);
    EXPECT_TRUE(platform.ended);
}

TEST_F(TextOutput, CloseAndSaveAppendsThePageUnlessTheSaveFails) {
    form.Form_Load();
    std::filesystem::create_directory(dir / "holmtex-aktuell.dat");
    form.Text2.setText("77");
    form.Command5_Click();
    EXPECT_FALSE(platform.ended);
    EXPECT_EQ(form.Text2.text(), "77");
    EXPECT_EQ(form.Text5.text().rfind("Die Seite wurde nicht gespeichert", 0), 0u);

    std::filesystem::remove(dir / "holmtex-aktuell.dat");
    form.Command5_Click();  // no work files there: no error
    EXPECT_TRUE(platform.ended);
    const std::vector<PageRecord> saved = test::readRecords(dir / "holmtex-aktuell.dat");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].text(ProcessNumber), "77");
}

}  // namespace
}  // namespace holmtex
