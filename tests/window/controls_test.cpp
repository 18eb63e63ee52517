#include "window/controls.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace holmtex {
namespace {

TEST(TextAndComboBox, ChangeOnlyWhenTheTextDiffers) {
    TextBox text;
    ComboBox combo;
    std::vector<std::string> seen;
    text.onChange = [&] { seen.push_back("T:" + text.text()); };
    combo.onChange = [&] { seen.push_back("C:" + combo.text()); };
    for (const char* value : {"4711", "4711", "", "", "a\r\nb"}) {
        text.setText(value);
        combo.setText(value);
    }
    EXPECT_EQ((std::vector<std::string>{"T:4711", "C:4711", "T:", "C:", "T:a\r\nb", "C:a\r\nb"}),
              seen);
}

TEST(ListBox, SelectingALine) {
    ListBox list;
    std::vector<int> clicks;
    list.onClick = [&] { clicks.push_back(list.listIndex()); };
    list.setLines({"a", "b", "b"});
    EXPECT_EQ(-1, list.listIndex());

    struct Step {
        const char* what;
        bool user;  // clickLine instead of setListIndex
        int index;
        int expectIndex;
        std::vector<int> expectClicks;
    };
    const Step steps[] = {
        {"select a line", false, 2, 2, {2}},
        {"select it again", false, 2, 2, {}},
        {"an identical line is a line of its own", false, 1, 1, {1}},
        {"select another", false, 0, 0, {0}},
        {"past the end changes nothing", false, 3, 0, {}},
        {"below -1 changes nothing", false, -2, 0, {}},
        {"none selected: no click", false, -1, -1, {}},
        {"user clicks where there is no line", true, -1, -1, {}},
        {"user clicks a line", true, 1, 1, {1}},
        {"user clicks the selected line again", true, 1, 1, {1}},
        {"user clicks past the end", true, 7, 1, {}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        clicks.clear();
        if (s.user)
            list.clickLine(s.index);
        else
            list.setListIndex(s.index);
        EXPECT_EQ(s.expectIndex, list.listIndex());
        EXPECT_EQ(s.expectClicks, clicks);
    }
}

TEST(OptionButton, OneOfTheGroupIsOn) {
    OptionButton o1, o2, o3;
    std::vector<OptionButton*> group = {&o1, &o2, &o3};
    std::string log;
    for (size_t i = 0; i < group.size(); ++i) {
        ControlDesign design;
        design.name = "Option" + std::to_string(i + 1);
        group[i]->applyDesign(design);
    }
    for (OptionButton* o : group) {
        o->setGroup(group);
        // The event sees the group already settled.
        o->onClick = [&, o] {
            log += o->name() + "[" + std::to_string(o1.value()) + std::to_string(o2.value()) +
                   std::to_string(o3.value()) + "] ";
        };
    }
    std::vector<bool> heard;  // what the binding reads when told of a change of o1
    o1.observe([&](Property) { heard.push_back(o1.value()); });
    o1.setValue(true);
    o1.setValue(true);  // already on: no event
    o3.setValue(true);
    o3.setValue(false);  // switching off raises nothing
    o2.setValue(true);
    EXPECT_EQ("Option1[100] Option3[001] Option2[010] ", log);
    EXPECT_EQ((std::vector<bool>{true, false}), heard);
}

// Lines kept elsewhere are shown without a copy; their keeper adds lines at the end, and
// the list then has none selected, as after a rebuild. Lines added through the list itself
// leave the keeper's as they were.
TEST(ListBox, ShowsLinesKeptElsewhere) {
    ListBox list;
    std::vector<Property> heard;
    list.observe([&](Property p) { heard.push_back(p); });
    auto kept = std::make_shared<LineList>(LineList{"a", "b"});
    list.showLines(kept);
    EXPECT_TRUE(list.shows(kept.get()));
    list.setListIndex(1);
    kept->push_back("c");
    list.linesAppended();
    EXPECT_EQ(-1, list.listIndex());
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), list.lines());
    list.addItem("d");
    EXPECT_FALSE(list.shows(kept.get()));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), *kept);
    EXPECT_EQ("d", list.lines().back());
    EXPECT_EQ((std::vector<Property>{Property::Lines, Property::ListIndex, Property::LinesAppended,
                                     Property::Lines}),
              heard);

    LineList more{"x", ""};
    more.append(LineList{"y"});
    EXPECT_EQ((LineList{"x", "", "y"}), more);
    EXPECT_EQ("", more.at(1));
    EXPECT_THROW(more.at(3), std::out_of_range);
}

TEST(Events, NestedEventsRunInsideTheSetter) {
    TextBox a, b;
    ListBox list;
    std::vector<std::string> log;
    list.onClick = [&] {
        log.push_back("click begin");
        a.setText("seite");
        log.push_back("click end, b=" + b.text());
    };
    a.onChange = [&] {
        log.push_back("a " + a.text());
        b.setText(a.text() + "!");
        log.push_back("a done");
    };
    b.onChange = [&] { log.push_back("b " + b.text()); };
    list.setLines({"x"});
    list.setListIndex(0);
    EXPECT_EQ((std::vector<std::string>{"click begin", "a seite", "b seite!", "a done",
                                        "click end, b=seite!"}),
              log);
}

}  // namespace
}  // namespace holmtex
