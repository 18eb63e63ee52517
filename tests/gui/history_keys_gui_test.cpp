// The keys of the history: Ctrl+Z outside the text fields takes back the last change of a
// list, Ctrl+Y and Ctrl+Shift+Z redo it; in Text1, Ctrl+Z brings back the typing that the help
// text or the command list replaced.
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>

#include "gui/gui_fixture.h"

namespace holmtex::test {
namespace {

TEST_F(GuiTest, CtrlZInTheBigTextBringsBackWhatTheHelpReplaced) {
    form->Form_Load();
    showAndActivate();
    auto* text = widget<QPlainTextEdit>("Text1");
    auto* combo = widget<QComboBox>("Combo1")->lineEdit();
    for (const char* word : {"hilfe", "befehl!"}) {
        SCOPED_TRACE(word);
        text->setFocus();
        text->selectAll();
        typeText(text, "Meine Notiz");
        form->Combo1.setText("");
        combo->setFocus();
        typeText(combo, word);
        EXPECT_NE(form->Text1.text(), "Meine Notiz");
        text->setFocus();
        QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(text->toPlainText(), "Meine Notiz");
        EXPECT_EQ(form->Text1.text(), "Meine Notiz");
    }
}

TEST_F(GuiTest, CtrlZOutsideTheTextFieldsTakesBackAndCtrlYRedoes) {
    writePages({"100", "200", "300"});
    form->Form_Load();
    showAndActivate();
    form->List1.clickLine(1);
    form->Command2.click();
    const std::string deleted = readFile(dir / "holmtex-aktuell.dat");
    auto* list = widget<QListView>("List1");
    list->setFocus();
    const struct {
        QWidget* target;
        Qt::KeyboardModifiers modifiers;
        Qt::Key key;
        int lines;
    } steps[] = {
        {list, Qt::ControlModifier, Qt::Key_Z, 3},
        {list, Qt::ControlModifier, Qt::Key_Y, 2},
        {list, Qt::ControlModifier, Qt::Key_Z, 3},
        {list, Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z, 2},
        // In a text field the keys belong to the typing there.
        {widget<QLineEdit>("Text2"), Qt::ControlModifier, Qt::Key_Z, 2},
    };
    for (const auto& step : steps) {
        step.target->setFocus();
        QTest::keyClick(step.target, step.key, step.modifiers);
        EXPECT_EQ(form->List1.listCount(), step.lines);
        EXPECT_EQ(list->model()->rowCount(), step.lines);
    }
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"), deleted);
    EXPECT_EQ(form->Text5.text(), "Wiederholt: Zeile 1 aus AKTUELL gelöscht (14:03)");
}

}  // namespace
}  // namespace holmtex::test
