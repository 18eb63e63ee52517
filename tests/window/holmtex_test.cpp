#include "window/holmtex.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace holmtex {
namespace {

class HolmtexForm : public testing::Test {
protected:
    test::TempDir dir;
    ScriptedPlatform platform;
    Holmtex form{platform, dir.path()};
};

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

// The GUI orders the focus by tab index; two controls with one index would make it ambiguous.
TEST_F(HolmtexForm, TabIndicesAreUnique) {
    std::set<int> seen;
    for (const Control* c : form.controls()) {
        if (c->tabIndex < 0) continue;
        EXPECT_TRUE(seen.insert(c->tabIndex).second) << c->qualifiedName() << " " << c->tabIndex;
    }
    EXPECT_EQ(90u, form.controls().size());
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

// What the controls tell an observer while one operation runs, in the order they tell it:
// "k12t=Vater" for a text, "Line1 an"/"Line1 aus" for visibility, "Text1@3600,5175" for
// Top and Height. The order is what the binding and the change events see.
class EventLog {
public:
    explicit EventLog(Holmtex& form) {
        for (Control* control : form.controls())
            control->observe([this, control](Property p) { record(*control, p); });
    }
    std::vector<std::string> during(const std::function<void()>& operation) {
        entries_.clear();
        recording_ = true;
        operation();
        recording_ = false;
        return entries_;
    }

private:
    void record(const Control& c, Property p) {
        if (!recording_) return;
        if (p == Property::Text)
            entries_.push_back(c.name() + "=" + static_cast<const TextBox&>(c).text());
        else if (p == Property::Visible)
            entries_.push_back(c.name() + (c.visible() ? " an" : " aus"));
        else if (p == Property::Geometry)
            entries_.push_back(c.name() + "@" + std::to_string(c.top()) + "," +
                               std::to_string(c.height()));
    }
    std::vector<std::string> entries_;
    bool recording_ = false;
};

// Each field holds its own name, so that emptying or filling it is a change.
void fillWithNames(Holmtex& form) {
    form.Text1.setText("Text1");
    form.Text2.setText("Text2");
    for (int n = 10; n <= kItemCount; ++n)
        form.fieldForItem(n).setText(form.fieldForItem(n).name());
}

std::vector<std::string> emptied(std::initializer_list<const char*> names) {
    std::vector<std::string> out;
    for (const char* name : names) out.push_back(std::string(name) + "=");
    return out;
}

TEST(HolmtexOrder, ClearingEmptiesTheFieldsInItsFixedOrder) {
    struct Case {
        const char* button;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"Command6",
         emptied({"Text1", "Text2", "bem1t", "bem2t", "bem3t", "bem4t", "k11t", "k21t", "k31t",
                  "k41t",  "k51t",  "k61t",  "v1t",   "m1t",   "k12t",  "k22t", "k32t", "k42t",
                  "k52t",  "k62t",  "v2t",   "m2t",   "k13t",  "k23t",  "k33t", "k43t", "k53t",
                  "k63t",  "v3t",   "m3t",   "k14t",  "k24t",  "k34t",  "k44t", "k54t", "k64t",
                  "v4t",   "m4t",   "dat1t", "dat2t", "dat3t", "dat4t"})},
        {"Command4", emptied({"k11t", "k21t", "k31t", "k41t", "k51t", "k61t"})},
        {"Command10", emptied({"v1t", "m1t", "dat1t", "bem1t"})},
        {"Command11", emptied({"k12t", "k22t", "k32t", "k42t", "k52t", "k62t"})},
        {"Command12", emptied({"v2t", "m2t", "dat2t", "bem2t"})},
        {"Command13", emptied({"k13t", "k23t", "k33t", "k43t", "k53t", "k63t"})},
        {"Command14", emptied({"v3t", "m3t", "dat3t", "bem3t"})},
        {"Command15", emptied({"k14t", "k24t", "k34t", "k44t", "k54t", "k64t"})},
        {"Command16", emptied({"v4t", "m4t", "dat4t", "bem4t"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        test::TempDir dir;
        ScriptedPlatform platform;
        Holmtex form(platform, dir.path());
        EventLog log(form);
        fillWithNames(form);
        auto* button = dynamic_cast<CommandButton*>(form.findControl(c.button));
        ASSERT_NE(nullptr, button);
        EXPECT_EQ(c.expected, log.during([&] { button->click(); }));
    }
}

TEST(HolmtexOrder, ViewsAndTheAddStateChangeTheControlsInTheirFixedOrder) {
    const std::vector<std::string> fourFamiliesFromTwo = {
        "Text1@3600,1695", "Text1@7080,1695", "Command18 aus", "Command13 an",
        "Command14 an",    "Command15 an",    "fam4 an",       "eltern4 an"};
    // The rest of panels 2 and 4 in the order "+" empties and "-" fills them.
    const char* const rest[] = {"k22t", "k32t",  "k42t", "k52t",  "k62t", "k24t",
                                "k34t", "k44t",  "k54t", "k64t",  "v2t",  "dat2t",
                                "m2t",  "bem2t", "v4t",  "dat4t", "m4t",  "bem4t"};
    std::vector<std::string> plus = {"Line1 an",      "Line2 an", "Command25 an",
                                     "Command24 aus", "k12t=v1t", "k14t=m1t"};
    std::vector<std::string> minus = {"Line1 aus",     "Line2 aus", "Command24 an",
                                      "Command25 aus", "k12t=k12t", "k14t=k14t"};
    for (const char* name : rest) {
        plus.push_back(std::string(name) + "=");
        minus.push_back(std::string(name) + "=" + name);
    }
    plus.insert(plus.end(), fourFamiliesFromTwo.begin(), fourFamiliesFromTwo.end());

    struct Case {
        const char* what;
        std::function<void(Holmtex&)> before, operation;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"2 Familien",
         [](Holmtex& w) { w.Command18_Click(); },
         [](Holmtex& w) { w.Command17_Click(); },
         {"Text1@7080,5175", "Text1@3600,5175", "Command18 an", "Command13 aus", "Command14 aus",
          "Command15 aus", "fam4 aus", "eltern4 aus"}},
        {"4 Familien", [](Holmtex& w) { w.Command17_Click(); },
         [](Holmtex& w) { w.Command18_Click(); }, fourFamiliesFromTwo},
        {"+",
         [](Holmtex& w) {
             w.Command17_Click();
             for (Control* c : {(Control*)&w.Line1, (Control*)&w.Line2, (Control*)&w.Command25})
                 c->setVisible(false);
         },
         [](Holmtex& w) { w.Command24.click(); }, plus},
        {"-",
         [](Holmtex& w) {
             w.Command24.click();
             for (int n = 20; n <= kItemCount; ++n)
                 if (n / 10 != 3) w.fieldForItem(n).setText("neu");
         },
         [](Holmtex& w) { w.Command25.click(); }, minus},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        ScriptedPlatform platform;
        Holmtex form(platform, dir.path());
        EventLog log(form);
        fillWithNames(form);
        c.before(form);
        EXPECT_EQ(c.expected, log.during([&] { c.operation(form); }));
    }
}

TEST_F(HolmtexForm, FilePathsStayInTheWorkFolder) {
    EXPECT_EQ(dir / "holmtex-aktuell.dat", form.filePath("holmtex-aktuell.dat"));
    EXPECT_EQ(dir / "passwd", form.filePath("/etc/passwd"));
    EXPECT_EQ(dir / "x.txt", form.filePath("../../x.txt"));
}

}  // namespace
}  // namespace holmtex
