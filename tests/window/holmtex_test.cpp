#include "window/holmtex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/form_test.h"
#include "support/test_support.h"

namespace holmtex {

namespace {

class HolmtexForm : public test::FormTest {};

const char* const kKinds[] = {"TextBox",  "CommandButton", "OptionButton", "ListBox",
                              "ComboBox", "Frame",         "Line"};
const char* const kAlignments[] = {"left", "right", "center"};

std::string colour(const std::optional<Rgb>& c) {
    if (!c) return "-";
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02X%02X%02X", c->r, c->g, c->b);
    return hex;
}

// A text with its line breaks visible.
std::string shown(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, "\\r\\n");
    return "\"" + text + "\"";
}

std::string textOf(const Control& c) {
    switch (c.kind()) {
        case ControlKind::TextBox:
            return static_cast<const TextBox&>(c).text();
        case ControlKind::CommandButton:
            return static_cast<const CommandButton&>(c).caption();
        case ControlKind::OptionButton:
            return static_cast<const OptionButton&>(c).caption();
        case ControlKind::ComboBox:
            return static_cast<const ComboBox&>(c).text();
        default:
            return "";
    }
}

// One line of the design dump: everything the design table gave the control.
std::string designLine(const Control& c) {
    std::ostringstream out;
    out << c.qualifiedName() << " " << kKinds[static_cast<int>(c.kind())];
    if (const auto* box = dynamic_cast<const TextBox*>(&c))
        out << (box->locked ? " locked" : "") << (box->multiLine ? " multi-line" : "")
            << (box->scrollBar ? " scroll-bar" : "");
    if (c.kind() == ControlKind::Line) {
        const auto& line = static_cast<const Line&>(c);
        out << " | from " << line.x1 << " " << line.y1 << " to " << line.x2 << " " << line.y2;
    } else {
        out << " | at " << c.left() << " " << c.top() << " size " << c.width() << " " << c.height();
    }
    out << " | " << shown(textOf(c)) << " | tab " << c.tabIndex << (c.tabStop ? "" : " no stop")
        << " | " << colour(c.backColor) << " on, " << colour(c.foreColor) << " text | \""
        << c.font.name << "\" " << c.font.points << (c.font.bold ? " bold" : "") << " "
        << kAlignments[static_cast<int>(c.alignment)];
    if (c.arrayIndex >= 0) out << " | index " << c.arrayIndex;
    if (c.container) out << " | in " << c.container->name();
    if (!c.accessibleName.empty()) out << " | named " << shown(c.accessibleName);
    if (!c.visible()) out << " | hidden";
    return out.str();
}

// Every control in the order of the design table, with its design values, as the window is
// built: one line each, in tests/data/golden/holmtex-design.txt. A new control is a row of
// the table and a line there.
TEST_F(HolmtexForm, EveryControlHasItsDesignValues) {
    std::string dump = form.Caption + " | client " + std::to_string(Holmtex::kClientWidth) + " x " +
                       std::to_string(Holmtex::kClientHeight) + " | " + colour(form.BackColor) +
                       "\n";
    for (const Control* c : form.controls()) dump += designLine(*c) + "\n";
    EXPECT_EQ(dump, test::golden("golden/holmtex-design.txt", dump));
    // The "Kinder" captions share one name; one member of an array is found by its index.
    EXPECT_EQ(&form.Text32[2], form.findControl("Text32(2)"));
    EXPECT_EQ(nullptr, form.findControl("Text32"));
    EXPECT_EQ(&form.Command24, form.findControl("Command24"));
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

// A fresh form whose fields hold their names, with a log of what changes in it.
struct LoggedForm {
    LoggedForm() { fillWithNames(form); }
    test::TempDir dir;
    ScriptedPlatform platform;
    Holmtex form{platform, dir.path()};
    EventLog log{form};
};

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
        LoggedForm w;
        auto* button = dynamic_cast<CommandButton*>(w.form.findControl(c.button));
        ASSERT_NE(nullptr, button);
        EXPECT_EQ(c.expected, w.log.during([&] { button->click(); }));
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
        LoggedForm w;
        c.before(w.form);
        EXPECT_EQ(c.expected, w.log.during([&] { c.operation(w.form); }));
    }
}

TEST_F(HolmtexForm, FilePathsStayInTheWorkFolder) {
    EXPECT_EQ(dir / "holmtex-aktuell.dat", form.filePath("holmtex-aktuell.dat"));
    EXPECT_EQ(dir / "passwd", form.filePath("/etc/passwd"));
    EXPECT_EQ(dir / "x.txt", form.filePath("../../x.txt"));
}

}  // namespace
}  // namespace holmtex
