// What keeps the lists whole: appends that look at the end of the file, the repair of a
// damaged end, protected and linked list files, and records carried as their bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
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

// A first page one item short puts every record after it out of step, up to an end that
// looks whole. What delete and the data check call damaged takes no page and gives none.
TEST_F(ListSafety, AListOutOfStepFromItsFirstPageIsDamagedForEveryOperation) {
    std::string shortPage = recordBytes(makePage("1", 0));
    shortPage.erase(shortPage.find(','), 1);
    const std::string list = shortPage + bytesOf({makePage("2", 1), makePage("3", 2)});
    const std::string damaged = "holmtex-aktuell.dat" + kDamaged;
    const struct {
        std::function<void()> run;
        std::string said;
    } cases[] = {
        {[&] { form.Command1_Click(); }, "Die Seite wurde nicht gespeichert: " + damaged},
        {[&] { form.Combo1.setText("import!"); }, "Die Seiten wurden nicht importiert: " + damaged},
        {[&] {
             form.Option2.setValue(true);
             form.Command21_Click();
         },
         "Die Seite wurde nicht verschoben: " + damaged},
        {[&] { form.Combo1.setText("export!"); },
         "Die Datei >holmtex-aktuell.dat< ist beschädigt, nichts gespeichert."},
        {[&] { form.Command2_Click(); }, "Die Zeile wurde nicht gelöscht: " + damaged},
        {[&] { form.Combo1.setText("datacheck!"); }, "Prüfung erfolgt, Daten gestört"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        writeFile(aktuell(), list);
        writeFile(archiv(), recordBytes(makePage("A", 3)));
        writeFile(dir / "holmtex-trans.txt", recordBytes(makePage("T", 4)));
        form.Form_Load();
        form.Combo1.setText("");
        c.run();
        EXPECT_EQ(form.Text5.text(), c.said);
        EXPECT_EQ(readFile(aktuell()), list);
        EXPECT_EQ(readFile(dir / "holmtex-trans.txt"), recordBytes(makePage("T", 4)));
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

// A link, a pipe or a folder where the program writes a file of its folder: nothing is
// written through a link, nothing waits, and only a plain file or a link is replaced.
TEST_F(ListSafety, AnOutputIsAPlainFileOfTheFolderOrIsRefused) {
    test::TempDir other;
    writeFile(aktuell(), namedPages("S", 3));
    writeFile(archiv(), namedPages("A", 2) + "\"->2\",\"06.12");
    form.setProgramDir(HOLMTEX_SIBLING_DIR);
    platform.fakeProgram = [](const fs::path& f) { writeFile(f / "z1.txt", "Text"); };
    form.Form_Load();
    const auto word = [this](const char* w) {
        return [this, w] {
            form.Combo1.setText("");
            form.Combo1.setText(w);
        };
    };
    const struct {
        std::string file;
        std::function<void()> run;
        bool replaces;  // false: an output that never takes a name in use
    } outputs[] = {
        {"holmtex-trans.txt", word("export!"), true},
        {"holmtex-aktuell.ged", word("gedcom!"), true},
        {"Familienblatt_S2_2612061403.pdf", word("pdf!"), false},
        {"check.dat", word("datacheck!"), true},
        {"z1.txt", [&] { form.Command23_Click(); }, true},
        {"zzz.txt", [&] { form.Command7_Click(); }, true},
        {"Text_S2_2612061403.txt", [&] { form.Command7_Click(); }, false},
        {"holmtex-letzter Eintrag.txt", [&] { form.Command9_Click(); }, true},
        {"holmtex-archiv-rest-2612061403.txt",
         [&] {
             form.Option2.setValue(true);
             word("reparatur!")();
             form.Option1.setValue(true);
         },
         false},
    };
    using T = fs::file_type;  // `character`: a link to /dev/null
    for (const auto& o : outputs) {
        for (const T kind : {T::symlink, T::character, T::fifo, T::directory}) {
            SCOPED_TRACE(o.file + " as file type " + std::to_string(static_cast<int>(kind)));
            const fs::path at = dir / o.file;
            writeFile(other / "fremd", "fremd");
            if (kind == T::symlink || kind == T::character)
                fs::create_symlink(kind == T::symlink ? other / "fremd" : "/dev/null", at);
            if (kind == T::fifo) ::mkfifo(at.c_str(), 0644);
            if (kind == T::directory) fs::create_directory(at);
            platform.shown.clear();
            o.run();
            const bool stays = kind == T::fifo || kind == T::directory;
            EXPECT_EQ(fs::symlink_status(at).type(), stays        ? kind
                                                     : o.replaces ? T::regular
                                                                  : T::symlink);
            EXPECT_EQ(readFile(other / "fremd"), "fremd");
            const std::string said =
                form.Text5.text() + (platform.shown.empty() ? "" : platform.shown.back().text);
            EXPECT_TRUE(kind != T::fifo || !o.replaces ||
                        said.find("der Name gehört keiner gewöhnlichen Datei") != std::string::npos)
                << said;
            fs::remove_all(at);
        }
    }
}

// A list that is no plain file is not read (no wait, no byte), takes no page, and does not
// pass for damaged data.
TEST_F(ListSafety, AListThatIsNoPlainFileIsNotRead) {
    const std::string notPlain = "der Name gehört keiner gewöhnlichen Datei (holmtex-aktuell.dat).";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { ::mkfifo(aktuell().c_str(), 0644); }, notPlain},
        {[&] { fs::create_symlink("/dev/zero", aktuell()); }, notPlain},
        {[&] { fs::create_directory(aktuell()); },
         "der Name gehört einem Ordner (holmtex-aktuell.dat)."},
    };
    for (const auto& [make, why] : cases) {
        make();
        const fs::file_type before = fs::symlink_status(aktuell()).type();
        form.Form_Load();
        EXPECT_EQ(form.Text5.text(), "Die Liste wurde nicht ganz gelesen: " + why);
        form.Command1_Click();
        EXPECT_EQ(form.Text5.text(), "Die Seite wurde nicht gespeichert: " + why);
        form.Combo1.setText("datacheck!");
        EXPECT_EQ(form.Text5.text(), "Prüfung nicht beendet, Lesefehler: " + why);
        form.Combo1.setText("");
        EXPECT_EQ(fs::symlink_status(aktuell()).type(), before);
        fs::remove_all(aktuell());
    }
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
