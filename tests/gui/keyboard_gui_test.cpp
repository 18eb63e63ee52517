// The keyboard reaches every control: the option group, Enter, Tab past covered fields,
// and the list that opens a page only when a line is chosen.
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "gui/gui_fixture.h"

namespace holmtex::test {
namespace {

// Counts the runs of a control's click event, then runs it as before.
void countClicks(std::function<void()>& onClick, int& count) {
    onClick = [run = onClick, &count] {
        ++count;
        run();
    };
}

std::vector<std::string> familyFields(std::initializer_list<int> families) {
    std::vector<std::string> names;
    for (int f : families) {
        for (int c = 1; c <= 6; ++c)
            names.push_back("k" + std::to_string(c) + std::to_string(f) + "t");
        for (const char* role : {"v", "m", "dat", "bem"})
            names.push_back(role + std::to_string(f) + "t");
    }
    return names;
}

TEST_F(GuiTest, ArrowKeysMoveTheListChoiceAndRaiseItsClick) {
    writePages({"100", "200"});
    writePages({"900"}, "holmtex-archiv.dat");
    form->Form_Load();
    showAndActivate();
    int clicks[3] = {0, 0, 0};
    countClicks(form->Option1.onClick, clicks[0]);
    countClicks(form->Option2.onClick, clicks[1]);
    countClicks(form->Option3.onClick, clicks[2]);
    auto* list = widget<QListView>("List1");
    QRadioButton* radios[] = {widget<QRadioButton>("Option1"), widget<QRadioButton>("Option2"),
                              widget<QRadioButton>("Option3")};

    struct Step {
        Qt::Key key;
        int selected;  // 0..2
        int rows;      // lines of the rebuilt list
    };
    const Step steps[] = {
        {Qt::Key_Right, 1, 1}, {Qt::Key_Down, 2, 0}, {Qt::Key_Right, 0, 2},  // round the group
        {Qt::Key_Left, 2, 0},  {Qt::Key_Up, 1, 1},
    };
    radios[0]->setFocus(Qt::TabFocusReason);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.selected);
        QTest::keyClick(QApplication::focusWidget(), step.key);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(radios[i]->isChecked(), i == step.selected) << i;
        EXPECT_EQ(QApplication::focusWidget(), radios[step.selected]);
        EXPECT_EQ(form->selectedList(), static_cast<ListKind>(step.selected));
        EXPECT_EQ(list->model()->rowCount(), step.rows);
    }
    // Each selection raised its click once; Option1 once, on the way round.
    EXPECT_EQ(clicks[0], 1);
    EXPECT_EQ(clicks[1], 2);
    EXPECT_EQ(clicks[2], 2);
    EXPECT_EQ(widget<QLineEdit>("Text31")->text(), "gespeicherte Merkseiten ARCHIV");
    EXPECT_EQ(widget<QLineEdit>("Text2")->text(), "900");

    // Tab leaves the group and comes back into it at the selected button only.
    EXPECT_EQ(focusWalk(1), std::vector<std::string>{"Combo1"});
    widget("Command21")->setFocus(Qt::TabFocusReason);  // the stop before the group
    EXPECT_EQ(focusWalk(2), (std::vector<std::string>{"Option2", "Combo1"}));
    EXPECT_EQ(focusWalk(1, Qt::Key_Backtab), std::vector<std::string>{"Option2"});
    // An operation's choice is shown and moves the way in with it.
    form->Option3.setValue(true);
    EXPECT_TRUE(radios[2]->isChecked());
    EXPECT_FALSE(radios[1]->isChecked());
    widget("Combo1")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(focusWalk(1, Qt::Key_Backtab), std::vector<std::string>{"Option3"});
    EXPECT_EQ(clicks[2], 3);
    // A mouse click raises it once too; on the selected button, not at all.
    QTest::mouseClick(radios[0], Qt::LeftButton);
    QTest::mouseClick(radios[0], Qt::LeftButton);
    EXPECT_EQ(clicks[0], 2);
    EXPECT_TRUE(radios[0]->isChecked());

    for (QRadioButton* radio : radios) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(radio);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::RadioButton);
    }
}

TEST_F(GuiTest, EnterPressesTheFocusedButtonAndBreaksLinesInFields) {
    writePages({"100"});
    form->Form_Load();
    showAndActivate();
    auto* bem1 = widget<QPlainTextEdit>("bem1t");
    bem1->setFocus();
    QTest::keyClicks(bem1, "eins");
    QTest::keyClick(bem1, Qt::Key_Return);
    QTest::keyClicks(bem1, "zwei");
    EXPECT_EQ(form->bem1t.text(), "eins\r\nzwei");

    widget("Command1")->setFocus();  // "Speichern"
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(form->List1.listCount(), 2);
    widget("Command6")->setFocus();  // "Felder löschen", with the keypad's Enter
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form->bem1t.text(), "");
    EXPECT_EQ(form->List1.listCount(), 2);

    // Held down, Enter does not save the page again and again.
    widget("Command1")->setFocus();
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
    QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    EXPECT_EQ(form->List1.listCount(), 2);
}

