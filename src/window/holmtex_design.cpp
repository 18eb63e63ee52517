// The window's design: every control described once, with its place, look, texts and tab
// order, and applied to the control members in one loop. The lists the operations walk
// (the family fields in item order, and from them the columns and panels) come from here.
#include <type_traits>
#include <variant>

#include "window/holmtex.h"

// g++ 12 takes a member left out of a designated initializer for a forgotten one; here it is
// left out on purpose and keeps its default.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

namespace holmtex {

namespace {

using namespace colors;

// The member of the window that a row describes; for a control array, the member at the
// row's array index.
using Member = std::variant<TextBox Holmtex::*, CommandButton Holmtex::*, OptionButton Holmtex::*,
                            ListBox Holmtex::*, ComboBox Holmtex::*, Frame Holmtex::*,
                            Line Holmtex::*, std::array<TextBox, 4> Holmtex::*>;

struct Row {
    Member member;
    ControlDesign design;
};

Control& memberOf(Holmtex& w, const Row& row) {
    return std::visit(
        [&](auto member) -> Control& {
            auto& target = w.*member;
            if constexpr (std::is_base_of_v<Control, std::remove_reference_t<decltype(target)>>)
                return target;
            else
                return target.at(static_cast<std::size_t>(row.design.arrayIndex));
        },
        row.member);
}

constexpr Holmtex::TextPlace kText1 = Holmtex::kFourFamilyText;
constexpr Font kHeading{"Arial Unicode MS", 12, true};

// Every control but the family fields. A later row lies above an earlier one where they
// overlap, and a frame comes before the controls inside it.
// clang-format off
const Row kDesign[] = {
    {&Holmtex::Text1, {.name = "Text1", .text = "Text1",
     .place = {120, kText1.top, 7695, kText1.height}, .tabIndex = 41, .multiLine = true,
     .scrollBar = true, .accessibleName = "Freitext"}},
    {&Holmtex::Text2, {.name = "Text2", .text = "Text2", .place = {7920, 7800, 2295, 375},
     .tabIndex = 42, .foreColor = Navy, .font = {"MS Sans Serif", 9.75, true},
     .accessibleName = "Vorgang Nr."}},
    {&Holmtex::Text10, {.name = "Text10", .text = "Vorgang Nr. ", .place = {8040, 7600, 1000, 300},
     .tabIndex = 47, .tabStop = false, .backColor = LightYellow, .foreColor = Blue, .font = {"MS Sans Serif", 8.25, true},
     .alignment = Alignment::Right, .locked = true, .accessibleName = "Vorgang Nr."}},
    {&Holmtex::Text5, {.name = "Text5", .text = "Text5", .place = {10320, 5800, 3375, 645},
     .tabIndex = 67, .tabStop = false, .backColor = LightYellow, .foreColor = DarkGreen,
     .multiLine = true, .accessibleName = "Meldung"}},
    {&Holmtex::Text31, {.name = "Text31", .text = "gespeicherte Merkseiten AKTUELL",
     .place = {10320, 240, 3375, 375}, .tabIndex = 53, .tabStop = false, .backColor = LightYellow,
     .foreColor = Black, .font = {"Arial", 8.25, true}, .alignment = Alignment::Center,
     .locked = true}},
    {&Holmtex::List1, {.name = "List1", .place = {10320, 480, 3375, 3630}, .tabIndex = 0,
     .backColor = LightOrange, .font = {"Arial Unicode MS", 8.25, false},
     .accessibleName = "gespeicherte Merkseiten"}},
    {&Holmtex::Option1, {.name = "Option1", .text = "aktuell", .place = {10440, 4160, 855, 255},
     .tabIndex = 81, .backColor = LightYellow}},
    {&Holmtex::Option2, {.name = "Option2", .text = "Archiv", .place = {11640, 4160, 855, 255},
     .tabIndex = 82, .backColor = LightYellow}},
    {&Holmtex::Option3, {.name = "Option3", .text = "Allgemein", .place = {12720, 4160, 975, 255},
     .tabIndex = 83, .backColor = LightYellow}},
    {&Holmtex::Command2, {.name = "Command2", .text = "markierte Zeile löschen",
     .place = {10320, 4440, 2295, 255}, .tabIndex = 44}},
    {&Holmtex::Command3, {.name = "Command3", .text = "alle löschen",
     .place = {12720, 4440, 975, 255}, .tabIndex = 45, .font = {"Times New Roman", 8.25, false}}},
    {&Holmtex::Suche, {.name = "Suche", .place = {10320, 4680, 3375, 1080}, .tabIndex = 63,
     .tabStop = false, .backColor = LightYellow, .accessibleName = "Suche"}},
    {&Holmtex::Text4, {.name = "Text4", .text = "Sucheingabe oder Funktionsbefehl",
     .place = {240, 120, 2655, 285}, .tabIndex = 64, .tabStop = false, .backColor = LightYellow,
     .foreColor = Black, .locked = true, .container = "Suche"}},
    {&Holmtex::Combo1, {.name = "Combo1", .place = {120, 360, 3135, 315}, .tabIndex = 84,
     .container = "Suche", .accessibleName = "Sucheingabe oder Funktionsbefehl"}},
    {&Holmtex::Command8, {.name = "Command8", .text = "Suchen", .place = {120, 720, 3135, 255},
     .tabIndex = 65, .container = "Suche"}},
    {&Holmtex::Command7, {.name = "Command7", .text = "Info alsTextdatei speichern",
     .place = {10320, 6480, 2415, 375}, .tabIndex = 62}},
    {&Holmtex::Command23, {.name = "Command23", .text = "Duplikate löschen",
     .place = {12840, 6480, 855, 375}, .tabIndex = 86, .font = {"Times New Roman", 6.75, false}}},
    {&Holmtex::Command6, {.name = "Command6", .text = "Felder löschen",
     .place = {7920, 7080, 2295, 495}, .tabIndex = 46}},
    {&Holmtex::Command1, {.name = "Command1", .text = "Speichern",
     .place = {10320, 7080, 2415, 1095}, .tabIndex = 43}},
    {&Holmtex::Command19, {.name = "Command19", .text = "Zeile ins Archiv",
     .place = {12840, 7080, 855, 500}, .tabIndex = 78}},
    {&Holmtex::Command21, {.name = "Command21", .text = "Zeile in Aktuell",
     .place = {12840, 7080, 855, 495}, .tabIndex = 80}},
    {&Holmtex::Command22, {.name = "Command22", .text = "Zeile in Allgemein",
     .place = {12840, 7680, 855, 500}, .tabIndex = 85}},
    {&Holmtex::Command9, {.name = "Command9", .text = "Schließen, ohne Speichern",
     .place = {7920, 8280, 2295, 495}, .tabIndex = 66}},
    {&Holmtex::Command5, {.name = "Command5",
     .text = " Programm schließen, letztes Fenster speichern",
     .place = {10320, 8280, 2415, 495}, .tabIndex = 52,
     .accessibleName = "Programm schließen, letztes Fenster speichern"}},
    {&Holmtex::Command17, {.name = "Command17", .text = "2 Familien",
     .place = {12840, 8280, 855, 495}, .tabIndex = 76}},
    {&Holmtex::Command18, {.name = "Command18", .text = "4 Familien",
     .place = {12840, 8280, 855, 495}, .tabIndex = 77}},
    {&Holmtex::Command24, {.name = "Command24", .arrayIndex = 0, .text = "+",
     .place = {4920, 50, 375, 300}, .tabIndex = 87, .font = {"MS Sans Serif", 12, false},
     .accessibleName = "Plus: Eltern von Familie 1 übernehmen"}},
    {&Holmtex::Command25, {.name = "Command25", .text = "-", .place = {4920, 50, 375, 360},
     .tabIndex = 88, .font = {"MS Sans Serif", 13.5, false},
     .accessibleName = "Minus: Familien 2 und 4 zurückholen"}},
    {&Holmtex::Line1, {.name = "Line1", .place = {4920, 720, 5280, 720}, .tabStop = false,
     .foreColor = Black}},
    {&Holmtex::Line2, {.name = "Line2", .place = {4920, 1440, 5280, 4200}, .tabStop = false,
     .foreColor = Black}},

    // Headings and captions of the family blocks.
    {&Holmtex::fam1, {.name = "fam1", .arrayIndex = 2, .text = "Familie 1",
     .place = {1920, 120, 1215, 285}, .tabIndex = 50, .tabStop = false,
     .backColor = LightYellow, .foreColor = Blue, .font = kHeading, .locked = true}},
    {&Holmtex::fam2, {.name = "fam2", .arrayIndex = 1, .text = "Familie2",
     .place = {7320, 120, 1095, 285}, .tabIndex = 49, .tabStop = false,
     .backColor = LightYellow, .foreColor = Blue, .font = kHeading, .locked = true}},
    {&Holmtex::fam3, {.name = "fam3", .arrayIndex = 0, .text = "Familie 3",
     .place = {2040, 3600, 1215, 285}, .tabIndex = 48, .tabStop = false,
     .backColor = LightYellow, .foreColor = Blue, .font = kHeading, .locked = true}},
    {&Holmtex::fam4, {.name = "fam4", .arrayIndex = 3, .text = "Familie 4",
     .place = {7320, 3600, 1215, 285}, .tabIndex = 51, .tabStop = false,
     .backColor = LightYellow, .foreColor = Blue, .font = kHeading, .locked = true}},
    {&Holmtex::Text32, {.name = "Text32", .arrayIndex = 0, .sharedArray = true, .text = "Kinder",
     .place = {240, 240, 615, 285}, .tabIndex = 54, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Kinder, Familie 1"}},
    {&Holmtex::Text32, {.name = "Text32", .arrayIndex = 1, .sharedArray = true, .text = "Kinder",
     .place = {240, 3720, 615, 285}, .tabIndex = 56, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Kinder, Familie 3"}},
    {&Holmtex::Text32, {.name = "Text32", .arrayIndex = 2, .sharedArray = true, .text = "Kinder",
     .place = {5400, 240, 615, 285}, .tabIndex = 58, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Kinder, Familie 2"}},
    {&Holmtex::Text32, {.name = "Text32", .arrayIndex = 3, .sharedArray = true, .text = "Kinder",
     .place = {5400, 3720, 735, 285}, .tabIndex = 60, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Kinder, Familie 4"}},
    {&Holmtex::eltern1, {.name = "eltern1", .arrayIndex = 0, .text = "Eltern",
     .place = {4320, 240, 495, 285}, .tabIndex = 55, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Eltern, Familie 1"}},
    {&Holmtex::eltern2, {.name = "eltern2", .arrayIndex = 2, .text = "Eltern",
     .place = {9480, 240, 495, 285}, .tabIndex = 59, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Eltern, Familie 2"}},
    {&Holmtex::eltern3, {.name = "eltern3", .arrayIndex = 1, .text = "Eltern",
     .place = {4320, 3720, 495, 285}, .tabIndex = 57, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Eltern, Familie 3"}},
    {&Holmtex::eltern4, {.name = "eltern4", .arrayIndex = 3, .text = "Eltern",
     .place = {9600, 3720, 495, 285}, .tabIndex = 61, .tabStop = false, .backColor = LightYellow,
     .foreColor = Blue, .locked = true, .accessibleName = "Eltern, Familie 4"}},

    // The "L" buttons: children and parents of families 1 to 4.
    {&Holmtex::Command4, {.name = "Command4", .text = "L", .place = {960, 240, 495, 195},
     .tabIndex = 68, .accessibleName = "Kinder leeren, Familie 1"}},
    {&Holmtex::Command10, {.name = "Command10", .text = "L", .place = {3480, 240, 495, 195},
     .tabIndex = 69, .accessibleName = "Eltern leeren, Familie 1"}},
    {&Holmtex::Command11, {.name = "Command11", .arrayIndex = 0, .text = "L",
     .place = {6240, 240, 495, 195}, .tabIndex = 70, .accessibleName = "Kinder leeren, Familie 2"}},
    {&Holmtex::Command12, {.name = "Command12", .text = "L", .place = {8760, 240, 495, 195},
     .tabIndex = 71, .accessibleName = "Eltern leeren, Familie 2"}},
    {&Holmtex::Command13, {.name = "Command13", .text = "L", .place = {960, 3720, 495, 195},
     .tabIndex = 72, .accessibleName = "Kinder leeren, Familie 3"}},
    {&Holmtex::Command14, {.name = "Command14", .text = "L", .place = {3480, 3720, 495, 195},
     .tabIndex = 73, .accessibleName = "Eltern leeren, Familie 3"}},
    {&Holmtex::Command15, {.name = "Command15", .text = "L", .place = {6360, 3720, 495, 195},
     .tabIndex = 74, .accessibleName = "Kinder leeren, Familie 4"}},
    {&Holmtex::Command16, {.name = "Command16", .text = "L", .place = {8760, 3720, 495, 195},
     .tabIndex = 75, .accessibleName = "Eltern leeren, Familie 4"}},
};
// clang-format on

// The family fields in item order: families 1 to 4, each with child 1 to 6, father,
// mother, wedding date, remark. Their tab indices are 1 to 40 in this order.
constexpr std::array<TextBox Holmtex::*, 40> kFamilyFields = {
    &Holmtex::k11t, &Holmtex::k21t, &Holmtex::k31t, &Holmtex::k41t,  &Holmtex::k51t,
    &Holmtex::k61t, &Holmtex::v1t,  &Holmtex::m1t,  &Holmtex::dat1t, &Holmtex::bem1t,
    &Holmtex::k12t, &Holmtex::k22t, &Holmtex::k32t, &Holmtex::k42t,  &Holmtex::k52t,
    &Holmtex::k62t, &Holmtex::v2t,  &Holmtex::m2t,  &Holmtex::dat2t, &Holmtex::bem2t,
    &Holmtex::k13t, &Holmtex::k23t, &Holmtex::k33t, &Holmtex::k43t,  &Holmtex::k53t,
    &Holmtex::k63t, &Holmtex::v3t,  &Holmtex::m3t,  &Holmtex::dat3t, &Holmtex::bem3t,
    &Holmtex::k14t, &Holmtex::k24t, &Holmtex::k34t, &Holmtex::k44t,  &Holmtex::k54t,
    &Holmtex::k64t, &Holmtex::v4t,  &Holmtex::m4t,  &Holmtex::dat4t, &Holmtex::bem4t};

// A family block: its children column and its parents column, from the block's first Top.
struct Block {
    int childLeft, childWidth, parentLeft, top;
};
constexpr Block kBlocks[4] = {{120, 2415, 2640, 480},
                              {5280, 2535, 7920, 480},
                              {120, 2415, 2640, 3960},
                              {5280, 2535, 7920, 3960}};

// One field of a block, or the six children of its children column.
struct Role {
    const char* prefix;  // the name: prefix, child number for a child, family number, "t"
    const char* label;   // for screen readers, with the family number after it
    // Below the block's Top, for children from one child to the next; a child's width is
    // its column's.
    int down, width, height;
    std::optional<Rgb> backColor, foreColor;
    bool multiLine;
};
const Role kChild{"k", "Kind", 480, 0, 495, LightGreen, Green, true};
const Role kParents[4] = {{"v", "Vater", 0, 2295, 495, LightBlue, Navy, true},
                          {"m", "Mutter", 720, 2295, 495, LightRed, Purple, true},
                          {"dat", "H-Datum", 480, 2055, 285, std::nullopt, std::nullopt, false},
                          {"bem", "Bemerkung", 1320, 2295, 1575, std::nullopt, std::nullopt, true}};

// The row of family field i (0 to 39, item order).
Row familyRow(int i) {
    const int family = i / 10 + 1, r = i % 10;
    const Block& block = kBlocks[family - 1];
    const bool child = r < 6;
    const Role& role = child ? kChild : kParents[r - 6];
    const std::string f = std::to_string(family), c = child ? std::to_string(r + 1) : "";
    std::string name = role.prefix;
    name.append(c).append(f).append("t");
    std::string label = role.label;
    if (child) label.append(" ").append(c);
    label.append(", Familie ").append(f);
    ControlDesign d{.name = name,
                    .text = name.substr(0, name.size() - 1),
                    .place = {child ? block.childLeft : block.parentLeft,
                              block.top + (child ? role.down * r : role.down),
                              child ? block.childWidth : role.width, role.height},
                    .tabIndex = i + 1,
                    .backColor = role.backColor,
                    .foreColor = role.foreColor,
                    .multiLine = role.multiLine,
                    .scrollBar = role.multiLine,
                    .accessibleName = label};
    if (name == "k31t") d.text += "\r\n";  // the one placeholder with a line break
    return {kFamilyFields[static_cast<std::size_t>(i)], std::move(d)};
}

const std::vector<Row>& designRows() {
    static const std::vector<Row> rows = [] {
        std::vector<Row> all(std::begin(kDesign), std::end(kDesign));
        for (int i = 0; i < 40; ++i) all.push_back(familyRow(i));
        return all;
    }();
    return rows;
}

}  // namespace

void Holmtex::applyDesignTable() {
    std::vector<OptionButton*> options;
    for (const Row& row : designRows()) {
        Control& control = memberOf(*this, row);
        control.applyDesign(row.design);
        if (!row.design.container.empty()) control.container = findControl(row.design.container);
        if (control.kind() == ControlKind::OptionButton)
            options.push_back(static_cast<OptionButton*>(&control));
        controls_.push_back(&control);
    }
    for (OptionButton* option : options) option->setGroup(options);  // one group
}

TextBox& Holmtex::fieldForItem(int n) {
    return this->*kFamilyFields.at(static_cast<std::size_t>(n - 10));
}

}  // namespace holmtex
