#include "window/holmtex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "support/form_test.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

class HolmtexForm : public test::FormTest {};

TEST_F(HolmtexForm, DesignGeometryAndTabIndex) {
    struct Design {
        const char* name;
        int left, top, width, height, tabIndex;
    };
    const Design designs[] = {
        {"k23t", 120, 4440, 2415, 495, 22},       {"v2t", 7920, 480, 2295, 495, 17},
        {"dat4t", 7920, 4440, 2055, 285, 39},     {"bem1t", 2640, 1800, 2295, 1575, 10},
        {"k64t", 5280, 6360, 2535, 495, 36},      {"m3t", 2640, 4680, 2295, 495, 28},
        {"Text1", 120, 7080, 7695, 1695, 41},     {"Text2", 7920, 7800, 2295, 375, 42},
        {"List1", 10320, 480, 3375, 3630, 0},     {"Command21", 12840, 7080, 855, 495, 80},
        {"Command19", 12840, 7080, 855, 500, 78}, {"Text32(1)", 240, 3720, 615, 285, 56},
        {"eltern4", 9600, 3720, 495, 285, 61},    {"fam3", 2040, 3600, 1215, 285, 48},
        {"Combo1", 120, 360, 3135, 315, 84},      {"Text5", 10320, 5800, 3375, 645, 67},
    };
    for (const Design& d : designs) {
        SCOPED_TRACE(d.name);
        const Control* c = form.findControl(d.name);
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(d.left, c->left());
        EXPECT_EQ(d.top, c->top());
        EXPECT_EQ(d.width, c->width());
        EXPECT_EQ(d.height, c->height());
        EXPECT_EQ(d.tabIndex, c->tabIndex);
    }
    EXPECT_EQ(&form.Text32[2], form.findControl("Text32(2)"));
    EXPECT_EQ(nullptr, form.findControl("Text32"));
}

TEST_F(HolmtexForm, ColoursAndTexts) {
    EXPECT_EQ(colors::LightGreen, form.k23t.backColor);
    EXPECT_EQ(colors::Green, form.k23t.foreColor);
    EXPECT_EQ(colors::LightBlue, form.v3t.backColor);
    EXPECT_EQ(colors::Navy, form.v3t.foreColor);
    EXPECT_EQ(colors::LightRed, form.m1t.backColor);
    EXPECT_EQ(colors::Purple, form.m1t.foreColor);
    EXPECT_EQ(std::nullopt, form.dat2t.backColor);  // system colours
    EXPECT_EQ(colors::LightOrange, form.List1.backColor);
    EXPECT_EQ(colors::LightYellow, form.BackColor);
    EXPECT_EQ("Familie2", form.fam2.text());
    EXPECT_EQ("Familie 1", form.fam1.text());
    EXPECT_EQ("Vorgang Nr. ", form.Text10.text());
    EXPECT_EQ("gespeicherte Merkseiten AKTUELL", form.Text31.text());
    EXPECT_EQ(" Programm schließen, letztes Fenster speichern", form.Command5.caption());
    EXPECT_EQ("Holmtex Notiz Version  2.45", form.Caption);
}

TEST_F(HolmtexForm, LabelBoxesAreLockedAndSkippedByTab) {
    for (const char* name :
         {"fam1", "fam2", "fam3", "fam4", "Text32(0)", "Text32(1)", "Text32(2)", "Text32(3)",
          "eltern1", "eltern2", "eltern3", "eltern4", "Text10", "Text31", "Text4"}) {
        SCOPED_TRACE(name);
        auto* box = dynamic_cast<TextBox*>(form.findControl(name));
        ASSERT_NE(nullptr, box);
        EXPECT_TRUE(box->locked);
        EXPECT_FALSE(box->tabStop);
    }
    EXPECT_FALSE(form.Text5.tabStop);
    for (TextBox* box : {&form.Text1, &form.Text2, &form.k11t, &form.bem4t}) {
        EXPECT_FALSE(box->locked) << box->name();
        EXPECT_TRUE(box->tabStop) << box->name();
    }
}

TEST_F(HolmtexForm, FamilyFieldsFollowTheItemOrder) {
    const char* names[] = {"k11t", "k21t", "k31t", "k41t",  "k51t",
                           "k61t", "v1t",  "m1t",  "dat1t", "bem1t"};
    for (int n = 10; n <= kItemCount; ++n) {
        SCOPED_TRACE(n);
        const int family = n / 10;
        std::string expected = names[n % 10];
        expected[expected.size() - 2] = static_cast<char>('0' + family);
        TextBox& field = form.fieldForItem(n);
        EXPECT_EQ(expected, field.name());
        EXPECT_EQ(n - 9, field.tabIndex);
        EXPECT_EQ(&field, form.findControl(expected));
    }
}

// The GUI orders the focus by tab index and finds each control's widget by its name: two
// controls with one index or one name would make that ambiguous. Every family field is
// among the controls, so it gets a widget.
TEST_F(HolmtexForm, TabIndicesAndNamesAreUnique) {
    std::set<int> seen;
    for (const Control* c : form.controls()) {
        EXPECT_EQ(c, form.findControl(c->qualifiedName())) << c->qualifiedName();
        if (c->tabIndex < 0) continue;
        EXPECT_TRUE(seen.insert(c->tabIndex).second) << c->qualifiedName() << " " << c->tabIndex;
    }
    for (int n = 10; n <= kItemCount; ++n) {
        const Control* field = &form.fieldForItem(n);
        EXPECT_EQ(1, std::count(form.controls().begin(), form.controls().end(), field)) << n;
    }
}

TEST_F(HolmtexForm, BuildingRaisesNoEvents) {
    EXPECT_EQ(PageRecord(), form.CurrentRecord);
    EXPECT_EQ(std::nullopt, form.selectedList());
    EXPECT_EQ(0, form.List1.listCount());
}

TEST_F(HolmtexForm, TextChangesKeepTheBufferInStep) {
    form.Text1.setText("Zeile 1\r\nZeile 2, mit Komma");
    form.Text2.setText("4711");
    EXPECT_EQ(Item("Zeile 1\r\nZeile 2, mit Komma"), form.CurrentRecord.item(PageText));
    EXPECT_EQ(Item("4711"), form.CurrentRecord.item(ProcessNumber));
    form.Text2.setText("");
    EXPECT_EQ(Item(""), form.CurrentRecord.item(ProcessNumber));
    // The family fields reach the buffer only when a page is saved.
    form.k11t.setText("Anna");
    EXPECT_EQ(std::nullopt, form.CurrentRecord.item(childItem(1, 1)));
}

TEST_F(HolmtexForm, FilePathsStayInTheWorkFolder) {
    EXPECT_EQ(dir / "holmtex-aktuell.dat", form.filePath("holmtex-aktuell.dat"));
    EXPECT_EQ(dir / "passwd", form.filePath("/etc/passwd"));
    EXPECT_EQ(dir / "x.txt", form.filePath("../../x.txt"));
}

}  // namespace
}  // namespace holmtex
