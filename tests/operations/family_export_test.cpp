// The command words pdf!, drucken! and gedcom!: what goes on the sheet, the file names,
// and the messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "export/family_sheet.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::makePage;
using test::readFile;
using test::writeFile;

const char* const kSheetName = "Familienblatt_4711_2612061403.pdf";

class FamilyExport : public test::FormTest {
protected:
    // Opens the list at start-up, as the window does: its last page is on screen.
    void load(const std::vector<PageRecord>& pages) {
        writeFile(dir / "holmtex-aktuell.dat", test::bytesOf(pages));
        form.Form_Load();
    }
    void type(const std::string& word) {
        for (std::size_t n = 1; n <= word.size(); ++n) form.Combo1.setText(word.substr(0, n));
    }
    const FamilySheet& lastPdfSheet() const { return platform.pdfSheets.back(); }
    static std::string rows(const SheetBlock& block) {
        std::string out;
        for (const auto& row : block.rows) out += row.label + "=" + row.value + ";";
        return out;
    }
};

TEST_F(FamilyExport, PdfWritesTheSheetOfThePageOnScreenUnderItsName) {
    load({makePage("1", 0), makePage("4711", 2,
                                     {{fatherItem(1), "Johann Müller"},
                                      {dateItem(1), "12.03.1890"},
                                      {childItem(2, 1), "Marie"},
                                      {remarkItem(1), "erste\r\nzweite"},
                                      {PageText, "Text"}})});
    form.v1t.setText("Johann Müller (geändert)");  // typed, not saved
    form.m1t.setText("Anna");
    type("pdf!");

    EXPECT_EQ(readFile(dir / kSheetName), platform.pdfBytes);
    EXPECT_EQ(form.Text5.text(),
              std::string("Familienblatt im Programmordner als ") + kSheetName + " gespeichert");
    EXPECT_EQ(form.Combo1.text(), "");
    ASSERT_EQ(platform.pdfSheets.size(), 1u);
    const FamilySheet& sheet = lastPdfSheet();
    EXPECT_EQ(sheet.title, "Familienblatt");
    EXPECT_EQ(sheet.facts, (std::vector<std::string>{
                               "Vorgang Nr. 4711",
                               "Liste AKTUELL, Zeile 1, gespeichert am 06.12.2026 um 14:02:00",
                               "Seither geändert und nicht gespeichert"}));
    ASSERT_EQ(sheet.blocks.size(), 1u);  // families 2 to 4 are empty
    EXPECT_EQ(sheet.blocks[0].heading, "Familie 1");
    EXPECT_EQ(rows(sheet.blocks[0]),
              "Vater=Johann Müller (geändert);Mutter=Anna;Heirat=12.03.1890;Kind 2=Marie;"
              "Bemerkung=erste\nzweite;");
    EXPECT_EQ(sheet.textHeading, "Text der Merkseite");
    EXPECT_EQ(sheet.text, "Text");
    EXPECT_EQ(sheet.documentTitle, "Familienblatt 4711");
}

TEST_F(FamilyExport, AnOpenedPageUnchangedHasNoChangeNote) {
    load({makePage("4711", 0, {{fatherItem(1), "Otto"}})});
    form.Combo1.setText("pdf!");
    EXPECT_EQ(
        lastPdfSheet().facts,
        (std::vector<std::string>{
            "Vorgang Nr. 4711", "Liste AKTUELL, Zeile 0, gespeichert am 06.12.2026 um 14:00:00"}));
}

TEST_F(FamilyExport, ListAndSaveTimeOnlyForAPageOpenedFromAList) {
    load(
        {makePage("1", 0, {{fatherItem(1), "Otto"}}), makePage("2", 1, {{fatherItem(1), "Emil"}})});
    auto origin = [&] {
        form.PrintFamilySheet();
        const auto& facts = platform.printedSheets.back().facts;
        for (const auto& fact : facts)
            if (fact.rfind("Liste ", 0) == 0) return fact;
        return std::string("-");
    };
    EXPECT_EQ(origin(), "Liste AKTUELL, Zeile 1, gespeichert am 06.12.2026 um 14:01:00");
    form.List1.setListIndex(0);
    EXPECT_EQ(origin(), "Liste AKTUELL, Zeile 0, gespeichert am 06.12.2026 um 14:00:00");

    // "Felder löschen" starts a new page, though the line stays selected; so does a new
    // process number.
    form.Command6_Click();
    EXPECT_EQ(origin(), "-");
    form.v1t.setText("neu");
    EXPECT_EQ(origin(), "-");
    form.List1.setListIndex(1);
    form.Text2.setText("2b");
    EXPECT_EQ(origin(), "-");
    form.List1.setListIndex(0);

    // A search leaves no line selected and the last page of the list in the buffer.
    form.List1.setListIndex(1);
    form.Combo1.setText("Otto");
    form.Command8_Click();
    EXPECT_EQ(origin(), "-");
    form.List1.setListIndex(0);  // a line of the search result opens that page
    EXPECT_EQ(origin(), "Liste AKTUELL, Zeile 0, gespeichert am 06.12.2026 um 14:00:00");

    // The list file changed under the window: the page on that line is another one.
    writeFile(dir / "holmtex-aktuell.dat",
              test::bytesOf({makePage("9", 9, {{fatherItem(1), "X"}})}));
    EXPECT_EQ(origin(), "-");
}

