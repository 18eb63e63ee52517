// Deleting lines, emptying a list, moving a line into another list and putting a page in
// another's place, on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "record/data_files.h"
#include "record/list_append.h"
#include "record/record_io.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::bytesOf;
using test::namedPage;
using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

std::vector<PageRecord> without(std::vector<PageRecord> records, int n) {
    records.erase(records.begin() + n);
    return records;
}

PageRecord tagged(PageRecord r, const char* tag) {
    r.set(ListTag, tag);
    return r;
}

class DeleteMove : public test::FormTest {
protected:
    fs::path file(ListKind kind) { return dir / dataFileName(kind); }

    // Starts the window with `kind` chosen and `line` clicked (none when -1).
    void start(ListKind kind, int line) {
        form.Form_Load();
        if (kind == ListKind::Archiv) form.Option2.setValue(true);
        if (kind == ListKind::Allgemein) form.Option3.setValue(true);
        if (line >= 0) form.List1.clickLine(line);
    }

    std::vector<std::string> linesOf(const std::vector<PageRecord>& records) {
        std::vector<std::string> lines;
        for (const PageRecord& r : records)
            lines.push_back(std::string(r.text(SaveDate)) + " " + std::string(r.text(SaveTime)) +
                            " " + std::string(r.text(ProcessNumber)));
        return lines;
    }

    // Text1, Text2 and the family fields show the page, or are all empty for none.
    void expectFields(const PageRecord* r) {
        EXPECT_EQ(form.Text1.text(), r ? r->text(PageText) : "");
        EXPECT_EQ(form.Text2.text(), r ? r->text(ProcessNumber) : "");
        for (int n = 10; n <= kItemCount; ++n)
            EXPECT_EQ(form.fieldForItem(n).text(), r ? r->text(n) : "") << n;
    }
};

TEST_F(DeleteMove, DeletingALineKeepsTheOthersInOrder) {
    for (auto [count, marked] : {std::pair{5, 2}, {5, 4}, {5, 0}, {1, 0}}) {
        SCOPED_TRACE(std::to_string(count) + " pages, line " + std::to_string(marked));
        std::vector<PageRecord> pages;
        for (int i = 0; i < count; ++i) pages.push_back(namedPage("P" + std::to_string(i)));
        pages[0].set(Reserved4, "");  // present items 4 and 5 stay present, absent ones absent
        pages[0].set(Reserved5, "fünf");
        writeFile(file(ListKind::Aktuell), bytesOf(pages));
        start(ListKind::Aktuell, marked);
        form.Command2.click();

        const std::vector<PageRecord> left = without(pages, marked);
        EXPECT_EQ(readFile(file(ListKind::Aktuell)), bytesOf(left));
        EXPECT_EQ(form.List1.lines(), linesOf(left));
        EXPECT_EQ(form.List1.listIndex(), count - 2);
        EXPECT_EQ(form.Text5.text(), "Listenzeile " + std::to_string(count == 1 ? 0 : count - 2));
        expectFields(nullptr);
        EXPECT_FALSE(fs::exists(dir / "fam-erg3.txt"));
        EXPECT_FALSE(fs::exists(dir / "holmtex-aktuell.bak"));
    }
}

TEST_F(DeleteMove, WithNothingMarkedOrFromAnotherListNothingChanges) {
    writeFile(file(ListKind::Aktuell), "");
    start(ListKind::Aktuell, -1);
    form.Text2.setText("getippt");
    for (auto op :
         {&Holmtex::Command2_Click, &Holmtex::Command19_Click, &Holmtex::Command22_Click}) {
        (form.*op)();
        EXPECT_EQ(form.Text5.text(), "Keine Zeile markiert.");
    }
    EXPECT_EQ(form.Text2.text(), "getippt");
    // ALLGEMEIN offers only the move into AKTUELL.
    const std::string bytes = bytesOf({namedPage("A"), namedPage("B")});
    writeFile(file(ListKind::Allgemein), bytes);
    start(ListKind::Allgemein, 0);
    form.Command19_Click();
    form.Command22_Click();
    EXPECT_EQ(readFile(file(ListKind::Allgemein)), bytes);
    EXPECT_EQ(readFile(file(ListKind::Aktuell)), "");
    for (const char* name :
         {"fam-erg3.txt", "holmtex-archiv.dat", "holmtex-aktuell.bak", "holmtex-grund.bak"})
        EXPECT_FALSE(fs::exists(dir / name)) << name;
}

