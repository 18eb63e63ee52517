// zurück! and wieder! through the window: every change of a list taken back and redone, byte
// for byte; a change made behind the program's back refuses; the page on screen survives a
// repair; and holmtex --verlauf lists what happened (one golden file).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/history_command.h"
#include "record/data_files.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

namespace fs = std::filesystem;
using test::namedPages;
using test::readFile;
using test::writeFile;

// The files a step restores: the lists, the transfer file and the empty-list template.
using Files = std::map<std::string, std::optional<std::string>>;

Files filesIn(const fs::path& dir) {
    Files files;
    for (const char* name :
         {dataFileName(ListKind::Aktuell), dataFileName(ListKind::Archiv),
          dataFileName(ListKind::Allgemein), transferFileName(), emptyListTemplateName()})
        files[name] = test::contentOf(dir / name);
    return files;
}

Files backupsIn(const fs::path& dir) {
    Files files;
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        files[backupFileName(kind)] = test::contentOf(dir / backupFileName(kind));
    return files;
}

void fill(const fs::path& dir, bool damaged) {
    std::string aktuell = namedPages("a", 4);
    if (damaged) aktuell += namedPages("halb", 1).substr(0, 90);
    writeFile(dir / dataFileName(ListKind::Aktuell), aktuell);
    writeFile(dir / dataFileName(ListKind::Archiv), namedPages("r", 2));
    writeFile(dir / dataFileName(ListKind::Allgemein), namedPages("g", 1));
    writeFile(dir / transferFileName(), namedPages("t", 2));
    writeFile(dir / emptyListTemplateName(), "");
    writeFile(dir / "familien.ged",
              "0 HEAD\n0 @I1@ INDI\n1 NAME Karl /Berg/\n1 FAMS @F1@\n0 @F1@ FAM\n1 HUSB @I1@\n"
              "0 TRLR\n");
}

struct Change {
    const char* name;
    OptionButton Holmtex::*list;
    int line;
    std::function<void(Holmtex&)> make;
    const char* takenBack;  // what Text5 says after zurück!
    bool damaged = false;
};

void command(Holmtex& form, const char* word) { form.Combo1.setText(word); }

const Change kChanges[] = {
    {"save", &Holmtex::Option1, -1,
     [](Holmtex& f) {
         f.Text1.setText("Neue Seite");
         f.Command1.click();
     },
     "Zurückgenommen: Seite in AKTUELL gespeichert (14:03)"},
    {"delete", &Holmtex::Option1, 2, [](Holmtex& f) { f.Command2.click(); },
     "Zurückgenommen: Zeile 2 aus AKTUELL gelöscht (14:03)"},
    {"alle löschen", &Holmtex::Option1, -1, [](Holmtex& f) { f.Command3.click(); },
     "Zurückgenommen: alle Zeilen aus AKTUELL gelöscht (14:03)"},
    {"ins Archiv", &Holmtex::Option1, 1, [](Holmtex& f) { f.Command19.click(); },
     "Zurückgenommen: Zeile 1 von AKTUELL nach ARCHIV verschoben (14:03)"},
    {"in Aktuell", &Holmtex::Option2, 0, [](Holmtex& f) { f.Command21.click(); },
     "Zurückgenommen: Zeile 0 von ARCHIV nach AKTUELL verschoben (14:03)"},
    {"in Allgemein", &Holmtex::Option2, 1, [](Holmtex& f) { f.Command22.click(); },
     "Zurückgenommen: Zeile 1 von ARCHIV nach ALLGEMEIN verschoben (14:03)"},
    {"ersetzen", &Holmtex::Option1, 1,
     [](Holmtex& f) {
         f.Text1.setText("Berichtigt");
         command(f, "ersetzen!");
     },
     "Zurückgenommen: Zeile 1 in AKTUELL ersetzt (14:03)"},
    {"import", &Holmtex::Option3, -1, [](Holmtex& f) { command(f, "import!"); },
     "Zurückgenommen: Seiten nach ALLGEMEIN importiert (14:03)"},
    {"gedcom-import", &Holmtex::Option2, -1, [](Holmtex& f) { command(f, "gedcom-import!"); },
     "Zurückgenommen: GEDCOM-Seiten nach ARCHIV importiert (14:03)"},
    {"reparatur", &Holmtex::Option1, -1, [](Holmtex& f) { command(f, "reparatur!"); },
     "Zurückgenommen: Liste AKTUELL repariert (14:03)", true},
};