TEST_F(GuiTest, EnterInTheCommandBoxSearchesUnlessItHoldsACommandWord) {
    writePages({"100", "200", "300"});
    form->Form_Load();
    showAndActivate();
    int searches = 0;
    countClicks(form->Command8.onClick, searches);
    auto* combo = widget<QComboBox>("Combo1");
    combo->setFocus();
    typeText(combo->lineEdit(), "vater 3");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(form->List1.lines()[2], ">06.12.2026 14:02:00 300");
    EXPECT_EQ(combo->currentText(), "vater 3");

    // "hilfe" has run by itself; Enter does not search for it as well.
    combo->lineEdit()->selectAll();
    typeText(combo->lineEdit(), "hilfe");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(form->Text1.text().rfind("Es gibt folgende Befehle", 0), 0u);

    // A command that empties the box: the Enter after it leaves its message alone.
    combo->lineEdit()->selectAll();
    typeText(combo->lineEdit(), "export!");
    const std::string said = form->Text5.text();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(form->Text5.text(), said);

    // Ctrl+F comes back into the box with its text chosen, to be typed over.
    combo->setEditText("vater 3");
    widget("k11t")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(combo->hasFocus());
    EXPECT_EQ(combo->lineEdit()->selectedText(), "vater 3");
}

TEST_F(GuiTest, TabSkipsTheFieldsUnderTheBigTextWindow) {
    writePages({"100"});  // saved in the two-family view
    form->Form_Load();
    showAndActivate();
    const std::vector<std::string> after = {"Text1", "Text2", "Command1"};

    // Two families: families 3 and the children of family 4 lie under Text1.
    std::vector<std::string> expected = familyFields({1, 2});
    for (const char* name : {"v4t", "m4t", "dat4t", "bem4t"}) expected.push_back(name);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(focusWalk(static_cast<int>(expected.size())), expected);
    for (const char* name : {"k13t", "bem3t", "k64t"})
        EXPECT_EQ(widget(name)->focusPolicy(), Qt::NoFocus) << name;

    // Four families: every field again, in the window's order.
    QTest::mouseClick(widget("Command18"), Qt::LeftButton);
    widget("List1")->setFocus(Qt::TabFocusReason);
    expected = familyFields({1, 2, 3, 4});
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(focusWalk(static_cast<int>(expected.size())), expected);

    // A field that Text1 comes to cover gives its focus to Text1.
    widget("k23t")->setFocus();
    form->List1.clickLine(0);  // the page of the two-family view: Text1 grows again
    EXPECT_EQ(QApplication::focusWidget(), widget("Text1"));
    EXPECT_EQ(widget("k23t")->focusPolicy(), Qt::NoFocus);
}

TEST_F(GuiTest, FocusComingIntoTheListAfterASearchOpensNothing) {
    writePages({"100", "200", "300"});
    form->Form_Load();
    showAndActivate();
    auto* combo = widget<QComboBox>("Combo1");
    combo->setFocus();
    typeText(combo->lineEdit(), "Vater 1");
    QTest::mouseClick(widget("Command8"), Qt::LeftButton);  // "Suchen"
    ASSERT_EQ(form->List1.listIndex(), -1);
    ASSERT_EQ(form->MarkedLine, 2);
    form->v1t.setText("getippt");
    int opened = 0;
    countClicks(form->List1.onClick, opened);

    widget("k11t")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(focusWalk(1, Qt::Key_Backtab), std::vector<std::string>{"List1"});
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(form->MarkedLine, 2);
    EXPECT_EQ(form->List1.listIndex(), -1);
    EXPECT_EQ(combo->currentText(), "Vater 1");
    EXPECT_EQ(form->v1t.text(), "getippt");
    // The way out and back in again opens nothing either.
    focusWalk(1);
    focusWalk(1, Qt::Key_Backtab);
    EXPECT_EQ(opened, 0);

    // A selection key chooses a line, and that opens it.
    QTest::keyClick(widget("List1"), Qt::Key_End);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(form->MarkedLine, 2);
    EXPECT_EQ(form->v1t.text(), "Vater 300");
    QTest::keyClick(widget("List1"), Qt::Key_Home);
    EXPECT_EQ(form->MarkedLine, 0);
    EXPECT_EQ(form->v1t.text(), "Vater 100");
}

}  // namespace
}  // namespace holmtex::test
