// The search, the command box with its help text, and the data check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "operations/command_words.h"
#include "operations/messages.h"
#include "operations/random_lists.h"
#include "record/codepage.h"
#include "record/list_line.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::makePage;
using test::readFile;
using test::writeFile;

const char* const kOk = "Prüfung erfolgt, Daten sind in Ordnung";
const char* const kBroken = "Prüfung erfolgt, Daten gestört";

class SearchCommands : public test::FormTest {
protected:
    std::filesystem::path aktuell() const { return dir / "holmtex-aktuell.dat"; }
    bool exists(const char* name) const { return std::filesystem::exists(dir / name); }
    // Sets the box as a user types, one letter after the other.
    void type(const std::string& word) {
        for (std::size_t n = 1; n <= word.size(); ++n) form.Combo1.setText(word.substr(0, n));
    }
};

TEST_F(SearchCommands, SearchMarksEveryPageInFileOrder) {
    std::vector<PageRecord> pages = {
        makePage("1", 0, {{PageText, "Großvater Ärger, Akte_[12]"}}),
        makePage("2", 1, {{childItem(1, 1), "Hans"}, {childItem(2, 1), "Peter"}}),
        makePage("3", 2, {{PageText, "im Text ->4"}}),
        makePage("4", 3, {{fatherItem(1), "ZACHARIAS"}, {fatherItem(3), "MÜLLER"}}),
        PageRecord(),  // nothing but absent items and empty remarks
    };
    pages[1].set(ViewMarker, "->4");
    writeFile(aktuell(), test::bytesOf(pages));
    form.Form_Load();

    const struct {
        const char* text;
        const char* marks;  // per page: '>' hit, '.' miss
    } cases[] = {
        {"großvater", ">...."},      {"ÄRGER", ">...."}, {"müller", "...>."},  {"Müller", "...>."},
        {"sPeT", ".>..."},           {"->4", "..>.."},   {"", ">>>>."},        {"14:0", ">>>>."},
        {"aktu2hanspeter", ".>..."}, {"fehlt", "....."}, {"AKTE_[1", ">...."}, {"akte_{1", "....."},
        {"zacharias", "...>."},
    };
    for (const auto& c : cases) {
        form.List1.setListIndex(1);
        form.Text5.setText("alt");
        form.Combo1.setText(c.text);
        form.Command8_Click();
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < pages.size(); ++i)
            expected.push_back((c.marks[i] == '>' ? ">" : "  ") + listLine(pages[i]));
        EXPECT_EQ(form.List1.lines(), expected) << c.text;
        EXPECT_EQ(form.List1.listIndex(), -1) << c.text;
        EXPECT_EQ(form.outcome().operation, Operation::Search);
        EXPECT_EQ(form.outcome().count, std::count(c.marks, c.marks + pages.size(), '>'));
        EXPECT_EQ(form.Combo1.text(), c.text);
        EXPECT_EQ(form.CurrentRecord, pages.back()) << c.text;
    }
    // The date of a hit stands one column further left than that of a miss.
    EXPECT_EQ(form.List1.lines().at(3), ">06.12.2026 14:03:00 4");
    EXPECT_EQ(form.List1.lines().at(2), "  06.12.2026 14:02:00 3");
}

TEST_F(SearchCommands, SearchOnAnEmptyMissingOrDamagedList) {
    form.Form_Load();
    form.Text5.setText("alt");
    form.Command8_Click();  // no file at all
    EXPECT_TRUE(form.List1.lines().empty());
    EXPECT_EQ(form.Text5.text(), "kein Treffer");

    // The whole records before a damaged tail are searched; the selected list counts.
    const PageRecord page = makePage("A", 1, {{PageText, "Archiv"}});
    writeFile(dir / "holmtex-archiv.dat", recordBytes(page) + "\"->2\",\"07.12");
    form.Option2.setValue(true);
    form.Combo1.setText("archiv");
    form.Command8_Click();
    EXPECT_EQ(form.List1.lines(), std::vector<std::string>{">06.12.2026 14:01:00 A"});
}

