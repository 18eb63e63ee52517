#include "window/holmtex.h"

namespace holmtex {

Holmtex::Holmtex(Platform& platform, std::filesystem::path workDir, ListReading reading)
    : platform_(platform),
      workDir_(std::move(workDir)),
      lists_(
          workDir_, [this] { return platform_.now(); }, reading) {
    applyDesignTable();
    bindEvents();
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

    // While a list is being read, what needs it whole waits for it first, and then runs as
    // if clicked once it was read (list_aside.cpp). Typing, the views and the clearing
    // buttons go on meanwhile; the data check and the family sheet wait themselves.
    const auto waitFirst = [this](std::function<void()>& hook) {
        hook = [this, run = std::move(hook)] {
            settleLists();
            run();
        };
    };
    for (CommandButton* button : {&Command1, &Command2, &Command3, &Command5, &Command8, &Command19,
                                  &Command21, &Command22, &Command23})
        waitFirst(button->onClick);
    for (OptionButton* option : {&Option1, &Option2, &Option3}) waitFirst(option->onClick);
    Combo1.onChange = [this] {
        if (isCommandWord(Combo1.text())) settleLists();
        Combo1_Change();
    };
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

Control* Holmtex::findControl(std::string_view qualifiedName) const {
    for (Control* control : controls_)
        if (control->qualifiedName() == qualifiedName) return control;
    return nullptr;
}

}  // namespace holmtex
