#pragma once
// The controls of the window model: plain objects holding what the operations use, each
// with at most one event hook. Setting a value raises the control's event at once, before
// the setter returns, and only when the value really changes. Observers (the toolkit
// binding) hear of every change before the event runs.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/line_list.h"

namespace holmtex {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

namespace colors {
inline constexpr Rgb LightYellow{255, 255, 192};
inline constexpr Rgb LightGreen{192, 255, 192};
inline constexpr Rgb LightBlue{192, 192, 255};
inline constexpr Rgb LightRed{255, 192, 192};
inline constexpr Rgb LightOrange{255, 224, 192};
inline constexpr Rgb Green{0, 128, 0};
inline constexpr Rgb DarkGreen{0, 64, 0};
inline constexpr Rgb Navy{0, 0, 128};
inline constexpr Rgb Purple{128, 0, 128};
inline constexpr Rgb Blue{0, 0, 192};
inline constexpr Rgb Black{0, 0, 0};
}  // namespace colors

struct Font {
    std::string_view name = "MS Sans Serif";  // fonts are named by literals only
    double points = 8.25;
    bool bold = false;
    bool operator==(const Font&) const = default;
};

enum class ControlKind { TextBox, CommandButton, OptionButton, ListBox, ComboBox, Frame, Line };
enum class Alignment { Left, Right, Center };
// LinesAppended: lines were added at the end of a list's lines; those before stay as they
// were, and no line is selected.
// ScrollTo: a list is asked to bring a line into sight (ListBox::scrollLine).
enum class Property {
    Text,
    Visible,
    Geometry,
    Value,
    Lines,
    LinesAppended,
    ListIndex,
    Entries,
    ScrollTo
};

// Left, Top, Width and Height in twips; for a line its two points x1, y1, x2, y2.
struct Place {
    int left = 0, top = 0, width = 0, height = 0;
};

// One control as the window's design gives it: a row of the window's design table.
struct ControlDesign {
    std::string name;
    int arrayIndex = -1;       // index in a control array, -1 when not in one
    bool sharedArray = false;  // the array has more than one member
    std::string text;          // caption, or the text a box holds at design time
    Place place;
    int tabIndex = -1;
    bool tabStop = true;
    std::optional<Rgb> backColor, foreColor;  // none: the system's colours
    Font font;
    Alignment alignment = Alignment::Left;
    bool locked = false, multiLine = false, scrollBar = false;  // text boxes only
    std::string container;  // the name of the frame the control sits in, or none
    bool visible = true;
    std::string accessibleName;  // none: the text
};

class Control {
public:
    using Observer = std::function<void(Property)>;

    explicit Control(ControlKind kind) : kind_(kind) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    // "Text32(2)" for a member of a control array with several members, else the name.
    std::string qualifiedName() const;

    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void setTop(int twips);
    void setHeight(int twips);

    bool visible() const { return visible_; }
    void setVisible(bool visible);

    void observe(Observer observer) { observers_.push_back(std::move(observer)); }

    // Gives the control its design values, once, while the window is built and before
    // anything observes it or listens to its events. The container is the window's to find.
    virtual void applyDesign(const ControlDesign& design);

    // Design values: fixed once the form is built.
    int arrayIndex = -1;                      // index in a control array, -1 when not in one
    bool sharedArray = false;                 // the array has more than one member
    std::optional<Rgb> backColor, foreColor;  // none: the system's colours
    Font font;
    int tabIndex = -1;
    bool tabStop = true;
    Alignment alignment = Alignment::Left;
    Control* container = nullptr;  // the frame the control sits in, or none
    std::string accessibleName;

protected:
    void notify(Property property);

private:
    ControlKind kind_;
    std::string name_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    std::vector<Observer> observers_;
};

// Single- and multi-line text boxes, label boxes (locked, no tab stop) and the message line.
class TextBox : public Control {
public:
    TextBox() : Control(ControlKind::TextBox) {}
    void applyDesign(const ControlDesign& design) override;

    const std::string& text() const { return text_; }
    void setText(std::string_view text);  // raises onChange when the text differs

    bool multiLine = false;
    bool scrollBar = false;  // vertical scroll bar of a multi-line box
    bool locked = false;     // read-only for the user; operations may still set the text
    std::function<void()> onChange;

private:
    std::string text_;
};

class CommandButton : public Control {
public:
    CommandButton() : Control(ControlKind::CommandButton) {}
    void applyDesign(const ControlDesign& design) override;
    const std::string& caption() const { return caption_; }
    void setCaption(std::string_view caption);
    void click();  // a user's click: raises onClick

    std::function<void()> onClick;

private:
    std::string caption_;
};

class OptionButton : public Control {
public:
    OptionButton() : Control(ControlKind::OptionButton) {}
    void applyDesign(const ControlDesign& design) override;
    const std::string& caption() const { return caption_; }
    bool value() const { return value_; }
    // Switching one on switches the others of its group off and raises its onClick.
    void setValue(bool on);
    void setGroup(std::vector<OptionButton*> group) { group_ = std::move(group); }

    std::function<void()> onClick;

private:
    std::string caption_;
    bool value_ = false;
    std::vector<OptionButton*> group_;
};

class ListBox : public Control {
public:
    using Lines = LineList;

    ListBox();

    const Lines& lines() const { return *lines_; }
    int listCount() const { return static_cast<int>(lines_->size()); }
    int listIndex() const { return index_; }

    void clear();                    // no line left, none selected
    void addItem(std::string line);  // one line at the end
    void setLines(Lines lines);      // replaces all lines in one step
    // Replaces all lines in one step by lines that are kept elsewhere, without copying
    // them; none is selected. Their keeper may later add lines at their end, and then
    // calls linesAppended().
    void showLines(std::shared_ptr<const Lines> lines);
    bool shows(const Lines* lines) const { return lines_.get() == lines; }
    // The keeper of the lines shown has added some at their end (perhaps none): no line
    // is selected any more, as after clear().
    void linesAppended();
    // The same while the selected line, if any, stays selected: lines that come while the
    // user works.
    void linesAdded();
    // Selects a line whose page is open already: raises no click.
    void showSelected(int index);
    // Selects a line (-1: none). Selecting a different line raises onClick; an index
    // outside the list changes nothing.
    void setListIndex(int index);
    // A user's click on a line: like setListIndex, and a click on the line that is
    // already selected opens it again.
    void clickLine(int index);
    // Brings a line into sight without selecting it.
    void scrollTo(int index);
    int scrollLine() const { return scrollLine_; }  // the line asked for last

    std::function<void()> onClick;

private:
    std::shared_ptr<const Lines> lines_;  // never null
    int index_ = -1;
    int scrollLine_ = -1;
};

class ComboBox : public Control {
public:
    ComboBox() : Control(ControlKind::ComboBox) {}

    const std::string& text() const { return text_; }
    void setText(std::string_view text);  // raises onChange when the text differs
    const std::vector<std::string>& entries() const { return entries_; }
    void addItem(std::string entry);

    std::function<void()> onChange;

private:
    std::string text_;
    std::vector<std::string> entries_;
};

class Frame : public Control {
public:
    Frame() : Control(ControlKind::Frame) {}
};

// A straight line from (x1, y1) to (x2, y2), 3 pixels wide; its place is the rectangle
// the two points span.
class Line : public Control {
public:
    Line() : Control(ControlKind::Line) {}
    void applyDesign(const ControlDesign& design) override;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

}  // namespace holmtex
