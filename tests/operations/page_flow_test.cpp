// Saving, opening, clearing, the two views with the add state, and start-up.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "record/record_io.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::readFile;
using test::writeFile;

class PageFlow : public test::FormTest {
protected:
    std::filesystem::path file(ListKind kind) { return dir / dataFileName(kind); }

    std::vector<PageRecord> records(ListKind kind) { return test::readRecords(file(kind)); }

    // Gives every family field a text of its own, named after its item.
    void fillFamilies(const std::string& tag) {
        for (int n = 10; n <= kItemCount; ++n)
            form.fieldForItem(n).setText(tag + std::to_string(n));
    }
};

TEST_F(PageFlow, AnEmptyPageSavesAsFortyTwoEmptyStrings) {
    form.Form_Load();
    form.Command1_Click();
    std::string expected = "\"->2\",\"06.12.2026\",\"14:03:59\",,,\"\",\"aktu\",\"\",\"\"";
    for (int i = 0; i < 40; ++i) expected += ",\"\"";
    expected += "\r\n";
    EXPECT_EQ(readFile(file(ListKind::Aktuell)), expected);
    EXPECT_EQ(form.List1.lines(), std::vector<std::string>{"06.12.2026 14:03:59 "});
    EXPECT_EQ(form.List1.listIndex(), 0);
    EXPECT_EQ(form.Text5.text(), "Listenzeile 0");
}

TEST_F(PageFlow, SaveStampsViewAndAddState) {
    struct Case {
        int height;
        bool line1;
        const char* marker;
        const char* add;
    };
    const Case cases[] = {{1695, false, "->4", ""},
                          {5175, true, "->2", "add"},
                          {3000, false, "->", ""},
                          {1695, true, "->4", "add"}};
    form.Form_Load();
    for (const Case& c : cases) {
        form.Text1.setHeight(c.height);
        form.Line2.setVisible(true);  // so reopening keeps Line1 as it was saved
        form.Line1.setVisible(c.line1);
        form.Command1_Click();
        const PageRecord saved = records(ListKind::Aktuell).back();
        EXPECT_EQ(saved.text(ViewMarker), c.marker) << c.height;
        EXPECT_EQ(saved.text(AddMarker), c.add) << c.height;
        EXPECT_TRUE(saved.item(AddMarker).has_value());
    }
}

TEST_F(PageFlow, SavedPageReopensWithEveryField) {
    form.Form_Load();
    fillFamilies("f");
    form.Text1.setText("erste Zeile\r\nzweite, mit Komma\r\nÄrger über Öl");
    form.Text2.setText("4711/ß");
    form.Command1_Click();
    form.Command6_Click();
    form.Text2.setText("überschrieben");
    form.List1.clickLine(0);

    EXPECT_EQ(form.Text1.text(), "erste Zeile\r\nzweite, mit Komma\r\nÄrger über Öl");
    EXPECT_EQ(form.Text2.text(), "4711/ß");
    for (int n = 10; n <= kItemCount; ++n)
        EXPECT_EQ(form.fieldForItem(n).text(), "f" + std::to_string(n)) << "item " << n;
    EXPECT_EQ(form.CurrentRecord, records(ListKind::Aktuell).at(0));
}

TEST_F(PageFlow, QuotesBecomeApostrophesInEveryField) {
    form.Form_Load();
    test::typeInto({{form.bem4t, "Bem \"4\""},
                    {form.Text1, "a \"b\" c\""},
                    {form.k11t, "Kind \"Hans\""},
                    {form.dat2t, "\"1890\""},
                    {form.Text2, "Nr \"7\""}});
    int text1Changes = 0;
    form.Text1.observe([&](Property) { ++text1Changes; });
    form.Command1_Click();

    const PageRecord saved = records(ListKind::Aktuell).at(0);
    EXPECT_EQ(saved.text(PageText), "a 'b' c'");
    EXPECT_EQ(saved.text(remarkItem(4)), "Bem '4'");
    EXPECT_EQ(saved.text(childItem(1, 1)), "Kind 'Hans'");
    EXPECT_EQ(saved.text(dateItem(2)), "'1890'");
    EXPECT_EQ(saved.text(ProcessNumber), "Nr '7'");
    EXPECT_EQ(saved.text(fatherItem(1)), "");  // the items that follow are not shifted
    EXPECT_EQ(form.Text1.text(), "a 'b' c'");
    EXPECT_EQ(form.k11t.text(), "Kind 'Hans'");
    EXPECT_EQ(text1Changes, 1);  // the apostrophes; the refresh after it sets the same text
    // Typographic quotes are plain text.
    form.Text1.setText("„so“");
    form.Command1_Click();
    EXPECT_EQ(records(ListKind::Aktuell).back().text(PageText), "„so“");
}

