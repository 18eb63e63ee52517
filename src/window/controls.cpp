#include "window/controls.h"

#include <algorithm>
#include <cstdlib>

namespace holmtex {

void Control::applyDesign(const ControlDesign& design) {
    name_ = design.name;
    left_ = design.place.left;
    top_ = design.place.top;
    width_ = design.place.width;
    height_ = design.place.height;
    visible_ = design.visible;
    arrayIndex = design.arrayIndex;
    sharedArray = design.sharedArray;
    backColor = design.backColor;
    foreColor = design.foreColor;
    font = design.font;
    tabIndex = design.tabIndex;
    tabStop = design.tabStop;
    alignment = design.alignment;
    accessibleName = design.accessibleName.empty() ? design.text : design.accessibleName;
}

std::string Control::qualifiedName() const {
    if (!sharedArray) return name_;
    return name_ + "(" + std::to_string(arrayIndex) + ")";
}

void Control::notify(Property property) {
    for (auto& observer : observers_) observer(property);
}

void Control::setTop(int twips) {
    if (top_ == twips) return;
    top_ = twips;
    notify(Property::Geometry);
}

void Control::setHeight(int twips) {
    if (height_ == twips) return;
    height_ = twips;
    notify(Property::Geometry);
}

void Control::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    notify(Property::Visible);
}

void TextBox::applyDesign(const ControlDesign& design) {
    Control::applyDesign(design);
    text_ = design.text;
    multiLine = design.multiLine;
    scrollBar = design.scrollBar;
    locked = design.locked;
}

void TextBox::setText(std::string_view text) {
    if (text_ == text) return;
    text_.assign(text);
    notify(Property::Text);
    if (onChange) onChange();
}

void CommandButton::applyDesign(const ControlDesign& design) {
    Control::applyDesign(design);
    caption_ = design.text;
}

void CommandButton::setCaption(std::string_view caption) {
    if (caption_ == caption) return;
    caption_.assign(caption);
    notify(Property::Text);
}

void CommandButton::click() {
    if (onClick) onClick();
}

void OptionButton::applyDesign(const ControlDesign& design) {
    Control::applyDesign(design);
    caption_ = design.text;
}

void OptionButton::setValue(bool on) {
    if (value_ == on) return;
    if (on) {
        for (OptionButton* other : group_)
            if (other != this && other->value_) {
                other->value_ = false;
                other->notify(Property::Value);
            }
    }
    value_ = on;
    notify(Property::Value);
    if (on && onClick) onClick();
}

ListBox::ListBox() : Control(ControlKind::ListBox), lines_(std::make_shared<const Lines>()) {}

void ListBox::clear() { setLines({}); }

void ListBox::addItem(std::string line) {
    // The lines may be kept elsewhere as well, so they change only as a new copy.
    auto lines = std::make_shared<Lines>(*lines_);
    lines->push_back(line);
    lines_ = std::move(lines);
    notify(Property::Lines);
}

void ListBox::setLines(Lines lines) { showLines(std::make_shared<const Lines>(std::move(lines))); }

void ListBox::showLines(std::shared_ptr<const Lines> lines) {
    lines_ = lines ? std::move(lines) : std::make_shared<const Lines>();
    index_ = -1;
    notify(Property::Lines);
}

void ListBox::linesAppended() {
    index_ = -1;
    notify(Property::LinesAppended);
}

void ListBox::linesAdded() { notify(Property::LinesAppended); }

void ListBox::showSelected(int index) {
    if (index < -1 || index >= listCount() || index == index_) return;
    index_ = index;
    notify(Property::ListIndex);
}

void ListBox::setListIndex(int index) {
    if (index < -1 || index >= listCount() || index == index_) return;
    showSelected(index);
    if (index >= 0 && onClick) onClick();
}

void ListBox::clickLine(int index) {
    if (index >= 0 && index == index_) {
        if (onClick) onClick();
        return;
    }
    setListIndex(index);
}

void ListBox::scrollTo(int index) {
    if (index < 0 || index >= listCount()) return;
    scrollLine_ = index;
    notify(Property::ScrollTo);
}

void ComboBox::setText(std::string_view text) {
    if (text_ == text) return;
    text_.assign(text);
    notify(Property::Text);
    if (onChange) onChange();
}

void ComboBox::addItem(std::string entry) {
    entries_.push_back(std::move(entry));
    notify(Property::Entries);
}

void Line::applyDesign(const ControlDesign& design) {
    const Place& p = design.place;
    x1 = p.left;
    y1 = p.top;
    x2 = p.width;
    y2 = p.height;
    ControlDesign box = design;
    box.place = {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)};
    Control::applyDesign(box);
}

}  // namespace holmtex
