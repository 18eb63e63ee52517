// The files the program writes, made by the real operations and compared byte for byte
// with the golden files under tests/data/golden/: a list saved page by page, the transfer
// file, the work file of "Info alsTextdatei speichern" with the text file krumo-34 makes of
// it, z1.txt of "Duplikate löschen", and the list after "ersetzen!". Other programs and
// older lists read these bytes.
// HOLMTEX_UPDATE_GOLDEN=1 writes the golden files anew.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/record_io.h"
#include "support/form_test.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::golden;
using test::readFile;

class GoldenFiles : public test::FormTest {
protected:
    // Four pages typed and saved into AKTUELL: an empty one, a full one, one in the
    // four-family view with the add state, and one that shares the full one's number.
    void SetUp() override {
        form.setProgramDir(HOLMTEX_SIBLING_DIR);
        platform.runPrograms = true;
        form.Form_Load();
        form.Command1_Click();  // empty items, and items 4 and 5 absent

        form.Command6_Click();
        test::typeInto({
            {form.Text1, "Brief aus Köln, 1890\r\n„Grüße“ und \"Zitat\" für 5 €\r\n\r\nEnde"},
            {form.Text2, "4711"},
            {form.v1t, "Johann Müller"},
            {form.m1t, "Anna Groß, geb. Weiß"},
            {form.dat1t, "12.05.1890"},
            {form.k11t, "Karl"},
            {form.k21t, "Marie, gen. Mieze"},
            {form.bem1t, "aus Köln\r\nkatholisch"},
            // The five bytes Windows-1252 leaves undefined, and letters it has no place for.
            {form.bem2t, "\u0081\u008D\u008F\u0090\u009D Łódź"},
            {form.v3t, "Georg Weber"},
            {form.k64t, "Ida"},
        });
        form.Command1_Click();

        // The add state in the four-family view, then the normal state again.
        form.Command6_Click();
        form.Command18_Click();
        test::typeInto({{form.v1t, "Otto Kahl"}, {form.m1t, "Emma Kahl"}});
        form.Command24_Click(0);
        test::typeInto({{form.Text1, "Seite drei"}, {form.Text2, "815"}});
        form.Command1_Click();
        form.Command6_Click();
        form.Command25_Click();
        test::typeInto({{form.Text1, "Nachtrag zu 4711"}, {form.Text2, "4711"}});
        form.Command1_Click();
        ASSERT_EQ(form.List1.listCount(), 4);
    }

    std::string made(const char* name) const { return readFile(dir / name); }
    // The records of a list as the bytes they are.
    static std::vector<std::string> rawRecords(const std::string& list) {
        StringSource source(list);
        RecordReader reader(source);
        std::vector<std::string> records;
        while (reader.nextRaw(1) == ReadStatus::Record) records.emplace_back(reader.rawRecord());
        return records;
    }
};

TEST_F(GoldenFiles, TheListAsSaved) {
    const std::string list = made("holmtex-aktuell.dat");
    EXPECT_EQ(list, golden("golden/holmtex-aktuell.dat", list));
}

// ersetzen! puts the page on screen, stamped as "Speichern" stamps it, in the place of the
// page opened; every other page keeps its bytes and its place.
TEST_F(GoldenFiles, TheListAfterErsetzen) {
    const std::vector<std::string> before = rawRecords(made("holmtex-aktuell.dat"));
    form.List1.clickLine(1);
    platform.clock = {2026, 12, 7, 9, 30, 0};
    test::typeInto({{form.k31t, "Paul"}, {form.bem1t, "aus \"Köln\""}});
    form.Combo1.setText("ersetzen!");
    const std::string list = made("holmtex-aktuell.dat");
    EXPECT_EQ(list, golden("golden/holmtex-aktuell-ersetzt.dat", list));
    const std::vector<std::string> after = rawRecords(list);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t n : {0, 2, 3}) EXPECT_EQ(after[n], before[n]) << n;
    EXPECT_EQ(form.List1.listIndex(), 1);
    EXPECT_EQ(form.Text5.text(), "Seite in Listenzeile 1 ersetzt");
    form.Command1_Click();  // the same page, saved
    EXPECT_EQ(rawRecords(made("holmtex-aktuell.dat")).back(), after[1]);
}

TEST_F(GoldenFiles, TheTransferFileAfterExportAndCopy) {
    form.List1.clickLine(1);
    form.Combo1.setText("export!");
    form.List1.clickLine(2);
    form.Combo1.setText("kopie!");
    const std::string transfer = made("holmtex-trans.txt");
    EXPECT_EQ(transfer, golden("golden/holmtex-trans.txt", transfer));
}

TEST_F(GoldenFiles, TheTextFileAndItsWorkFile) {
    form.List1.clickLine(1);
    form.Command7_Click();
    ASSERT_EQ(form.Text5.text(),
              "Datei im Programmordner als Text_4711_2612061403.txt gespeichert");
    const std::string work = made("zzz.txt"), text = made("Text_4711_2612061403.txt");
    EXPECT_EQ(work, golden("golden/zzz.txt", work));
    EXPECT_EQ(text, golden("golden/Text_4711_2612061403.txt", text));
}

TEST_F(GoldenFiles, TheWorkFileOfDuplikateLoeschen) {
    form.Command23_Click();
    ASSERT_EQ(form.Text5.text(), "4");
    const std::string marked = made("z1.txt");
    EXPECT_EQ(marked, golden("golden/z1.txt", marked));
}

}  // namespace
}  // namespace holmtex