TEST_F(PageFlow, SavingIntoArchivAppendsThereAndStillTagsAktu) {
    writeFile(file(ListKind::Archiv), recordBytes(PageRecord()));
    form.Form_Load();
    form.Option2.setValue(true);
    form.Text2.setText("A-1");
    form.Command1_Click();
    const auto archived = records(ListKind::Archiv);
    ASSERT_EQ(archived.size(), 2u);
    EXPECT_EQ(archived[1].text(ListTag), "aktu");
    EXPECT_EQ(archived[1].text(ProcessNumber), "A-1");
    EXPECT_FALSE(std::filesystem::exists(file(ListKind::Aktuell)));
    EXPECT_EQ(form.List1.listIndex(), 1);
    EXPECT_EQ(form.Text5.text(), "Listenzeile 1");
}

TEST_F(PageFlow, ItemsFourAndFiveComeFromTheLastRecordRead) {
    PageRecord old;
    old.set(Reserved4, "x4");
    writeFile(file(ListKind::Aktuell), recordBytes(old));
    form.Form_Load();
    form.Command1_Click();
    EXPECT_EQ(records(ListKind::Aktuell).at(1).item(Reserved4), Item("x4"));
    EXPECT_EQ(records(ListKind::Aktuell).at(1).item(Reserved5), std::nullopt);
}

TEST_F(PageFlow, AFailedSaveKeepsThePageAndTheFile) {
    form.Form_Load();
    std::filesystem::create_directory(file(ListKind::Aktuell));  // cannot be written
    test::typeInto({{form.Text2, "123"}, {form.v1t, "Vater"}});
    form.Command1_Click();
    EXPECT_EQ(form.Text5.text(),
              "Die Seite wurde nicht gespeichert: der Name gehört einem Ordner "
              "(holmtex-aktuell.dat).");
    EXPECT_EQ(form.Text2.text(), "123");
    EXPECT_EQ(form.v1t.text(), "Vater");
    EXPECT_EQ(form.List1.listCount(), 0);
}

TEST_F(PageFlow, CharactersOutsideTheCodePageAreStoredAsQuestionMarks) {
    form.Form_Load();
    form.Text1.setText("Haken ✓ und € und Ω");
    form.Command1_Click();
    EXPECT_EQ(form.Text1.text(), "Haken ? und € und ?");
}

TEST_F(PageFlow, AMegabyteOfTextSavesAndOpens) {
    form.Form_Load();
    std::string big;
    while (big.size() < 1024 * 1024) big += "Zeile mit Umlauten äöü, \"Zitat\"\r\n";
    form.Text1.setText(big);
    form.Command1_Click();
    std::string expected = big;
    std::replace(expected.begin(), expected.end(), '"', '\'');
    form.Command6_Click();
    form.List1.clickLine(0);
    EXPECT_EQ(form.Text1.text().size(), expected.size());
    EXPECT_TRUE(form.Text1.text() == expected);
}

TEST_F(PageFlow, FullClearEmptiesTheFieldsOnly) {
    PageRecord stored;
    stored.set(ViewMarker, "->4");
    for (int n = 10; n <= kItemCount; ++n) stored.set(n, "s" + std::to_string(n));
    stored.set(PageText, "Text");
    stored.set(ProcessNumber, "9");
    writeFile(file(ListKind::Aktuell), recordBytes(stored) + recordBytes(stored));
    form.Form_Load();
    form.Text5.setText("Meldung");
    form.List1.clickLine(0);
    form.Text5.setText("Meldung");
    form.Command6_Click();

    EXPECT_EQ(form.Text1.text(), "");
    EXPECT_EQ(form.Text2.text(), "");
    for (int n = 10; n <= kItemCount; ++n) EXPECT_EQ(form.fieldForItem(n).text(), "") << n;
    EXPECT_EQ(form.CurrentRecord.item(PageText), Item(""));
    EXPECT_EQ(form.CurrentRecord.item(ProcessNumber), Item(""));
    EXPECT_EQ(form.CurrentRecord.text(fatherItem(2)), "s26");  // family items keep the page
    EXPECT_EQ(form.Text10.text(), "Vorgang Nr. ");
    EXPECT_EQ(form.Text5.text(), "Meldung");
    EXPECT_EQ(form.List1.listCount(), 2);
    EXPECT_EQ(form.List1.listIndex(), 0);
    EXPECT_EQ(form.Text1.height(), 1695);
}

