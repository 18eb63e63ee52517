#include "window/holmtex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/form_test.h"
#include "support/test_support.h"

namespace holmtex {

// Colours and fonts in a failure message.
void PrintTo(const Rgb& c, std::ostream* os) {
    *os << "(" << +c.r << ", " << +c.g << ", " << +c.b << ")";
}
void PrintTo(const Font& f, std::ostream* os) {
    *os << '"' << f.name << "\" " << f.points << (f.bold ? " bold" : "");
}

namespace {

class HolmtexForm : public test::FormTest {};

// How a control looks and behaves at design time.
enum class Look {
    Field,      // single-line text box
    MultiLine,  // multi-line text box with a vertical scroll bar
    Label,      // locked text box, skipped by Tab
    Message,    // multi-line text box without scroll bar, skipped by Tab
    Button,
    Option,
    List,
    Combo,
    Frame,
    Line,
};

// One control as the window should have it.
struct Expected {
    std::string name;  // qualified: "Text32(1)"
    Look look;
    std::string text;  // caption, or the text at design time
    Place place;       // a line: its two points
    int tabIndex;
    std::optional<Rgb> back, fore;
    Font font{};
    Alignment alignment = Alignment::Left;
    std::string container{};
};

using namespace colors;
const Font kHeading{"Arial Unicode MS", 12, true};

// Every control but the family fields.
const Expected kControls[] = {
    {"Text1", Look::MultiLine, "Text1", {120, 7080, 7695, 1695}, 41, {}, {}},
    {"Text2",
     Look::Field,
     "Text2",
     {7920, 7800, 2295, 375},
     42,
     {},
     Navy,
     {"MS Sans Serif", 9.75, true}},
    {"Text10",
     Look::Label,
     "Vorgang Nr. ",
     {8040, 7600, 1000, 300},
     47,
     LightYellow,
     Blue,
     {"MS Sans Serif", 8.25, true},
     Alignment::Right},
    {"Text5", Look::Message, "Text5", {10320, 5800, 3375, 645}, 67, LightYellow, DarkGreen},
    {"Text31",
     Look::Label,
     "gespeicherte Merkseiten AKTUELL",
     {10320, 240, 3375, 375},
     53,
     LightYellow,
     Black,
     {"Arial", 8.25, true},
     Alignment::Center},
    {"List1",
     Look::List,
     "",
     {10320, 480, 3375, 3630},
     0,
     LightOrange,
     {},
     {"Arial Unicode MS", 8.25, false}},
    {"Option1", Look::Option, "aktuell", {10440, 4160, 855, 255}, 81, LightYellow, {}},
    {"Option2", Look::Option, "Archiv", {11640, 4160, 855, 255}, 82, LightYellow, {}},
    {"Option3", Look::Option, "Allgemein", {12720, 4160, 975, 255}, 83, LightYellow, {}},
    {"Command2", Look::Button, "markierte Zeile löschen", {10320, 4440, 2295, 255}, 44, {}, {}},
    {"Command3",
     Look::Button,
     "alle löschen",
     {12720, 4440, 975, 255},
     45,
     {},
     {},
     {"Times New Roman", 8.25, false}},
    {"Suche", Look::Frame, "", {10320, 4680, 3375, 1080}, 63, LightYellow, {}},
    {"Text4",
     Look::Label,
     "Sucheingabe oder Funktionsbefehl",
     {240, 120, 2655, 285},
     64,
     LightYellow,
     Black,
     {},
     Alignment::Left,
     "Suche"},
    {"Combo1", Look::Combo, "", {120, 360, 3135, 315}, 84, {}, {}, {}, Alignment::Left, "Suche"},
    {"Command8",
     Look::Button,
     "Suchen",
     {120, 720, 3135, 255},
     65,
     {},
     {},
     {},
     Alignment::Left,
     "Suche"},
    {"Command7", Look::Button, "Info alsTextdatei speichern", {10320, 6480, 2415, 375}, 62, {}, {}},
    {"Command23",
     Look::Button,
     "Duplikate löschen",
     {12840, 6480, 855, 375},
     86,
     {},
     {},
     {"Times New Roman", 6.75, false}},
    {"Command6", Look::Button, "Felder löschen", {7920, 7080, 2295, 495}, 46, {}, {}},
    {"Command1", Look::Button, "Speichern", {10320, 7080, 2415, 1095}, 43, {}, {}},
    {"Command19", Look::Button, "Zeile ins Archiv", {12840, 7080, 855, 500}, 78, {}, {}},
    {"Command21", Look::Button, "Zeile in Aktuell", {12840, 7080, 855, 495}, 80, {}, {}},
    {"Command22", Look::Button, "Zeile in Allgemein", {12840, 7680, 855, 500}, 85, {}, {}},
    {"Command9", Look::Button, "Schließen, ohne Speichern", {7920, 8280, 2295, 495}, 66, {}, {}},
    {"Command5",
     Look::Button,
     " Programm schließen, letztes Fenster speichern",
     {10320, 8280, 2415, 495},
     52,
     {},
     {}},
    {"Command17", Look::Button, "2 Familien", {12840, 8280, 855, 495}, 76, {}, {}},
    {"Command18", Look::Button, "4 Familien", {12840, 8280, 855, 495}, 77, {}, {}},
    {"Command24",
     Look::Button,
     "+",
     {4920, 50, 375, 300},
     87,
     {},
     {},
     {"MS Sans Serif", 12, false}},
    {"Command25",
     Look::Button,
     "-",
     {4920, 50, 375, 360},
     88,
     {},
     {},
     {"MS Sans Serif", 13.5, false}},
    {"Line1", Look::Line, "", {4920, 720, 5280, 720}, -1, {}, Black},
    {"Line2", Look::Line, "", {4920, 1440, 5280, 4200}, -1, {}, Black},
    {"fam1", Look::Label, "Familie 1", {1920, 120, 1215, 285}, 50, LightYellow, Blue, kHeading},
    {"fam2", Look::Label, "Familie2", {7320, 120, 1095, 285}, 49, LightYellow, Blue, kHeading},
    {"fam3", Look::Label, "Familie 3", {2040, 3600, 1215, 285}, 48, LightYellow, Blue, kHeading},
    {"fam4", Look::Label, "Familie 4", {7320, 3600, 1215, 285}, 51, LightYellow, Blue, kHeading},
    {"Text32(0)", Look::Label, "Kinder", {240, 240, 615, 285}, 54, LightYellow, Blue},
    {"Text32(2)", Look::Label, "Kinder", {5400, 240, 615, 285}, 58, LightYellow, Blue},
    {"Text32(1)", Look::Label, "Kinder", {240, 3720, 615, 285}, 56, LightYellow, Blue},
    {"Text32(3)", Look::Label, "Kinder", {5400, 3720, 735, 285}, 60, LightYellow, Blue},
    {"eltern1", Look::Label, "Eltern", {4320, 240, 495, 285}, 55, LightYellow, Blue},
    {"eltern2", Look::Label, "Eltern", {9480, 240, 495, 285}, 59, LightYellow, Blue},
    {"eltern3", Look::Label, "Eltern", {4320, 3720, 495, 285}, 57, LightYellow, Blue},
    {"eltern4", Look::Label, "Eltern", {9600, 3720, 495, 285}, 61, LightYellow, Blue},
    {"Command4", Look::Button, "L", {960, 240, 495, 195}, 68, {}, {}},
    {"Command11", Look::Button, "L", {6240, 240, 495, 195}, 70, {}, {}},
    {"Command13", Look::Button, "L", {960, 3720, 495, 195}, 72, {}, {}},
    {"Command15", Look::Button, "L", {6360, 3720, 495, 195}, 74, {}, {}},
    {"Command10", Look::Button, "L", {3480, 240, 495, 195}, 69, {}, {}},
    {"Command12", Look::Button, "L", {8760, 240, 495, 195}, 71, {}, {}},
    {"Command14", Look::Button, "L", {3480, 3720, 495, 195}, 73, {}, {}},
    {"Command16", Look::Button, "L", {8760, 3720, 495, 195}, 75, {}, {}},
};

// The family blocks: the children column (Left, Top of child 1, Width; the children stand
// 480 twips apart and are 495 high), then father, wedding date, mother, remark.
struct Block {
    int childLeft, childTop, childWidth;
    Place father, date, mother, remark;
};
const Block kBlocks[] = {
    {120,
     480,
     2415,
     {2640, 480, 2295, 495},
     {2640, 960, 2055, 285},
     {2640, 1200, 2295, 495},
     {2640, 1800, 2295, 1575}},
    {5280,
     480,
     2535,
     {7920, 480, 2295, 495},
     {7920, 960, 2055, 285},
     {7920, 1200, 2295, 495},
     {7920, 1800, 2295, 1575}},
    {120,
     3960,
     2415,
     {2640, 3960, 2295, 495},
     {2640, 4440, 2055, 285},
     {2640, 4680, 2295, 495},
     {2640, 5280, 2295, 1575}},
    {5280,
     3960,
     2535,
     {7920, 3960, 2295, 495},
     {7920, 4440, 2055, 285},
     {7920, 4680, 2295, 495},
     {7920, 5280, 2295, 1575}},
};

// The forty family fields; tab indices 1 to 40, family by family: children, father, mother,
// wedding date, remark. Each holds its name without the "t" (k31t with a line break).
std::vector<Expected> familyFields() {
    std::vector<Expected> out;
    for (int f = 1; f <= 4; ++f) {
        const Block& b = kBlocks[f - 1];
        const std::string n = std::to_string(f);
        const int tab = 10 * (f - 1);
        for (int c = 1; c <= 6; ++c) {
            const std::string name = "k" + std::to_string(c) + n;
            out.push_back({name + "t",
                           Look::MultiLine,
                           name == "k31" ? "k31\r\n" : name,
                           {b.childLeft, b.childTop + 480 * (c - 1), b.childWidth, 495},
                           tab + c,
                           LightGreen,
                           Green});
        }
        out.push_back(
            {"v" + n + "t", Look::MultiLine, "v" + n, b.father, tab + 7, LightBlue, Navy});
        out.push_back(
            {"m" + n + "t", Look::MultiLine, "m" + n, b.mother, tab + 8, LightRed, Purple});
        out.push_back({"dat" + n + "t", Look::Field, "dat" + n, b.date, tab + 9, {}, {}});
        out.push_back({"bem" + n + "t", Look::MultiLine, "bem" + n, b.remark, tab + 10, {}, {}});
    }
    return out;
}

// What a look means: the kind of control, and whether Tab stops on it; for a text box,
// whether it is locked, multi-line and has a scroll bar.
using Traits = std::tuple<ControlKind, bool, bool, bool, bool>;

Traits traitsOf(Look look) {
    using K = ControlKind;
    switch (look) {
        case Look::Field:
            return {K::TextBox, true, false, false, false};
        case Look::MultiLine:
            return {K::TextBox, true, false, true, true};
        case Look::Label:
            return {K::TextBox, false, true, false, false};
        case Look::Message:
            return {K::TextBox, false, false, true, false};
        case Look::Button:
            return {K::CommandButton, true, false, false, false};
        case Look::Option:
            return {K::OptionButton, true, false, false, false};
        case Look::List:
            return {K::ListBox, true, false, false, false};
        case Look::Combo:
            return {K::ComboBox, true, false, false, false};
        case Look::Frame:
            return {K::Frame, false, false, false, false};
        case Look::Line:
            return {K::Line, false, false, false, false};
    }
    return {};
}

Traits traitsOf(const Control& c) {
    const auto* box = dynamic_cast<const TextBox*>(&c);
    return {c.kind(), c.tabStop, box && box->locked, box && box->multiLine, box && box->scrollBar};
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

Place placeOf(const Control& c) {
    if (c.kind() == ControlKind::Line) {
        const auto& line = static_cast<const Line&>(c);
        return {line.x1, line.y1, line.x2, line.y2};
    }
    return {c.left(), c.top(), c.width(), c.height()};
}

TEST_F(HolmtexForm, EveryControlHasItsDesignValues) {
    std::vector<Expected> expected(std::begin(kControls), std::end(kControls));
    const std::vector<Expected> fields = familyFields();
    expected.insert(expected.end(), fields.begin(), fields.end());
    ASSERT_EQ(expected.size(), form.controls().size())
        << "a control without its row, or one too many";
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        const Control* c = form.findControl(e.name);
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(traitsOf(e.look), traitsOf(*c));
        EXPECT_EQ(e.text, textOf(*c));
        const Place place = placeOf(*c);
        EXPECT_EQ((std::array{e.place.left, e.place.top, e.place.width, e.place.height}),
                  (std::array{place.left, place.top, place.width, place.height}));
        EXPECT_EQ(e.tabIndex, c->tabIndex);
        EXPECT_EQ(e.back, c->backColor);
        EXPECT_EQ(e.fore, c->foreColor);
        EXPECT_EQ(e.font, c->font);
        EXPECT_EQ(e.alignment, c->alignment);
        EXPECT_EQ(e.container, c->container ? c->container->name() : "");
        EXPECT_TRUE(c->visible());
    }

    // Control arrays: the "Kinder" captions share one name; headings, "Eltern" captions and
    // two buttons are arrays of one member with a fixed index.
    const std::pair<const char*, int> indices[] = {
        {"fam3", 0},      {"fam2", 1},      {"fam1", 2},      {"fam4", 3},
        {"eltern1", 0},   {"eltern3", 1},   {"eltern2", 2},   {"eltern4", 3},
        {"Command11", 0}, {"Command24", 0}, {"Text32(3)", 3}, {"Text1", -1}};
    for (auto [name, index] : indices) EXPECT_EQ(index, form.findControl(name)->arrayIndex) << name;
    EXPECT_EQ(&form.Text32[2], form.findControl("Text32(2)"));
    EXPECT_EQ(nullptr, form.findControl("Text32"));
    EXPECT_EQ(&form.Command24, form.findControl("Command24"));

    EXPECT_EQ("Holmtex Notiz Version  2.45", form.Caption);
    EXPECT_EQ(LightYellow, form.BackColor);
    EXPECT_EQ(13875, Holmtex::kClientWidth);
    EXPECT_EQ(8970, Holmtex::kClientHeight);
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
