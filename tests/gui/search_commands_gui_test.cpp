// The command box and the search in the real window.
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>

#include "gui/gui_fixture.h"

namespace holmtex::test {
namespace {

TEST_F(GuiTest, TypingHilfeIntoTheCommandBoxFillsTheBigText) {
    writePages({"1"});
    form->Form_Load();
    showAndActivate();
    auto* edit = widget<QComboBox>("Combo1")->lineEdit();
    edit->setFocus();
    typeText(edit, "hilfe");

    const QString shown = widget<QPlainTextEdit>("Text1")->toPlainText();
    EXPECT_TRUE(shown.startsWith("Es gibt folgende Befehle für Funktionen: "))
        << shown.toStdString();
    // The paragraph, then one line for each word added since.
    EXPECT_TRUE(shown.contains("oder durch das Textfeld verdeckt.\nEingabe von >reparatur!<"));
    EXPECT_TRUE(shown.contains("als GEDCOM-Datei für Ahnenprogramme.\nEingabe von >zurück!<"));
    EXPECT_TRUE(shown.endsWith("in die gewählte Liste ein, eine Seite je Familie."));
    EXPECT_EQ(shown, QString::fromStdString(form->Text1.text()).replace("\r\n", "\n"));
    EXPECT_EQ(edit->text(), "hilfe");
}

TEST_F(GuiTest, SearchingMarksTheLinesOfTheList) {
    writePages({"100", "200", "300"});
    form->Form_Load();
    showAndActivate();
    auto* edit = widget<QComboBox>("Combo1")->lineEdit();
    edit->setFocus();
    typeText(edit, "VATER 2");
    QTest::mouseClick(widget("Command8"), Qt::LeftButton);  // "Suchen"

    auto* list = widget<QListView>("List1");
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "  06.12.2026 14:00:00 100");
    EXPECT_EQ(list->model()->index(1, 0).data().toString(), ">06.12.2026 14:01:00 200");
    EXPECT_EQ(list->model()->index(2, 0).data().toString(), "  06.12.2026 14:02:00 300");
    EXPECT_TRUE(list->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_EQ(widget<QPlainTextEdit>("Text5")->toPlainText(), "1 Treffer");

    // A marked line opens the page at its place in the file.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(widget<QLineEdit>("Text2")->text(), "200");
}

TEST_F(GuiTest, ATypedCommandEmptiesTheBoxAndStaysEmpty) {
    writePages({"1", "2"});
    form->Form_Load();
    showAndActivate();
    auto* edit = widget<QComboBox>("Combo1")->lineEdit();
    edit->setFocus();
    typeText(edit, "export!");
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(form->Combo1.text(), "");
    // The entry "export" in the drop-down list must not complete a new "e".
    typeText(edit, "e");
    EXPECT_EQ(edit->text(), "e");
    EXPECT_EQ(form->Combo1.text(), "e");
}

}  // namespace
}  // namespace holmtex::test