TEST_F(PageFlow, EachLButtonEmptiesItsOwnColumn) {
    struct Case {
        CommandButton* button;
        std::vector<TextBox*> emptied;
    };
    Holmtex& w = form;
    const Case cases[] = {
        {&w.Command4, {&w.k11t, &w.k21t, &w.k31t, &w.k41t, &w.k51t, &w.k61t}},
        {&w.Command10, {&w.v1t, &w.m1t, &w.dat1t, &w.bem1t}},
        {&w.Command11, {&w.k12t, &w.k22t, &w.k32t, &w.k42t, &w.k52t, &w.k62t}},
        {&w.Command12, {&w.v2t, &w.m2t, &w.dat2t, &w.bem2t}},
        {&w.Command13, {&w.k13t, &w.k23t, &w.k33t, &w.k43t, &w.k53t, &w.k63t}},
        {&w.Command14, {&w.v3t, &w.m3t, &w.dat3t, &w.bem3t}},
        {&w.Command15, {&w.k14t, &w.k24t, &w.k34t, &w.k44t, &w.k54t, &w.k64t}},
        {&w.Command16, {&w.v4t, &w.m4t, &w.dat4t, &w.bem4t}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button->name());
        fillFamilies("x");
        form.Text1.setText("T");
        c.button->click();
        for (int n = 10; n <= kItemCount; ++n) {
            TextBox& field = form.fieldForItem(n);
            const bool emptied =
                std::find(c.emptied.begin(), c.emptied.end(), &field) != c.emptied.end();
            EXPECT_EQ(field.text(), emptied ? "" : "x" + std::to_string(n)) << field.name();
        }
        EXPECT_EQ(form.Text1.text(), "T");
    }
}

TEST_F(PageFlow, ViewSwitchesSetGeometryAndButtons) {
    // Text1's top and height; Command17, Command18, Command13, fam4 and eltern4 visible.
    using State = std::tuple<int, int, bool, bool, bool, bool, bool>;
    auto expectState = [&](const State& e) {
        EXPECT_EQ(State(form.Text1.top(), form.Text1.height(), form.Command17.visible(),
                        form.Command18.visible(), form.Command13.visible(), form.fam4.visible(),
                        form.eltern4.visible()),
                  e);
    };
    const State two{3600, 5175, true, true, false, false, false};
    const State four{7080, 1695, true, false, true, true, true};
    for (int run = 0; run < 2; ++run) {  // running a switch twice changes nothing more
        form.Command17_Click();
        expectState(two);
        EXPECT_FALSE(form.Command14.visible());
        EXPECT_FALSE(form.Command15.visible());
        EXPECT_TRUE(form.Command16.visible());
    }
    form.k13t.setText("unter dem Text");
    for (int run = 0; run < 2; ++run) {
        form.Command18_Click();
        expectState(four);
    }
    EXPECT_EQ(form.k13t.text(), "unter dem Text");
}

TEST_F(PageFlow, PlusAndMinusPutPanelsTwoAndFourAsideAndBack) {
    form.Form_Load();  // two-family view, normal state
    fillFamilies("p");
    form.v1t.setText("Vater1");
    form.m1t.setText("Mutter1");
    form.Command24.click();

    EXPECT_TRUE(form.Line1.visible());
    EXPECT_TRUE(form.Line2.visible());
    EXPECT_TRUE(form.Command25.visible());
    EXPECT_FALSE(form.Command24.visible());
    EXPECT_EQ(form.Text1.height(), 1695);  // "+" ends in the four-family view
    EXPECT_EQ(form.k12t.text(), "Vater1");
    EXPECT_EQ(form.k14t.text(), "Mutter1");
    for (int f : {2, 4}) {
        for (int n = 10 * f + 1; n <= 10 * f + 9; ++n)
            EXPECT_EQ(form.fieldForItem(n).text(), "") << n;
    }
    EXPECT_EQ(form.k11t.text(), "p10");  // panels 1 and 3 untouched
    EXPECT_EQ(form.bem3t.text(), "p39");

    form.v1t.setText("geändert");  // a plain copy: k12t keeps the old father
    EXPECT_EQ(form.k12t.text(), "Vater1");
    form.Command6_Click();
    form.Command25.click();

    EXPECT_FALSE(form.Line1.visible());
    EXPECT_FALSE(form.Line2.visible());
    EXPECT_TRUE(form.Command24.visible());
    EXPECT_FALSE(form.Command25.visible());
    EXPECT_EQ(form.Text1.height(), 1695);  // "-" keeps the view
    for (int f : {2, 4})
        for (int n = 10 * f; n <= 10 * f + 9; ++n)
            EXPECT_EQ(form.fieldForItem(n).text(), "p" + std::to_string(n)) << n;
    EXPECT_EQ(form.k11t.text(), "");
    EXPECT_EQ(form.Text1.text(), "");
}