TEST(HistorySteps, EveryChangeOfAListIsTakenBackAndRedoneByteForByte) {
    for (const Change& c : kChanges) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        fill(dir.path(), c.damaged);
        ScriptedPlatform platform;
        platform.fileToOpen = dir.path() / "familien.ged";
        Holmtex form(platform, dir.path());
        form.Form_Load();
        (form.*c.list).setValue(true);
        if (c.line >= 0) form.List1.clickLine(c.line);
        const Files before = filesIn(dir.path());
        c.make(form);
        const Files after = filesIn(dir.path()), backups = backupsIn(dir.path());
        ASSERT_NE(before, after);

        // Back and forth twice; the .bak files stay as the change left them.
        for (int round = 0; round < 2; ++round) {
            command(form, "zurück!");
            EXPECT_EQ(filesIn(dir.path()), before);
            EXPECT_EQ(form.Text5.text(), c.takenBack);
            command(form, "wieder!");
            EXPECT_EQ(filesIn(dir.path()), after);
            EXPECT_EQ(form.Text5.text(), "Wiederholt: " + std::string(c.takenBack).substr(17));
            EXPECT_EQ(backupsIn(dir.path()), backups);
        }
        EXPECT_EQ(form.Combo1.text(), "");
    }
}

class HistoryStepsForm : public test::FormTest {
protected:
    fs::path aktuell() const { return dir / dataFileName(ListKind::Aktuell); }
};

// A list changed behind the program's back is never overwritten; after a change of its own
// nothing is left to redo.
TEST_F(HistoryStepsForm, AChangeInBetweenRefusesAndANewChangeEndsRedoing) {
    writeFile(aktuell(), namedPages("a", 3));
    form.Form_Load();
    form.Combo1.setText("zurück!");
    EXPECT_EQ(form.Text5.text(), "Nichts zurückzunehmen.");
    form.List1.clickLine(0);
    form.Command2.click();
    const std::string deleted = readFile(aktuell()) + namedPages("fremd", 1);
    writeFile(aktuell(), deleted);
    form.Combo1.setText("zurück!");
    EXPECT_EQ(form.Text5.text(), "Nichts zurückgenommen: AKTUELL wurde seit 14:03 geändert.");
    EXPECT_EQ(readFile(aktuell()), deleted);

    writeFile(aktuell(), namedPages("a", 3));
    form.RefreshList();
    form.List1.clickLine(1);
    form.Command2.click();
    form.Combo1.setText("zurück!");
    form.Command1.click();  // a new change
    form.Combo1.setText("wieder!");
    EXPECT_EQ(form.Text5.text(), "Nichts zu wiederholen.");
}

// The page typed on screen stays through a repair and a refused delete, and is saved after.
TEST_F(HistoryStepsForm, RepairAndARefusedDeleteKeepTheTypedPage) {
    writeFile(aktuell(), namedPages("a", 2) + namedPages("halb", 1).substr(0, 90));
    form.Form_Load();
    form.List1.clickLine(0);
    test::typeInto({{form.Text1, "Getippt"}, {form.Text2, "4711"}, {form.v1t, "Vater"}});
    // Another program puts a line in front: the marked line holds another page now.
    writeFile(aktuell(), namedPages("vorne", 1) + readFile(aktuell()));
    form.Command2.click();
    form.Combo1.setText("reparatur!");
    EXPECT_EQ(form.Text1.text(), "Getippt");
    EXPECT_EQ(form.Text2.text(), "4711");
    EXPECT_EQ(form.v1t.text(), "Vater");
    EXPECT_EQ(form.List1.listCount(), 3);
    form.Command1.click();
    const std::vector<PageRecord> saved = test::readRecords(aktuell());
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved.back().text(PageText), "Getippt");
    EXPECT_EQ(saved.back().text(fatherItem(1)), "Vater");
}

// What holmtex --verlauf prints after a delete, a move, a step back and a step redone.
TEST_F(HistoryStepsForm, TheListingOfTheHistory) {
    writeFile(aktuell(), namedPages("a", 3));
    form.Form_Load();
    form.List1.clickLine(0);
    form.Command2.click();
    form.List1.clickLine(1);
    form.Command19.click();
    form.Combo1.setText("zurück!");
    platform.clock.minute = 10;
    form.Combo1.setText("wieder!");
    const HistoryPrint print = printHistory(dir.path());
    EXPECT_EQ(print.status, 0);
    EXPECT_EQ(print.err, "");
    std::string listing = print.out;
    listing.replace(listing.find(dir.path().string()), dir.path().string().size(), "ORDNER");
    EXPECT_EQ(listing, test::golden("golden/holmtex-verlauf.txt", listing));
}

}  // namespace
}  // namespace holmtex
