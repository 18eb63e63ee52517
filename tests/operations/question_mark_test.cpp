// Letters the Windows-1252 files cannot hold are written as '?', and the message says which.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/messages.h"
#include "record/codepage.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::readFile;
using test::writeFile;

class QuestionMarks : public test::FormTest {
protected:
    std::filesystem::path aktuell() const { return dir / "holmtex-aktuell.dat"; }
};

TEST_F(QuestionMarks, SaveNamesEachLostCharacterOnceUnderTheLineNumber) {
    struct Case {
        const char* what;
        std::vector<std::pair<TextBox Holmtex::*, std::string>> fields;
        std::string note;  // the second line of Text5, "" for none
    };
    const Case cases[] = {
        {"German text and the euro sign fit",
         {{&Holmtex::v1t, "Jürgen Weiß"}, {&Holmtex::Text1, "Kosten 5 € – „bezahlt“"}},
         ""},
        {"each character once, in the order of the page's items",
         {{&Holmtex::v1t, "Łukasz Dvořák"},
          {&Holmtex::m1t, "Łucja"},
          {&Holmtex::Text1, "Brief aus Kraków"}},
         "Als ? gespeichert: Ł ř"},
        {"process number and a covered field count too",
         {{&Holmtex::Text2, "Nr. ①"}, {&Holmtex::k64t, "Ǆuro"}},
         "Als ? gespeichert: ① Ǆ"},
        {"no more than eight",
         {{&Holmtex::bem4t, "Ł ř ś ź ż ą ę ć ń ő"}},
         "Als ? gespeichert: Ł ř ś ź ż ą ę ć …"},
    };
    int line = 0;
    form.Form_Load();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.Command6_Click();
        for (const auto& [field, text] : c.fields) (form.*field).setText(text);
        form.Command1_Click();
        const std::string listLine = "Listenzeile " + std::to_string(line++);
        EXPECT_EQ(form.Text5.text(), c.note.empty() ? listLine : listLine + "\r\n" + c.note);
    }

    // The file keeps Windows-1252: one '?' for each lost character, the rest as ever.
    const std::vector<PageRecord> saved = test::readRecords(aktuell());
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved[0].text(fatherItem(1)), "Jürgen Weiß");
    EXPECT_EQ(saved[1].text(fatherItem(1)), "?ukasz Dvo?ák");
    EXPECT_EQ(saved[2].text(ProcessNumber), "Nr. ?");
    EXPECT_NE(readFile(aktuell()).find("\"?ukasz Dvo?\xE1k\""), std::string::npos);
    // The page opened after the save shows what the file holds.
    EXPECT_EQ(form.bem4t.text(), "? ? ? ? ? ? ? ? ? ?");
}

TEST_F(QuestionMarks, AFailedSaveNamesNothing) {
    form.Form_Load();
    std::filesystem::create_directory(aktuell());
    form.v1t.setText("Łukasz");
    form.Command1_Click();
    EXPECT_EQ(form.Text5.text().rfind("Die Seite wurde nicht gespeichert: ", 0), 0u);
    EXPECT_EQ(form.Text5.text().find("Als ?"), std::string::npos);
    EXPECT_EQ(form.v1t.text(), "Łukasz");
}

TEST_F(QuestionMarks, TheTextFileNamesWhatItsWorkFileLost) {
    form.setProgramDir(HOLMTEX_SIBLING_DIR);
    platform.runPrograms = true;
    writeFile(aktuell(), test::bytesOf({test::makePage("4711", 0, {{fatherItem(1), "Jan"}})}));
    form.Form_Load();
    // The process number comes from Text2, the closing remark follows Text1.
    test::typeInto({{form.Text2, "Ω7"}, {form.Text1, "Grüße aus Łódź"}});
    form.Command7_Click();
    EXPECT_EQ(form.Text5.text(),
              "Datei im Programmordner als Text_Ω7_2612061403.txt gespeichert\r\n"
              "Als ? gespeichert: Ω Ł ź");
    const std::string zzz = readFile(dir / "zzz.txt");
    const std::string first = "\"TextKopie vom Vorgang  ?7\"\r\n";
    EXPECT_EQ(zzz.substr(0, first.size()), first);
    EXPECT_NE(zzz.find("\"Schlu\xDF"
                       "bemerkung: Gr\xFC\xDF"
                       "e aus ?\xF3"
                       "d?\"\r\n"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "Text_Ω7_2612061403.txt"));

    // A text file that was not made names nothing.
    form.setProgramDir(dir / "kein-ordner");
    form.Text2.setText("4712");
    form.Command7_Click();
    EXPECT_EQ(form.Text5.text(),
              "Die Textdatei wurde nicht gespeichert: das Programm krumo-34 fehlt.");
}

TEST_F(QuestionMarks, ExportCarriesThePageAsTheListHoldsIt) {
    // The letter is lost, and named, when the page is saved; the transfer file then
    // takes the list's bytes, with nothing more to lose.
    form.Form_Load();
    form.v1t.setText("Łukasz");
    form.Command1_Click();
    ASSERT_EQ(form.Text5.text(), "Listenzeile 0\r\nAls ? gespeichert: Ł");
    form.Combo1.setText("export!");
    EXPECT_EQ(form.Text5.text(),
              "Die Inhalte der Datenzeile in Datei >holmtex-trans.txt< gespeichert.");
    EXPECT_EQ(readFile(dir / "holmtex-trans.txt"), readFile(aktuell()));
}

TEST(LostLetters, NamesCharactersNotBytes) {
    EXPECT_EQ(lostLetters(""), "");
    EXPECT_EQ(lostLetters("plain ASCII ? and Ä ö ß € Ÿ"), "");
    EXPECT_EQ(lostLetters("😀 x 😀"), "😀");
    // Bytes that are no UTF-8 at all become '?' as well, shown as one mark.
    EXPECT_EQ(lostLetters("a\xFF"
                          "b\xC0\x80"),
              "\uFFFD");
    EXPECT_EQ(lostLetters("Ж Щ Ш Ю Ѭ Ѩ Ω Ŵ Я"), "Ж Щ Ш Ю Ѭ Ѩ Ω Ŵ …");
}

}  // namespace
}  // namespace holmtex