TEST_F(PageFlow, OpeningAPageSetsOnlyTheTextGeometryAndLine1) {
    PageRecord two, plain, add;
    two.set(ViewMarker, "->2");
    plain.set(ViewMarker, "->");
    add.set(ViewMarker, "->4");
    add.set(AddMarker, "add");
    writeFile(file(ListKind::Aktuell), recordBytes(two) + recordBytes(plain) + recordBytes(add));
    form.Form_Load();
    form.Command18_Click();  // four-family view
    form.List1.clickLine(0);
    EXPECT_EQ(form.Text1.height(), 5175);
    EXPECT_EQ(form.Text1.top(), 3600);
    EXPECT_FALSE(form.Command18.visible());  // the buttons keep the four-family state
    EXPECT_TRUE(form.Command13.visible());
    form.List1.clickLine(1);
    EXPECT_EQ(form.Text1.height(), 5175);  // "->" leaves the geometry
    form.Line1.setVisible(true);
    form.Line2.setVisible(true);
    form.List1.clickLine(2);
    EXPECT_EQ(form.Text1.height(), 1695);
    EXPECT_TRUE(form.Line1.visible());
    form.List1.clickLine(1);
    EXPECT_FALSE(form.Line1.visible());
    EXPECT_TRUE(form.Line2.visible());
}

TEST_F(PageFlow, StartUpStates) {
    struct Case {
        const char* name;
        std::string file;  // "" = no file
        int top, height;
        std::string text2;
    };
    PageRecord four, added;
    four.set(ViewMarker, "->4");
    four.set(ProcessNumber, "44");
    added.set(ViewMarker, "->2");
    added.set(AddMarker, "add");
    added.set(ProcessNumber, "22");
    const Case cases[] = {
        {"missing file", "", 3600, 5175, ""},
        {"empty file", "-", 3600, 5175, ""},
        {"four-family last page", recordBytes(added) + recordBytes(four), 7080, 1695, "44"},
        {"add-state last page", recordBytes(four) + recordBytes(added), 3600, 5175, "22"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir folder;
        if (!c.file.empty()) writeFile(folder / "holmtex-aktuell.dat", c.file == "-" ? "" : c.file);
        ScriptedPlatform p;
        Holmtex w(p, folder.path());
        w.Form_Load();
        EXPECT_EQ(w.windowWidth(), 14115);
        EXPECT_EQ(w.windowHeight(), 9450);
        EXPECT_EQ(w.Text1.top(), c.top);
        EXPECT_EQ(w.Text1.height(), c.height);
        EXPECT_EQ(w.Text2.text(), c.text2);
        EXPECT_TRUE(w.Option1.value());
        EXPECT_FALSE(w.Option2.value() || w.Option3.value());
        EXPECT_TRUE(w.Command18.visible());
        EXPECT_FALSE(w.Command13.visible());
        EXPECT_TRUE(w.Command24.visible());
        EXPECT_FALSE(w.Command25.visible());
        EXPECT_FALSE(w.Line1.visible());
        EXPECT_FALSE(w.Line2.visible());
        EXPECT_EQ(w.Text5.text(), "");
        EXPECT_EQ(w.Combo1.text(), "");
        EXPECT_EQ(w.Combo1.entries(), (std::vector<std::string>{"kopie", "export", "import"}));
        EXPECT_EQ(w.k11t.text(), "");  // no placeholder left
        EXPECT_EQ(w.Text31.text(), "gespeicherte Merkseiten AKTUELL");
        EXPECT_FALSE(std::filesystem::exists(folder / "holmtex-archiv.dat"));
    }
}

}  // namespace
}  // namespace holmtex
