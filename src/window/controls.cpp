#include "window/controls.h"

#include <algorithm>
#include <cstdlib>

namespace holmtex {

Control::Control(ControlKind kind, std::string name, int left, int top, int width, int height)
    : kind_(kind), name_(std::move(name)), left_(left), top_(top), width_(width), height_(height) {}

std::string Control::qualifiedName() const {
    if (!sharedArray) return name_;
    return name_ + "(" + std::to_string(arrayIndex) + ")";
}

void Control::notify(Property property) {
    for (auto& observer : observers_) observer(property);
}

void Control::setLeft(int twips) {
    if (left_ == twips) return;
    left_ = twips;
    notify(Property::Geometry);
}

void Control::setTop(int twips) {
    if (top_ == twips) return;
    top_ = twips;
    notify(Property::Geometry);
}

void Control::setWidth(int twips) {
    if (width_ == twips) return;
    width_ = twips;
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

TextBox::TextBox(std::string name, int left, int top, int width, int height)
    : Control(ControlKind::TextBox, std::move(name), left, top, width, height) {}

void TextBox::setText(std::string_view text) {
    if (text_ == text) return;
    text_.assign(text);
    notify(Property::Text);
    if (onChange) onChange();
}

CommandButton::CommandButton(std::string name, std::string caption, int left, int top,
                             int width, int height)
    : Control(ControlKind::CommandButton, std::move(name), left, top, width, height),
      caption_(std::move(caption)) {}

void CommandButton::setCaption(std::string_view caption) {
    if (caption_ == caption) return;
    caption_.assign(caption);
    notify(Property::Text);
}

void CommandButton::click() {
    if (onClick) onClick();
}

OptionButton::OptionButton(std::string name, std::string caption, int left, int top, int width,
                           int height)
    : Control(ControlKind::OptionButton, std::move(name), left, top, width, height),
      caption_(std::move(caption)) {}

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

ListBox::ListBox(std::string name, int left, int top, int width, int height)
    : Control(ControlKind::ListBox, std::move(name), left, top, width, height),
      lines_(std::make_shared<const Lines>()) {}

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

void ListBox::setListIndex(int index) {
    if (index < -1 || index >= listCount() || index == index_) return;
    index_ = index;
    notify(Property::ListIndex);
    if (index >= 0 && onClick) onClick();
}

void ListBox::clickLine(int index) {
    if (index >= 0 && index == index_) {
        if (onClick) onClick();
        return;
    }
    setListIndex(index);
}

ComboBox::ComboBox(std::string name, int left, int top, int width, int height)
    : Control(ControlKind::ComboBox, std::move(name), left, top, width, height) {}

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

Frame::Frame(std::string name, int left, int top, int width, int height)
    : Control(ControlKind::Frame, std::move(name), left, top, width, height) {}

Line::Line(std::string name, int x1_, int y1_, int x2_, int y2_)
    : Control(ControlKind::Line, std::move(name), std::min(x1_, x2_), std::min(y1_, y2_),
              std::abs(x2_ - x1_), std::abs(y2_ - y1_)),
      x1(x1_), y1(y1_), x2(x2_), y2(y2_) {}

}  // namespace holmtex