// The search against a plain look through every page text: items 2 to 49 joined, lowered
// byte by byte, searched. Lists of every shape; search texts taken from the page texts
// anywhere, across items too, in other cases, with the signs that stand between items.
TEST_F(SearchCommands, SearchFindsWhatAPlainLookThroughThePageTextsFinds) {
    const auto lowered = [](std::string bytes) {
        for (char& c : bytes) c = static_cast<char>(cp1252ToLower(static_cast<unsigned char>(c)));
        return bytes;
    };
    int hits = 0, searches = 0;
    for (unsigned seed = 1; seed <= 30; ++seed) {
        test::ListMaker maker(seed);
        writeFile(aktuell(), maker.list(25));
        std::vector<std::string> pageTexts;  // as bytes of the file
        for (const PageRecord& page : test::readRecords(aktuell())) {
            std::string text;
            for (int n = SaveDate; n <= kItemCount; ++n) text += utf8ToCp1252(page.text(n));
            pageTexts.push_back(text);
        }
        form.Option1.setValue(false);
        form.Option1.setValue(true);
        for (int k = 0; k < 40; ++k) {
            std::string needle;  // Windows-1252
            if (!pageTexts.empty() && maker.chance(85)) {
                const std::string& from = maker.pick(pageTexts);
                const int length = maker.chance(10) ? maker.between(60, 90) : maker.between(1, 14);
                const int start = maker.between(0, std::max(0, int(from.size()) - 1));
                needle =
                    from.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
                for (char& c : needle)
                    if (maker.chance(30))
                        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            } else {
                needle = maker.pick(
                    std::vector<std::string>{"", "\"", ",", "a,b", "14:0", "\x9f", "->"});
            }
            std::string expected;
            LineList lines;
            const std::vector<PageRecord> pages = test::readRecords(aktuell());
            for (std::size_t i = 0; i < pages.size(); ++i) {
                const std::string page = lowered(pageTexts[i]);
                const bool hit = needle.empty() ? !page.empty()
                                                : page.find(lowered(needle)) != std::string::npos;
                hits += hit;
                lines.push_back((hit ? ">" : "  ") + listLine(pages[i]));
            }
            form.Combo1.setText(cp1252ToUtf8(needle));
            form.Command8_Click();
            ++searches;
            ASSERT_EQ(form.List1.lines(), lines) << "seed " << seed << " text " << needle;
        }
    }
    EXPECT_GT(hits, 1000);
    EXPECT_EQ(30 * 40, searches);
}

TEST_F(SearchCommands, CommandWordsRunOnlyWhenTheWholeTextMatches) {
    const PageRecord page = makePage("7", 0, {{PageText, "Seite"}});
    writeFile(aktuell(), recordBytes(page));
    const std::string transfer = recordBytes(makePage("T", 5));
    writeFile(dir / "holmtex-trans.txt", transfer);
    form.Form_Load();
    form.Text5.setText("vorher");
    for (const char* word :
         {"Export!", "EXPORT!", " export!", "export! ", "export", ">import<", "import", "datachek",
          "datacheck", "Hilfe", "hilfe ", "befehl", "kopie", "xkopie!"}) {
        form.Combo1.setText("");
        form.Combo1.setText(word);
        EXPECT_EQ(form.Combo1.text(), word);
    }
    EXPECT_EQ(form.Text1.text(), "Seite");
    form.Text1.setText("datacheck!");
    form.Text1.setText(" datacheck");
    EXPECT_EQ(readFile(aktuell()), recordBytes(page));
    EXPECT_EQ(readFile(dir / "holmtex-trans.txt"), transfer);
    EXPECT_FALSE(exists("check.dat"));
    EXPECT_EQ(form.Text5.text(), "vorher");
}

TEST_F(SearchCommands, TypedExportAndCopyRunOnceOnTheirLastLetter) {
    const std::vector<PageRecord> pages = {makePage("1", 0), makePage("2", 1)};
    writeFile(aktuell(), test::bytesOf(pages));
    form.Form_Load();
    form.List1.clickLine(0);
    std::vector<std::string> messages;
    form.Text5.observe([&](Property) { messages.push_back(form.Text5.text()); });

    type("export!");
    EXPECT_EQ(form.Combo1.text(), "");
    type("kopie!");
    EXPECT_EQ(form.Combo1.text(), "");
    EXPECT_EQ(readFile(dir / "holmtex-trans.txt"), test::bytesOf({pages[0], pages[0]}));
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Die Inhalte der Datenzeile in Datei >holmtex-trans.txt< gespeichert.",
                            "Die Inhalte der Datenzeile in Datei >holmtex-trans.txt< kopiert."}));
}

