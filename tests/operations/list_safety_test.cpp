// What keeps the lists whole: appends that look at the end of the file, the repair of a
// damaged end, protected and linked list files, and records carried as their bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "record/list_append.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using namespace test;  // the shared builders and file helpers
namespace fs = std::filesystem;

const std::string kDamaged = " ist am Ende beschädigt; reparatur! hilft.";

// A record as another program may write it: a bare item with a quote inside (child 1).
std::string foreignRecord(const std::string& number) {
    std::string bytes = recordBytes(makePage(number, 5));
    const std::string before = "\"" + number + "\",";
    bytes.replace(bytes.find(before) + before.size(), 2, "ab\"c");
    return bytes;
}

class ListSafety : public test::FormTest {
protected:
    fs::path aktuell() const { return dir / "holmtex-aktuell.dat"; }
    fs::path archiv() const { return dir / "holmtex-archiv.dat"; }

    std::vector<std::string> numbers(const fs::path& file) {
        std::vector<std::string> out;
        for (const PageRecord& r : readRecords(file)) out.emplace_back(r.text(ProcessNumber));
        return out;
    }
};

TEST_F(ListSafety, SaveLooksAtTheEndOfTheListFirst) {
    const std::string whole = bytesOf({makePage("1", 0), makePage("2", 1)});
    const std::string last = recordBytes(makePage("3", 2));
    const struct {
        const char* name;
        std::string before;
        bool saved;
    } cases[] = {
        {"a last record without its CR LF", whole + last.substr(0, last.size() - 2), true},
        {"cut inside a text", whole + last.substr(0, 40), false},
        {"cut right after the 48th comma", whole + last.substr(0, last.size() - 4), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(aktuell(), c.before);
        form.Form_Load();
        form.Text2.setText("neu");
        form.v1t.setText("Vater neu");
        form.Command1_Click();
        if (c.saved) {
            EXPECT_EQ(numbers(aktuell()), (std::vector<std::string>{"1", "2", "3", "neu"}));
            EXPECT_EQ(readFile(aktuell()).substr(0, whole.size() + last.size()), whole + last);
            EXPECT_EQ(form.List1.listCount(), 4);
            EXPECT_EQ(form.Text5.text(), "Listenzeile 3");
        } else {
            EXPECT_EQ(readFile(aktuell()), c.before);
            EXPECT_EQ(form.Text5.text(),
                      "Die Seite wurde nicht gespeichert: holmtex-aktuell.dat" + kDamaged);
            EXPECT_EQ(form.Text2.text(), "neu");  // the page stays on screen
            EXPECT_EQ(form.v1t.text(), "Vater neu");
            EXPECT_EQ(form.List1.listCount(), 2);
        }
    }
}

// A redo file that is no file of ours (here a folder) is set aside unopened, and said so.
TEST_F(ListSafety, ARedoFileThatIsNoFileIsSetAsideAndTold) {
    writeFile(aktuell(), recordBytes(makePage("1", 0)));
    fs::create_directories(dir / "holmtex-aktuell.dat.anhang" / "x");
    form.Form_Load();
    EXPECT_EQ(form.Text5.text(),
              "Unterbrochenes Speichern gefunden, nicht nachgeholt; die Daten stehen in "
              "holmtex-aktuell.dat.anhang-unbenutzt-2612061403.");
    EXPECT_TRUE(fs::exists(dir / "holmtex-aktuell.dat.anhang-unbenutzt-2612061403" / "x"));
    form.Command1_Click();
    EXPECT_EQ(form.Text5.text(), "Listenzeile 1");
    EXPECT_EQ(numbers(aktuell()).size(), 2u);
}

TEST_F(ListSafety, ImportAndExportTakeNothingBehindADamagedEnd) {
    const std::string damaged = recordBytes(makePage("1", 0)) + "\"->2\",\"06.12";
    writeFile(aktuell(), damaged);
    writeFile(dir / "holmtex-trans.txt", recordBytes(makePage("T", 3)));
    form.Form_Load();
    form.Combo1.setText("import!");
    EXPECT_EQ(form.Text5.text(),
              "Die Seiten wurden nicht importiert: holmtex-aktuell.dat" + kDamaged);
    EXPECT_EQ(readFile(aktuell()), damaged);
    EXPECT_TRUE(fs::exists(dir / "holmtex-trans.txt"));

    writeFile(aktuell(), recordBytes(makePage("1", 0)));
    writeFile(dir / "holmtex-trans.txt", "\"->2\",\"06.12");
    form.RefreshList();
    form.Combo1.setText("export!");
    EXPECT_EQ(form.Text5.text(),
              "Die Datei >holmtex-trans.txt< ist am Ende beschädigt, nichts gespeichert.");
    EXPECT_EQ(readFile(dir / "holmtex-trans.txt"), "\"->2\",\"06.12");
}

TEST_F(ListSafety, RepairKeepsTheWholePagesAndPutsTheRestAside) {
    const std::string whole = bytesOf({makePage("1", 0), makePage("2", 1)}) + foreignRecord("3");
    const std::string next = recordBytes(makePage("4", 2));
    const struct {
        const char* name;
        std::string rest;
    } cases[] = {
        {"cut inside a text", next.substr(0, 50)},
        {"cut after the 48th comma", next.substr(0, next.size() - 4)},
        {"a quote never closed, over lines", "\"->2\",\"text\r\nmehr\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir here;
        ScriptedPlatform p;
        Holmtex w{p, here.path()};
        const fs::path file = here / "holmtex-archiv.dat";
        writeFile(file, whole + c.rest);
        ASSERT_EQ(0, ::chmod(file.c_str(), 0640));
        w.Form_Load();
        w.Option2.setValue(true);
        w.Combo1.setText("reparatur!");
        EXPECT_EQ(w.Text5.text(),
                  "3 Seiten blieben in der Liste, der Rest steht in "
                  "holmtex-archiv-rest-2612061403.txt.");
        EXPECT_EQ(readFile(file), whole);  // foreign bytes and all
        EXPECT_EQ(readFile(here / "holmtex-archiv-rest-2612061403.txt"), c.rest);
        EXPECT_EQ(readFile(here / "holmtex-archiv.bak"), whole + c.rest);
        struct stat st {};
        ASSERT_EQ(0, ::stat(file.c_str(), &st));
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(w.Combo1.text(), "");
        EXPECT_EQ(w.List1.listCount(), 3);  // rebuilt
        EXPECT_FALSE(fs::exists(here / "fam-erg3.txt"));

        // Once more in the same minute: the list is whole now.
        w.Combo1.setText("reparatur!");
        EXPECT_EQ(w.Text5.text(),
                  "Die Liste holmtex-archiv.dat ist in Ordnung; es wurde nichts geändert.");
        EXPECT_EQ(readFile(file), whole);
        EXPECT_EQ(readFile(here / "holmtex-archiv-rest-2612061403.txt"), c.rest);
    }
}

TEST_F(ListSafety, RepairNeverReplacesAnEarlierRestAndRefusesAProtectedList) {
    const std::string damaged = recordBytes(makePage("1", 0)) + "\"->2\",\"abc";
    writeFile(aktuell(), damaged);
    writeFile(dir / "holmtex-aktuell-rest-2612061403.txt", "früherer Rest");
    form.Form_Load();
    form.Combo1.setText("reparatur!");
    EXPECT_EQ(form.Text5.text(),
              "Die Liste wurde nicht repariert: die Datei holmtex-aktuell-rest-2612061403.txt "
              "gibt es schon.");
    EXPECT_EQ(readFile(aktuell()), damaged);
    EXPECT_EQ(readFile(dir / "holmtex-aktuell-rest-2612061403.txt"), "früherer Rest");

    ASSERT_EQ(0, ::chmod(aktuell().c_str(), 0444));
    platform.clock.minute = 4;
    form.Combo1.setText("reparatur!");
    EXPECT_EQ(form.Text5.text(),
              "Die Liste wurde nicht repariert: keine Berechtigung (holmtex-aktuell.dat).");
    EXPECT_EQ(readFile(aktuell()), damaged);
    EXPECT_FALSE(fs::exists(dir / "holmtex-aktuell-rest-2612061404.txt"));
    EXPECT_FALSE(fs::exists(dir / "holmtex-aktuell.bak"));

    // A list without a file has nothing to mend.
    form.Option3.setValue(true);
    form.Combo1.setText("reparatur!");
    EXPECT_EQ(form.Text5.text(),
              "Die Liste holmtex-grund.dat ist in Ordnung; es wurde nichts geändert.");
    EXPECT_FALSE(fs::exists(dir / "holmtex-grund.dat"));
}

// Delete, the moves and "alle löschen" leave a list alone that nobody may write, and a
// move leaves the page where it is when its target is protected.
TEST_F(ListSafety, AProtectedListIsNeverReplaced) {
    const std::string pages = bytesOf({makePage("1", 0), makePage("2", 1)});
    const struct {
        const char* name;
        const char* protectedFile;
        void (Holmtex::*op)();
        std::string message;
    } cases[] = {
        {"delete", "holmtex-aktuell.dat", &Holmtex::Command2_Click,
         "Die Zeile wurde nicht gelöscht: keine Berechtigung (holmtex-aktuell.dat)."},
        {"move", "holmtex-aktuell.dat", &Holmtex::Command19_Click,
         "Die Seite wurde nicht verschoben: keine Berechtigung (holmtex-aktuell.dat)."},
        {"move into a protected list", "holmtex-grund.dat", &Holmtex::Command22_Click,
         "Die Seite wurde nicht verschoben: keine Berechtigung (holmtex-grund.dat)."},
        {"alle löschen", "holmtex-aktuell.dat", &Holmtex::Command3_Click,
         "Die Liste konnte nicht geleert werden: keine Berechtigung (holmtex-aktuell.dat)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir here;
        ScriptedPlatform p;
        Holmtex w{p, here.path()};
        for (const char* name : {"holmtex-aktuell.dat", "holmtex-archiv.dat", "holmtex-grund.dat"})
            writeFile(here / name, pages);
        writeFile(here / "holmtex-leer.dat", "");
        ASSERT_EQ(0, ::chmod((here / c.protectedFile).c_str(), 0444));
        w.Form_Load();
        w.List1.clickLine(0);
        (w.*c.op)();
        EXPECT_EQ(w.Text5.text(), c.message);
        for (const char* name : {"holmtex-aktuell.dat", "holmtex-archiv.dat", "holmtex-grund.dat"})
            EXPECT_EQ(readFile(here / name), pages) << name;
        EXPECT_TRUE(fs::exists(here / "holmtex-leer.dat"));
        EXPECT_FALSE(fs::exists(here / "holmtex-aktuell.bak"));
        EXPECT_FALSE(fs::exists(here / "fam-erg3.txt"));
        EXPECT_EQ(w.List1.listCount(), 2);
    }
}

// A list kept elsewhere through a symbolic link stays that link, whatever replaces it.
TEST_F(ListSafety, ALinkedListStaysTheLink) {
    test::TempDir elsewhere;
    const fs::path real = elsewhere / "meine-liste.dat";
    const std::string pages = bytesOf({makePage("1", 0), makePage("2", 1), makePage("3", 2)});
    const auto start = [&] {
        writeFile(real, pages);
        fs::remove(aktuell());
        fs::create_symlink(real, aktuell());
        form.Form_Load();
        form.List1.clickLine(1);
    };
    const auto linked = [&] {
        EXPECT_TRUE(fs::is_symlink(aktuell()));
        EXPECT_FALSE(fs::is_symlink(dir / "holmtex-aktuell.bak"));
        EXPECT_FALSE(fs::exists(elsewhere / "fam-erg3.txt"));
    };

    start();
    form.Command2_Click();
    linked();
    EXPECT_EQ(numbers(real), (std::vector<std::string>{"1", "3"}));

    start();
    form.Command19_Click();
    linked();
    EXPECT_EQ(numbers(real), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(numbers(archiv()), std::vector<std::string>{"2"});
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.bak"), pages);

    start();
    writeFile(dir / "holmtex-leer.dat", recordBytes(makePage("Vorlage", 4)));
    form.Command3_Click();
    linked();
    EXPECT_EQ(form.Text5.text(),
              "Die Datei wurde gelöscht und unter holmtex-aktuell.bak gespeichert");
    EXPECT_EQ(numbers(real), std::vector<std::string>{"Vorlage"});
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.bak"), pages);
    EXPECT_FALSE(fs::exists(dir / "holmtex-leer.dat"));
}

// Records that an operation only carries keep every byte, also in shapes our writer never
// makes; only the moved page is written anew.
TEST_F(ListSafety, CarriedRecordsKeepTheirBytes) {
    const std::string a = recordBytes(makePage("1", 0)), foreign = foreignRecord("2"),
                      c = recordBytes(makePage("3", 2));
    writeFile(aktuell(), a + foreign + c);
    form.Form_Load();
    form.List1.clickLine(0);
    form.Command2_Click();
    EXPECT_EQ(readFile(aktuell()), foreign + c);

    form.List1.clickLine(1);
    form.Command19_Click();
    EXPECT_EQ(readFile(aktuell()), foreign);
    form.Combo1.setText("datacheck!");
    EXPECT_EQ(form.Text5.text(), "Prüfung erfolgt, Daten sind in Ordnung");
    EXPECT_EQ(readFile(dir / "check.dat"), foreign);

    // The foreign page itself moved: written anew, its quote an apostrophe, so the target
    // reads whole.
    form.List1.clickLine(0);
    form.Command19_Click();
    EXPECT_EQ(readFile(aktuell()), "");
    const auto moved = readRecords(archiv());
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[1].text(ListTag), "arch");
    EXPECT_EQ(moved[1].text(ProcessNumber), "2");
    EXPECT_EQ(moved[1].text(childItem(1, 1)), "ab'c");
}

TEST_F(ListSafety, ExportCarriesTheRecordAsItIsUnlessItHoldsAQuote) {
    std::string bare = recordBytes(makePage("1", 0));
    bare.replace(bare.find("\"aktu\""), 6, "aktu");  // a bare item, readable anywhere
    const std::string last = recordBytes(makePage("3", 2));
    writeFile(aktuell(), bare + foreignRecord("2") + last.substr(0, last.size() - 2));
    form.Form_Load();
    for (int line : {0, 1, 2}) {
        form.List1.clickLine(line);
        form.Combo1.setText("export!");
    }
    std::string rewritten = foreignRecord("2");
    rewritten.replace(rewritten.find("ab\"c"), 4, "\"ab'c\"");
    EXPECT_EQ(readFile(dir / "holmtex-trans.txt"), bare + rewritten + last);
}

TEST_F(ListSafety, TheDataCheckNamesCheckDatWhenOnlyItCannotBeWritten) {
    writeFile(aktuell(), recordBytes(makePage("1", 0)));
    fs::create_directories(dir / "check.dat" / "darin");
    form.Form_Load();
    form.Combo1.setText("datacheck!");
    EXPECT_EQ(form.Text5.text().rfind(
                  "Prüfung erfolgt, Daten in Ordnung; check.dat nicht geschrieben: ", 0),
              0u)
        << form.Text5.text();
    writeFile(aktuell(), recordBytes(makePage("1", 0)) + "\"->");
    form.Combo1.setText("");
    form.Combo1.setText("datacheck!");
    EXPECT_EQ(form.Text5.text(), "Prüfung erfolgt, Daten gestört");
}

}  // namespace
}  // namespace holmtex