TEST_F(FamilyExport, AddStateHeadsTheParentsBlocksAndShowsTheLink) {
    load({makePage(
        "5", 0, {{fatherItem(1), "Johann"}, {motherItem(1), "Anna"}, {fatherItem(4), "Peter"}})});
    form.Command24_Click(0);  // "+": father 1 into child 1 of family 2, mother 1 into family 4
    form.v2t.setText("Georg");
    form.Combo1.setText("pdf!");
    const FamilySheet& sheet = lastPdfSheet();
    ASSERT_EQ(sheet.blocks.size(), 3u);
    EXPECT_EQ(sheet.blocks[0].heading, "Familie 1");
    EXPECT_EQ(sheet.blocks[0].link, "");
    EXPECT_EQ(sheet.blocks[1].heading, "Eltern des Vaters (Familie 2)");
    EXPECT_EQ(sheet.blocks[1].link, "Kind 1 dieser Familie ist der Vater der Familie 1.");
    EXPECT_EQ(rows(sheet.blocks[1]), "Vater=Georg;Kind 1=Johann;");
    EXPECT_EQ(sheet.blocks[2].heading, "Eltern der Mutter (Familie 4)");
    EXPECT_EQ(sheet.blocks[2].link, "Kind 1 dieser Familie ist die Mutter der Familie 1.");
    EXPECT_EQ(rows(sheet.blocks[2]), "Kind 1=Anna;");  // "+" put Peter aside
}

TEST_F(FamilyExport, PdfNamesAndTheirFailures) {
    load({makePage("4711", 0, {{fatherItem(1), "Otto"}})});
    writeFile(dir / kSheetName, "schon da");
    form.Combo1.setText("pdf!");
    EXPECT_EQ(form.Text5.text(),
              std::string("Kein Familienblatt gespeichert: ") + kSheetName + " gibt es schon.");
    EXPECT_EQ(readFile(dir / kSheetName), "schon da");

    form.Text2.setText("");
    form.Combo1.setText("pdf!");
    EXPECT_EQ(readFile(dir / "Familienblatt__2612061403.pdf"), platform.pdfBytes);

    for (const char* number : {"47/11", "a:b", "x\ty", "..\\x", "\"q\""}) {
        form.Text2.setText(number);
        const std::size_t asked = platform.pdfSheets.size();
        form.Combo1.setText("pdf!");
        EXPECT_EQ(form.Text5.text(),
                  "Kein Familienblatt: Die Vorgangsnummer hat ein Zeichen, das in keinem "
                  "Dateinamen stehen darf.")
            << number;
        EXPECT_EQ(platform.pdfSheets.size(), asked) << number;
        EXPECT_EQ(form.Combo1.text(), "");
    }

    form.Text2.setText("neu");
    platform.pdfSucceeds = false;
    form.Combo1.setText("pdf!");
    EXPECT_EQ(form.Text5.text(), "Das Familienblatt konnte nicht erstellt werden.");

    form.Text2.setText(std::string(300, 'n'));
    platform.pdfSucceeds = true;
    form.Combo1.setText("pdf!");
    EXPECT_EQ(form.Text5.text(), "Kein Familienblatt gespeichert: der Name ist zu lang.");

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{kSheetName, "Familienblatt__2612061403.pdf",
                                               "holmtex-aktuell.dat"}));
}