TEST_F(SearchCommands, HelpAndCommandListGoIntoTheBigTextAndAreSaved) {
    form.Form_Load();
    form.Combo1.setText("hilfe");
    const std::string help = form.Text1.text();
    EXPECT_EQ(help.rfind("Es gibt folgende Befehle für Funktionen: Eingabe von >export!<", 0), 0u);
    for (const char* joint :
         {"Datei >holmtex-trans.txt<aus dem Programmverzeichnis", "von Merkseiten  auf einen",
          "Bei eine Fehlermeldung bitte an den Betreuer dieses Programms melden und",
          "als Anhang mitsenden.  Mit den Schaltflächen redcht unten '4 Familien'",
          "Die Eingabe von >datachek< löst"})
        EXPECT_NE(help.find(joint), std::string::npos) << joint;
    // The paragraph stays one line; each command word added since has a line of its own.
    const std::string paragraph = help.substr(0, help.find("\r\n"));
    EXPECT_TRUE(paragraph.ends_with(" oder durch das Textfeld verdeckt."));
    EXPECT_EQ(paragraph.find('\n'), std::string::npos);
    EXPECT_EQ(help.substr(paragraph.size()),
              "\r\nEingabe von >reparatur!< repariert die gewählte Liste, "
              "wenn ihr letzter Eintrag unvollständig ist: die ganzen Seiten "
              "bleiben, der Rest kommt in eine eigene Datei."
              "\r\nEingabe von >ersetzen!< (oder Strg+Umschalt+S) setzt die Merkseite an die "
              "Stelle der zuletzt geöffneten Seite der Liste; die anderen Seiten bleiben, wie "
              "sie sind."
              "\r\nEingabe von >pdf!< speichert die Merkseite als Familienblatt (PDF-Datei) im "
              "Programmverzeichnis."
              "\r\nEingabe von >drucken!< (oder Strg+P) druckt die Merkseite als Familienblatt."
              "\r\nEingabe von >gedcom!< speichert die gewählte Liste als GEDCOM-Datei für "
              "Ahnenprogramme."
              "\r\nEingabe von >zurück!< (oder Strg+Z außerhalb der Textfelder) nimmt die "
              "letzte Änderung einer Liste zurück, wiederholt eingegeben auch die davor."
              "\r\nEingabe von >wieder!< (oder Strg+Y) macht die zuletzt zurückgenommene "
              "Änderung wieder."
              "\r\nEingabe von >zusammenführen!< holt die Seiten aus der zweiten Fassung der "
              "gewählten Liste (der Konfliktkopie eines Sync-Programms) in die Liste; gelöscht "
              "wird nichts."
              "\r\nEingabe von >gedcom-import!< liest eine GEDCOM-Datei eines Ahnenprogramms "
              "als Merkseiten in die gewählte Liste ein, eine Seite je Familie.");
    EXPECT_EQ(form.CurrentRecord.text(PageText), help);
    EXPECT_EQ(form.Combo1.text(), "hilfe");

    form.Command1_Click();
    EXPECT_EQ(test::readRecords(aktuell()).at(0).text(PageText), help);

    form.Combo1.setText("befehl!");
    EXPECT_EQ(form.Text1.text(),
              "folgende Befehle werden angenommen:  hilfe, export!, import!, befehl!, kopie!");
}

// The table of command words is what the box takes, what the help text adds under its
// paragraph, and what the description for assistive technology names.
TEST_F(SearchCommands, TheTableOfCommandWordsIsWhatTheBoxTakesAndTheHelpSays) {
    form.Form_Load();
    form.Combo1.setText("hilfe");
    std::string added;
    for (const CommandWord& command : commandTable()) {
        const std::string word = command.word;
        EXPECT_TRUE(Holmtex::isCommandWord(word));
        EXPECT_NE(msg::commandBoxDescription().find(word), std::string::npos) << word;
        if (!command.help) continue;
        EXPECT_TRUE(command.help().starts_with("Eingabe von >" + word + "<")) << word;
        added += "\r\n" + command.help();
    }
    EXPECT_EQ(form.Text1.text(), msg::commandHelp() + added);
}

TEST_F(SearchCommands, DataCheckOfTheAktuellFile) {
    const PageRecord a = makePage("1", 0, {{PageText, "a,\r\nb"}}), b = makePage("2", 1);
    std::string lastItemMissing = recordBytes(makePage("3", 2));
    lastItemMissing.erase(lastItemMissing.size() - 5, 3);  // ,""\r\n -> \r\n
    const struct {
        const char* name;
        bool exists;
        std::string content;
        const char* message;
        std::string check;
    } cases[] = {
        {"empty", true, "", kOk, ""},
        {"missing", false, "", kBroken, "alt"},  // check.dat is not touched
        {"whole", true, test::bytesOf({a, b}), kOk, test::bytesOf({a, b})},
        {"last item missing", true, test::bytesOf({a, b}) + lastItemMissing, kBroken,
         test::bytesOf({a, b})},
        {"unclosed quote", true, recordBytes(a) + "\"->2,,", kBroken, recordBytes(a)},
    };
    form.Form_Load();
    form.Option3.setValue(true);  // the check reads AKTUELL whatever is selected
    writeFile(dir / "holmtex-grund.dat", "kaputt\"");
    for (const auto& c : cases) {
        std::filesystem::remove(aktuell());
        if (c.exists) writeFile(aktuell(), c.content);
        writeFile(dir / "check.dat", "alt");
        form.Text5.setText("");
        form.Combo1.setText("datacheck!");
        form.Combo1.setText("");
        EXPECT_EQ(form.Text5.text(), c.message) << c.name;
        EXPECT_EQ(readFile(dir / "check.dat"), c.check) << c.name;
    }
}

TEST_F(SearchCommands, DatacheckInTheBigTextRunsTheCheck) {
    // Opening a page whose big text is the word runs it as well.
    writeFile(aktuell(), recordBytes(makePage("1", 0, {{PageText, "datacheck"}})) + "\"x");
    std::vector<std::string> messages;
    form.Text5.observe([&](Property) { messages.push_back(form.Text5.text()); });
    form.Form_Load();
    EXPECT_EQ(messages, (std::vector<std::string>{kBroken, "Listenzeile 0", ""}));
    writeFile(aktuell(), "");
    form.Text1.setText("");
    form.Text1.setText("datacheck");
    EXPECT_EQ(form.Text5.text(), kOk);
    EXPECT_TRUE(exists("check.dat"));
}

}  // namespace
}  // namespace holmtex
