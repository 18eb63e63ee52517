#include "window/holmtex.h"

namespace holmtex {

namespace {

void makeLabel(TextBox& box, std::string_view text, Rgb fore) {
    box.setText(text);
    box.locked = true;
    box.tabStop = false;
    box.backColor = colors::LightYellow;
    box.foreColor = fore;
    box.accessibleName = std::string(text);
}

}  // namespace

Holmtex::Holmtex(Platform& platform, std::filesystem::path workDir)
    : platform_(platform), workDir_(std::move(workDir)) {
    controls_ = {&Text1,     &Text2,     &Text10,    &Text5,     &Text31,    &List1,
                 &Option1,   &Option2,   &Option3,   &Command2,  &Command3,  &Suche,
                 &Text4,     &Combo1,    &Command8,  &Command7,  &Command23, &Command6,
                 &Command1,  &Command19, &Command21, &Command22, &Command9,  &Command5,
                 &Command17, &Command18, &Command24, &Command25, &Line1,     &Line2,
                 &fam1,      &fam2,      &fam3,      &fam4,      &Text32[0], &Text32[1],
                 &Text32[2], &Text32[3], &eltern1,   &eltern2,   &eltern3,   &eltern4,
                 &Command4,  &Command10, &Command11, &Command12, &Command13, &Command14,
                 &Command15, &Command16};
    familyFields_ = {&k11t, &k21t, &k31t, &k41t, &k51t, &k61t, &v1t, &m1t, &dat1t, &bem1t,
                     &k12t, &k22t, &k32t, &k42t, &k52t, &k62t, &v2t, &m2t, &dat2t, &bem2t,
                     &k13t, &k23t, &k33t, &k43t, &k53t, &k63t, &v3t, &m3t, &dat3t, &bem3t,
                     &k14t, &k24t, &k34t, &k44t, &k54t, &k64t, &v4t, &m4t, &dat4t, &bem4t};
    for (TextBox* field : familyFields_) controls_.push_back(field);
    setDesignValues();
    bindEvents();
}

void Holmtex::setDesignValues() {
    // Family fields: item order gives the tab order 1 to 40.
    for (int i = 0; i < 40; ++i) {
        TextBox& field = *familyFields_[i];
        const int family = i / 10 + 1, role = i % 10;
        const std::string fam = ", Familie " + std::to_string(family);
        field.tabIndex = i + 1;
        std::string placeholder = field.name().substr(0, field.name().size() - 1);
        if (&field == &k31t) placeholder += "\r\n";
        field.setText(placeholder);
        if (role < 6) {
            field.multiLine = field.scrollBar = true;
            field.backColor = colors::LightGreen;
            field.foreColor = colors::Green;
            field.accessibleName = "Kind " + std::to_string(role + 1) + fam;
        } else if (role == 6) {
            field.multiLine = field.scrollBar = true;
            field.backColor = colors::LightBlue;
            field.foreColor = colors::Navy;
            field.accessibleName = "Vater" + fam;
        } else if (role == 7) {
            field.multiLine = field.scrollBar = true;
            field.backColor = colors::LightRed;
            field.foreColor = colors::Purple;
            field.accessibleName = "Mutter" + fam;
        } else if (role == 8) {
            field.accessibleName = "H-Datum" + fam;
        } else {
            field.multiLine = field.scrollBar = true;
            field.accessibleName = "Bemerkung" + fam;
        }
    }

    // Headings and captions of the family blocks.
    const Font heading{"Arial Unicode MS", 12, true};
    TextBox* headings[] = {&fam3, &fam2, &fam1, &fam4};  // array indices 0 to 3
    const char* headingTexts[] = {"Familie 3", "Familie2", "Familie 1", "Familie 4"};
    TextBox* elterns[] = {&eltern1, &eltern3, &eltern2, &eltern4};
    for (int i = 0; i < 4; ++i) {
        makeLabel(*headings[i], headingTexts[i], colors::Blue);
        headings[i]->font = heading;
        headings[i]->arrayIndex = i;
        headings[i]->tabIndex = 48 + i;
        makeLabel(Text32[i], "Kinder", colors::Blue);
        Text32[i].arrayIndex = i;
        Text32[i].sharedArray = true;
        Text32[i].tabIndex = 54 + 2 * i;
        makeLabel(*elterns[i], "Eltern", colors::Blue);
        elterns[i]->arrayIndex = i;
        elterns[i]->tabIndex = 55 + 2 * i;
    }
    // Screen readers need the family of each "Kinder"/"Eltern" caption.
    const int captionFamily[] = {1, 3, 2, 4};
    for (int i = 0; i < 4; ++i) {
        const std::string fam = ", Familie " + std::to_string(captionFamily[i]);
        Text32[i].accessibleName = "Kinder" + fam;
        elterns[i]->accessibleName = "Eltern" + fam;
    }

    CommandButton* clearButtons[] = {&Command4,  &Command10, &Command11, &Command12,
                                     &Command13, &Command14, &Command15, &Command16};
    const int clearFamily[] = {1, 1, 2, 2, 3, 3, 4, 4};
    for (int i = 0; i < 8; ++i) {
        clearButtons[i]->tabIndex = 68 + i;
        clearButtons[i]->accessibleName = std::string(i % 2 == 0 ? "Kinder" : "Eltern") +
                                          " leeren, Familie " + std::to_string(clearFamily[i]);
    }
    Command11.arrayIndex = 0;

    Text1.multiLine = Text1.scrollBar = true;
    Text1.setText("Text1");
    Text1.tabIndex = 41;
    Text1.accessibleName = "Freitext";

    Text2.setText("Text2");
    Text2.foreColor = colors::Navy;
    Text2.font = {"MS Sans Serif", 9.75, true};
    Text2.tabIndex = 42;
    Text2.accessibleName = "Vorgang Nr.";

    makeLabel(Text10, "Vorgang Nr. ", colors::Blue);
    Text10.alignment = Alignment::Right;
    Text10.font.bold = true;
    Text10.tabIndex = 47;
    Text10.accessibleName = "Vorgang Nr.";

    Text5.setText("Text5");
    Text5.multiLine = true;
    Text5.tabStop = false;
    Text5.backColor = colors::LightYellow;
    Text5.foreColor = colors::DarkGreen;
    Text5.tabIndex = 67;
    Text5.accessibleName = "Meldung";

    makeLabel(Text31, "gespeicherte Merkseiten AKTUELL", colors::Black);
    Text31.alignment = Alignment::Center;
    Text31.font = {"Arial", 8.25, true};
    Text31.tabIndex = 53;

    List1.backColor = colors::LightOrange;
    List1.font = {"Arial Unicode MS", 8.25, false};
    List1.tabIndex = 0;
    List1.accessibleName = "gespeicherte Merkseiten";

    OptionButton* options[] = {&Option1, &Option2, &Option3};
    for (int i = 0; i < 3; ++i) {
        options[i]->backColor = colors::LightYellow;
        options[i]->tabIndex = 81 + i;
        options[i]->accessibleName = options[i]->caption();
        options[i]->setGroup({&Option1, &Option2, &Option3});
    }

    Suche.backColor = colors::LightYellow;
    Suche.tabIndex = 63;
    Suche.tabStop = false;
    Suche.accessibleName = "Suche";

    makeLabel(Text4, "Sucheingabe oder Funktionsbefehl", colors::Black);
    Text4.container = &Suche;
    Text4.tabIndex = 64;
    Combo1.container = &Suche;
    Combo1.tabIndex = 84;
    Combo1.accessibleName = "Sucheingabe oder Funktionsbefehl";
    Command8.container = &Suche;
    Command8.tabIndex = 65;

    struct ButtonDesign {
        CommandButton* button;
        int tabIndex;
    };
    for (auto [button, tab] : {ButtonDesign{&Command1, 43}, {&Command2, 44}, {&Command3, 45},
                               {&Command5, 52}, {&Command6, 46}, {&Command7, 62},
                               {&Command9, 66}, {&Command17, 76}, {&Command18, 77},
                               {&Command19, 78}, {&Command21, 80}, {&Command22, 85},
                               {&Command23, 86}, {&Command24, 87}, {&Command25, 88}}) {
        button->tabIndex = tab;
        button->accessibleName = button->caption();
    }
    Command3.font = {"Times New Roman", 8.25, false};
    Command23.font = {"Times New Roman", 6.75, false};
    Command24.font = {"MS Sans Serif", 12, false};
    Command24.arrayIndex = 0;
    Command24.accessibleName = "Plus: Eltern von Familie 1 übernehmen";
    Command25.font = {"MS Sans Serif", 13.5, false};
    Command25.accessibleName = "Minus: Familien 2 und 4 zurückholen";
    Command5.accessibleName = "Programm schließen, letztes Fenster speichern";

    Line1.foreColor = Line2.foreColor = colors::Black;
    Line1.tabStop = Line2.tabStop = false;
}

void Holmtex::bindEvents() {
    Command1.onClick = [this] { Command1_Click(); };
    Command2.onClick = [this] { Command2_Click(); };
    Command3.onClick = [this] { Command3_Click(); };
    Command4.onClick = [this] { Command4_Click(); };
    Command5.onClick = [this] { Command5_Click(); };
    Command7.onClick = [this] { Command7_Click(); };
    Command8.onClick = [this] { Command8_Click(); };
    Command9.onClick = [this] { Command9_Click(); };
    Command19.onClick = [this] { Command19_Click(); };
    Command21.onClick = [this] { Command21_Click(); };
    Command22.onClick = [this] { Command22_Click(); };
    Command23.onClick = [this] { Command23_Click(); };
    Command6.onClick = [this] { Command6_Click(); };
    Command10.onClick = [this] { Command10_Click(); };
    Command11.onClick = [this] { Command11_Click(Command11.arrayIndex); };
    Command12.onClick = [this] { Command12_Click(); };
    Command13.onClick = [this] { Command13_Click(); };
    Command14.onClick = [this] { Command14_Click(); };
    Command15.onClick = [this] { Command15_Click(); };
    Command16.onClick = [this] { Command16_Click(); };
    Command17.onClick = [this] { Command17_Click(); };
    Command18.onClick = [this] { Command18_Click(); };
    Command24.onClick = [this] { Command24_Click(Command24.arrayIndex); };
    Command25.onClick = [this] { Command25_Click(); };
    Option1.onClick = [this] { Option1_Click(); };
    Option2.onClick = [this] { Option2_Click(); };
    Option3.onClick = [this] { Option3_Click(); };
    List1.onClick = [this] { List1_Click(); };
    Text1.onChange = [this] { Text1_Change(); };
    Text2.onChange = [this] { Text2_Change(); };
    Combo1.onChange = [this] { Combo1_Change(); };
}

void Holmtex::setWindowSize(int width, int height) {
    if (width == windowWidth_ && height == windowHeight_) return;
    windowWidth_ = width;
    windowHeight_ = height;
    for (auto& observer : windowObservers_) observer();
}

void Holmtex::observeWindowSize(std::function<void()> observer) {
    windowObservers_.push_back(std::move(observer));
}

std::optional<ListKind> Holmtex::selectedList() const {
    if (Option1.value()) return ListKind::Aktuell;
    if (Option2.value()) return ListKind::Archiv;
    if (Option3.value()) return ListKind::Allgemein;
    return std::nullopt;
}

std::filesystem::path Holmtex::filePath(std::string_view bareName) const {
    return workDir_ / std::filesystem::path(bareName).filename();
}

TextBox& Holmtex::fieldForItem(int n) { return *familyFields_.at(static_cast<size_t>(n - 10)); }

Control* Holmtex::findControl(std::string_view qualifiedName) const {
    for (Control* control : controls_)
        if (control->qualifiedName() == qualifiedName) return control;
    return nullptr;
}

}  // namespace holmtex