TEST_F(FamilyExport, PrintReportsWhatBecameOfIt) {
    load({makePage("1", 0, {{fatherItem(1), "Otto"}})});
    const std::filesystem::path proposal = dir / "Familienblatt_1_2612061403.pdf";
    const struct {
        PrintOutcome outcome;
        std::filesystem::path file;  // the user's choice; empty: the proposal
        const char* message;
    } cases[] = {
        {PrintOutcome::Printed, {}, "Das Familienblatt wurde an den Drucker gegeben."},
        {PrintOutcome::PrintedToFile,
         {},
         "Familienblatt im Programmordner als Familienblatt_1_2612061403.pdf gespeichert"},
        {PrintOutcome::PrintedToFile, "/home/jo/blatt.pdf",
         "Familienblatt als PDF-Datei gespeichert: /home/jo/blatt.pdf"},
        {PrintOutcome::NotPrintedOver, dir / "holmtex-aktuell.dat",
         "Nichts gedruckt: holmtex-aktuell.dat ist keine PDF-Datei und bleibt, wie sie ist."},
        {PrintOutcome::Cancelled, {}, "Drucken abgebrochen, nichts gedruckt."},
        {PrintOutcome::Failed, {}, "Das Familienblatt konnte nicht gedruckt werden."}};
    for (const auto& c : cases) {
        platform.printOutcome = c.outcome;
        platform.printFile = c.file;
        type("drucken!");
        EXPECT_EQ(form.Text5.text(), c.message);
        EXPECT_EQ(form.Combo1.text(), "");
    }
    EXPECT_EQ(platform.printedSheets.size(), std::size(cases));
    for (const auto& offered : platform.printProposals) EXPECT_EQ(offered, proposal);
    EXPECT_TRUE(platform.pdfSheets.empty());
}

TEST_F(FamilyExport, OnlyTheExactWordsRun) {
    load({makePage("1", 0, {{fatherItem(1), "Otto"}})});
    for (const char* text : {"pdf", "PDF!", " pdf!", "drucken", "Drucken!", "gedcom", "gedcom! "}) {
        form.Combo1.setText("");
        form.Combo1.setText(text);
        EXPECT_EQ(form.Combo1.text(), text);
    }
    EXPECT_TRUE(platform.pdfSheets.empty());
    EXPECT_TRUE(platform.printedSheets.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "holmtex-aktuell.ged"));
}

TEST_F(FamilyExport, GedcomWritesTheSelectedList) {
    load({makePage("1", 0, {{fatherItem(1), "Otto Kahl"}}), makePage("2", 1)});
    type("gedcom!");
    EXPECT_EQ(form.Text5.text(), "2 Seiten als >holmtex-aktuell.ged< exportiert");
    EXPECT_EQ(form.Combo1.text(), "");
    const std::string ged = readFile(dir / "holmtex-aktuell.ged");
    EXPECT_TRUE(ged.starts_with("0 HEAD\n1 SOUR HOLMTEX\n2 VERS 2.45\n"));
    EXPECT_NE(ged.find("1 NAME Otto /Kahl/\n"), std::string::npos);
    EXPECT_NE(ged.find("1 FILE holmtex-aktuell.ged\n"), std::string::npos);

    writeFile(dir / "holmtex-archiv.dat", test::bytesOf({makePage("3", 0)}));
    form.Option2.setValue(true);
    form.Combo1.setText("gedcom!");
    EXPECT_EQ(form.Text5.text(), "1 Seite als >holmtex-archiv.ged< exportiert");

    form.Option3.setValue(true);  // no holmtex-grund.dat
    form.Combo1.setText("gedcom!");
    EXPECT_EQ(form.Text5.text(), "Die Datei >holmtex-grund.dat< fehlt, nichts exportiert.");
    EXPECT_FALSE(std::filesystem::exists(dir / "holmtex-grund.ged"));
}

TEST_F(FamilyExport, GedcomOfADamagedListSaysSo) {
    std::string bytes = test::bytesOf({makePage("1", 0), makePage("2", 1), makePage("3", 2)});
    writeFile(dir / "holmtex-aktuell.dat", bytes + "\"->2\",\"06.12.2026\",\"14:09");
    form.Form_Load();
    form.Combo1.setText("gedcom!");
    EXPECT_EQ(form.Text5.text(),
              "3 Seiten als >holmtex-aktuell.ged< exportiert; danach ist die Liste beschädigt.");
    EXPECT_TRUE(readFile(dir / "holmtex-aktuell.ged").ends_with("0 TRLR\n"));

    writeFile(dir / "holmtex-aktuell.dat", "\"->2\",\"06.12");
    form.Combo1.setText("gedcom!");
    EXPECT_EQ(form.Text5.text(),
              "Die Datei >holmtex-aktuell.dat< ist beschädigt, nichts exportiert.");
}

TEST_F(FamilyExport, GedcomThatCannotBeWrittenKeepsTheOldFile) {
    load({makePage("1", 0)});
    writeFile(dir / "holmtex-aktuell.ged", "alt");
    std::filesystem::create_directory(dir / "holmtex-aktuell.ged.neu");
    writeFile(dir / "holmtex-aktuell.ged.neu" / "x", "");
    form.Combo1.setText("gedcom!");
    EXPECT_EQ(form.Text5.text().rfind("Nichts exportiert: >holmtex-aktuell.ged< kann nicht "
                                      "geschrieben werden: ",
                                      0),
              0u)
        << form.Text5.text();
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.ged"), "alt");
}

}  // namespace
}  // namespace holmtex