TEST_F(DeleteMove, EmptyingAListAsksThenPutsItAsideForTheTemplate) {
    const ListKind kinds[] = {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein};
    const auto contentOf = [](ListKind k) { return bytesOf({namedPage(dataFileName(k))}); };
    for (ListKind k : kinds) {
        writeFile(file(k), contentOf(k));
        writeFile(dir / backupFileName(k), "alte Sicherung");
    }
    writeFile(dir / "holmtex-leer.dat", bytesOf({namedPage("Vorlage")}));
    start(ListKind::Archiv, 0);

    platform.answers = {false};
    form.Command3.click();
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].kind, "yesno");
    EXPECT_EQ(platform.shown[0].title, "  D A T E N V E R L U S T   ");
    EXPECT_EQ(platform.shown[0].text, "Sollen die Daten der Liste wirklich gelöscht werden?");
    EXPECT_EQ(readFile(file(ListKind::Archiv)), contentOf(ListKind::Archiv));
    EXPECT_EQ(form.List1.listCount(), 1);
    EXPECT_EQ(form.Text5.text(), "Listenzeile 0");
    EXPECT_EQ(form.Text2.text(), dataFileName(ListKind::Archiv));

    form.Command3.click();
    EXPECT_EQ(form.Text5.text(),
              "Die Datei wurde gelöscht und unter holmtex-archiv.bak gespeichert");
    EXPECT_EQ(readFile(dir / "holmtex-archiv.bak"), contentOf(ListKind::Archiv));
    EXPECT_EQ(readFile(file(ListKind::Archiv)), bytesOf({namedPage("Vorlage")}));
    EXPECT_FALSE(fs::exists(dir / "holmtex-leer.dat"));
    EXPECT_EQ(form.List1.listCount(), 0);  // emptied, not read again
    EXPECT_EQ(form.List1.listIndex(), -1);
    expectFields(nullptr);
    for (ListKind k : {ListKind::Aktuell, ListKind::Allgemein}) {
        EXPECT_EQ(readFile(file(k)), contentOf(k));
        EXPECT_EQ(readFile(dir / backupFileName(k)), "alte Sicherung");
    }

    // Without a template the list is left without its file, and reads as empty.
    form.Command3.click();
    EXPECT_EQ(form.Text5.text(),
              "Die Datei wurde gelöscht und unter holmtex-archiv.bak gespeichert");
    EXPECT_EQ(readFile(dir / "holmtex-archiv.bak"), bytesOf({namedPage("Vorlage")}));
    EXPECT_FALSE(fs::exists(file(ListKind::Archiv)));
    form.Command3.click();
    EXPECT_EQ(form.Text5.text(), "Die Liste hatte keine Datei; es wurde nichts gesichert.");
    EXPECT_EQ(readFile(dir / "holmtex-archiv.bak"), bytesOf({namedPage("Vorlage")}));
    form.RefreshList();
    EXPECT_EQ(form.List1.listCount(), 0);
}

struct MoveCase {
    const char* name;
    ListKind source, target;
    void (Holmtex::*move)();
    const char* tag;
    int marked;
    bool fieldsShowLastPage;  // else empty: "Zeile in Aktuell" clears after the refresh
};

void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.name; }

class Moves : public DeleteMove, public testing::WithParamInterface<MoveCase> {};

TEST_P(Moves, MoveTheMarkedPageToTheEndOfTheTarget) {
    const MoveCase& c = GetParam();
    const std::vector<PageRecord> source = {namedPage("A"), namedPage("B"), namedPage("C")};
    writeFile(file(c.source), bytesOf(source));
    writeFile(file(c.target), bytesOf({namedPage("Z")}));
    writeFile(dir / backupFileName(c.source), "ältere Sicherung");
    start(c.source, c.marked);
    (form.*c.move)();

    const std::vector<PageRecord> left = without(source, c.marked);
    EXPECT_EQ(readFile(file(c.source)), bytesOf(left));
    EXPECT_EQ(readFile(file(c.target)), bytesOf({namedPage("Z"), tagged(source[c.marked], c.tag)}));
    EXPECT_EQ(readFile(dir / backupFileName(c.source)), bytesOf(source));
    EXPECT_FALSE(fs::exists(dir / backupFileName(c.target)));
    EXPECT_FALSE(fs::exists(dir / "fam-erg3.txt"));
    EXPECT_EQ(form.List1.lines(), linesOf(left));
    EXPECT_EQ(form.List1.listIndex(), 1);
    EXPECT_EQ(form.Text5.text(), "Listenzeile 1");
    EXPECT_EQ(form.selectedList(), c.source);
    expectFields(c.fieldsShowLastPage ? &left.back() : nullptr);

    // The backup is a file of its own: the list going on does not change it.
    form.Command1_Click();
    EXPECT_EQ(readFile(dir / backupFileName(c.source)), bytesOf(source));
}

INSTANTIATE_TEST_SUITE_P(
    EachMove, Moves,
    testing::Values(MoveCase{"InsArchiv", ListKind::Aktuell, ListKind::Archiv,
                             &Holmtex::Command19_Click, "arch", 1, true},
                    MoveCase{"AktuellInAllgemein", ListKind::Aktuell, ListKind::Allgemein,
                             &Holmtex::Command22_Click, "grun", 1, true},
                    MoveCase{"ArchivInAktuell", ListKind::Archiv, ListKind::Aktuell,
                             &Holmtex::Command21_Click, "aktu", 0, false},
                    MoveCase{"AllgemeinInAktuell", ListKind::Allgemein, ListKind::Aktuell,
                             &Holmtex::Command21_Click, "aktu", 2, false},
                    MoveCase{"ArchivInAllgemein", ListKind::Archiv, ListKind::Allgemein,
                             &Holmtex::Command22_Click, "grun", 0, true}),
    [](const testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

TEST_F(DeleteMove, TheOnlyPageMovesWholeIntoANewTargetFile) {
    PageRecord only = namedPage("einzig");
    only.set(Reserved5, "");
    only.set(AddMarker, "add");
    for (int n = 10; n <= kItemCount; ++n) only.set(n, "f" + std::to_string(n) + ", 'x'");
    writeFile(file(ListKind::Archiv), recordBytes(only));
    start(ListKind::Archiv, 0);
    form.Command22.click();

    EXPECT_EQ(readFile(file(ListKind::Archiv)), "");
    EXPECT_TRUE(fs::exists(file(ListKind::Archiv)));
    EXPECT_EQ(readFile(file(ListKind::Allgemein)), recordBytes(tagged(only, "grun")));
    EXPECT_EQ(form.List1.listCount(), 0);
    EXPECT_EQ(form.List1.listIndex(), -1);
}

TEST_F(DeleteMove, AListThatCannotBeCopiedSafelyIsLeftAlone) {
    const std::string whole = bytesOf({namedPage("A"), namedPage("B")});
    const std::string cut =
        whole + recordBytes(namedPage("C")).substr(0, 60);  // ends inside a quote
    const std::string damaged = " ist am Ende beschädigt; reparatur! hilft.";
    const std::string folder = ": der Name gehört einem Ordner (fam-erg3.txt).";
    struct Case {
        ListKind source;
        std::string sourceBytes, targetBytes;
        bool workFolder;
        void (Holmtex::*op)();
        std::string message;
    };
    const Case cases[] = {
        {ListKind::Aktuell, cut, whole, false, &Holmtex::Command2_Click,
         "Die Zeile wurde nicht gelöscht: holmtex-aktuell.dat" + damaged},
        {ListKind::Archiv, cut, whole, false, &Holmtex::Command21_Click,
         "Die Seite wurde nicht verschoben: holmtex-archiv.dat" + damaged},
        {ListKind::Archiv, whole, cut, false, &Holmtex::Command21_Click,
         "Die Seite wurde nicht verschoben: holmtex-aktuell.dat" + damaged},
        {ListKind::Archiv, whole, whole, true, &Holmtex::Command2_Click,
         "Die Zeile wurde nicht gelöscht" + folder},
        {ListKind::Archiv, whole, whole, true, &Holmtex::Command21_Click,
         "Die Seite wurde nicht verschoben" + folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        test::TempDir here;
        ScriptedPlatform p;
        Holmtex w{p, here.path()};
        const fs::path source = here / dataFileName(c.source);
        const fs::path target = here / "holmtex-aktuell.dat";  // the target of the move
        writeFile(source, c.sourceBytes);
        if (c.source != ListKind::Aktuell) writeFile(target, c.targetBytes);
        if (c.workFolder) {
            fs::create_directory(here / "fam-erg3.txt");
            writeFile(here / "fam-erg3.txt" / "darin", "bleibt");
        }
        w.Form_Load();
        if (c.source == ListKind::Archiv) w.Option2.setValue(true);
        ASSERT_EQ(w.List1.listCount(), 2);  // the whole records before the damage still list
        w.List1.clickLine(0);
        (w.*c.op)();
        EXPECT_EQ(w.Text5.text(), c.message);
        EXPECT_EQ(readFile(source), c.sourceBytes);
        if (c.source != ListKind::Aktuell) {
            EXPECT_EQ(readFile(target), c.targetBytes);
        }
        EXPECT_EQ(fs::exists(here / "fam-erg3.txt"), c.workFolder);
        if (c.workFolder) {
            EXPECT_EQ(readFile(here / "fam-erg3.txt" / "darin"), "bleibt");
        }
        EXPECT_FALSE(fs::exists(here / backupFileName(c.source)));
        EXPECT_EQ(w.Text2.text(), "A");  // the page stays open
    }
}

TEST_F(DeleteMove, ALeftoverWorkFileIsReplacedNotWrittenThroughAndModesStay) {
    // A work file left by a crash may be a link to a list; writing through it would
    // change that list.
    for (bool symbolic : {false, true}) {
        writeFile(file(ListKind::Aktuell),
                  bytesOf({namedPage("A"), namedPage("B"), namedPage("C")}));
        writeFile(file(ListKind::Archiv), bytesOf({namedPage("Z")}));
        ASSERT_EQ(0, ::chmod(file(ListKind::Aktuell).c_str(), 0640));
        fs::remove(dir / "fam-erg3.txt");
        if (symbolic)
            fs::create_symlink(file(ListKind::Archiv), dir / "fam-erg3.txt");
        else
            fs::create_hard_link(file(ListKind::Archiv), dir / "fam-erg3.txt");
        start(ListKind::Aktuell, 0);
        form.Command2_Click();
        EXPECT_EQ(readFile(file(ListKind::Aktuell)), bytesOf({namedPage("B"), namedPage("C")}));
        EXPECT_EQ(readFile(file(ListKind::Archiv)), bytesOf({namedPage("Z")}));
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "fam-erg3.txt")));
        struct stat st {};
        ASSERT_EQ(0, ::stat(file(ListKind::Aktuell).c_str(), &st));
        EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
}

TEST_F(DeleteMove, ATargetWithoutFinalLineEndStillGetsAWholeRecord) {
    writeFile(file(ListKind::Aktuell), recordBytes(namedPage("A")));
    const std::string z = recordBytes(namedPage("Z"));
    writeFile(file(ListKind::Archiv), z.substr(0, z.size() - 2));
    start(ListKind::Aktuell, 0);
    form.Command19_Click();
    form.Option2.setValue(true);
    EXPECT_EQ(form.List1.listCount(), 2);
    EXPECT_EQ(form.CurrentRecord, tagged(namedPage("A"), "arch"));
}

// Another program puts a copy of the list in its place after a line was opened. With a page
// more in front, the marked line holds another page: nothing is deleted, moved or exported,
// and the list is read anew. With a page more at the end, the line still holds the opened
// page, and the operation goes through.
TEST_F(DeleteMove, AnOperationOnTheMarkedLineActsOnlyOnThePageThatWasOpened) {
    std::vector<PageRecord> pages;
    for (int n = 0; n < 5; ++n) pages.push_back(namedPage(std::to_string(n), n));
    const std::string why =
        "holmtex-aktuell.dat wurde seit dem Öffnen geändert; Liste neu gelesen.";
    const std::string changed = "Die Datei >holmtex-aktuell.dat< wurde seit dem Öffnen geändert";
    const struct {
        const char* name;
        std::function<void()> run;
        std::string refused;
    } ops[] = {
        {"delete", [&] { form.Command2_Click(); }, "Die Zeile wurde nicht gelöscht: " + why},
        {"move", [&] { form.Command19_Click(); }, "Die Seite wurde nicht verschoben: " + why},
        {"export", [&] { form.Combo1.setText("export!"); },
         changed + ", nichts gespeichert. Liste neu gelesen."},
        {"copy", [&] { form.Combo1.setText("kopie!"); },
         changed + ", nichts kopiert. Liste neu gelesen."},
    };
    const fs::path transfer = dir / "holmtex-trans.txt";
    for (const auto& op : ops) {
        for (bool inFront : {true, false}) {
            SCOPED_TRACE(std::string(op.name) + (inFront ? ", a page in front" : ", one behind"));
            fs::remove(file(ListKind::Archiv));
            fs::remove(transfer);
            writeFile(file(ListKind::Aktuell), bytesOf(pages));
            start(ListKind::Aktuell, 3);
            std::vector<PageRecord> now = pages;
            now.insert(inFront ? now.begin() : now.end(), namedPage("neu", 9));
            writeFile(dir / "kopie", bytesOf(now));
            fs::rename(dir / "kopie", file(ListKind::Aktuell));
            op.run();
            const bool untouched = readFile(file(ListKind::Aktuell)) == bytesOf(now) &&
                                   !fs::exists(file(ListKind::Archiv)) && !fs::exists(transfer);
            EXPECT_EQ(untouched, inFront);
            if (inFront) {
                EXPECT_EQ(form.Text5.text(), op.refused);
                EXPECT_EQ(form.List1.lines(), linesOf(now));
            }
        }
    }
}

// ersetzen! refuses where the line may not hold the page opened, says why, and leaves the
// list and the page typed on screen as they are.
TEST_F(DeleteMove, ErsetzenRefusesWhereTheLineMayNotHoldThePageOpened) {
    const std::string a = recordBytes(namedPage("A"));
    const struct {
        const char* name;
        std::string list, appended;  // `appended` by another program after the line was opened
        const char* said;
    } cases[] = {
        {"no line opened since the list was shown", "", "",
         "Nichts ersetzt: Es wurde keine Listenzeile geöffnet."},
        {"the list changed since the line was opened", a, recordBytes(namedPage("B")),
         "Die Seite wurde nicht ersetzt: holmtex-aktuell.dat wurde seit dem Öffnen geändert."},
        {"the list's end is damaged", a + "\"->2\",\"06.12", "",
         "Die Seite wurde nicht ersetzt: holmtex-aktuell.dat ist am Ende beschädigt; reparatur! "
         "hilft."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(file(ListKind::Aktuell), c.list);
        start(ListKind::Aktuell, 0);
        if (!c.appended.empty()) writeFile(file(ListKind::Aktuell), c.list + c.appended);
        form.v1t.setText("Vater neu");
        form.Combo1.setText("ersetzen!");
        EXPECT_EQ(form.Text5.text(), c.said);
        EXPECT_EQ(readFile(file(ListKind::Aktuell)), c.list + c.appended);
        EXPECT_EQ(form.v1t.text(), "Vater neu");
    }
}

// The fields emptied after a delete show no page: a correction typed there takes no page's
// place, least of all the last line's, which the list opened when it was shown again.
TEST_F(DeleteMove, ErsetzenAfterADeleteReplacesNothing) {
    writeFile(file(ListKind::Aktuell), bytesOf({namedPage("1", 1), namedPage("2", 2)}));
    start(ListKind::Aktuell, 0);
    form.Command2_Click();
    const std::string left = readFile(file(ListKind::Aktuell));
    form.v1t.setText("Vater neu");
    form.Combo1.setText("ersetzen!");
    EXPECT_EQ(form.Text5.text(), "Nichts ersetzt: Es wurde keine Listenzeile geöffnet.");
    EXPECT_EQ(readFile(file(ListKind::Aktuell)), left);
}

// A move the disk stopped halfway is finished by the next operation on its target; a move
// of the marked line then stops, as the line may now be another page.
TEST_F(DeleteMove, AMoveFinishedByTheNextOneLeavesTheMarkedLineAlone) {
    const auto one = namedPage("1", 1), two = namedPage("2", 2), three = namedPage("3", 3);
    writeFile(file(ListKind::Aktuell), bytesOf({one, two, three}));
    writeFile(file(ListKind::Archiv), "");
    start(ListKind::Aktuell, 1);  // page 2, and then line 1 is page 3
    // What the halted move of page 2 left: its rest sealed, the page appended, the step due.
    FileReplacement rest(file(ListKind::Aktuell), dir / "fam-erg3.txt");
    ASSERT_TRUE(rest.begin().ok() && rest.write(bytesOf({one, three})).ok() && rest.seal().ok());
    rest.keep();
    const AfterAppend step{redo::Step::Replace, file(ListKind::Aktuell), rest.workPath(),
                           dir / "holmtex-aktuell.bak"};
    ASSERT_TRUE(
        appendRecords(file(ListKind::Archiv), bytesOf({tagged(two, "arch")}), "2612061403", step)
            .ok());
    form.Command19_Click();
    EXPECT_EQ(form.Text5.text(),
              "Die markierte Zeile steht nicht mehr in holmtex-aktuell.dat; es wurde nichts "
              "geändert.");
    EXPECT_EQ(readFile(file(ListKind::Aktuell)), bytesOf({one, three}));
    EXPECT_EQ(readFile(file(ListKind::Archiv)), bytesOf({tagged(two, "arch")}));
    EXPECT_EQ(form.List1.listCount(), 2);
}

}  // namespace
}  // namespace holmtex
