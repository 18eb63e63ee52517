// The real Qt window: places, looks, keyboard, and the way to and from the model.
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "gui/gui_fixture.h"

namespace holmtex::test {
namespace {

TEST_F(GuiTest, ControlsStandAtTheirPlacesWithTheirColours) {
    struct Expected {
        const char* name;
        QRect rect;  // pixels = twips / 15
        QColor base;
    };
    const Expected table[] = {
        {"k23t", QRect(8, 296, 161, 33), QColor(192, 255, 192)},
        {"v2t", QRect(528, 32, 153, 33), QColor(192, 192, 255)},
        {"m3t", QRect(176, 312, 153, 33), QColor(255, 192, 192)},
        {"bem1t", QRect(176, 120, 153, 105), Qt::white},
        {"List1", QRect(688, 32, 225, 242), QColor(255, 224, 192)},
        {"Text5", QRect(688, 387, 225, 43), QColor(255, 255, 192)},
        {"Text1", QRect(8, 472, 513, 113), Qt::white},
    };
    for (const auto& e : table) {
        SCOPED_TRACE(e.name);
        QWidget* w = widget(e.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), e.rect);
        EXPECT_EQ(w->palette().color(QPalette::Base), e.base);
    }
    // Inside the search frame places count from the frame's corner.
    auto* combo = widget<QComboBox>("Combo1");
    EXPECT_EQ(combo->parentWidget()->objectName(), "Suche");
    EXPECT_EQ(combo->geometry(), QRect(8, 24, 209, 21));
    // The command box has the system's colours, not the light yellow of its frame.
    const QImage comboImage = combo->grab().toImage();
    EXPECT_EQ(comboImage.pixelColor(30, comboImage.height() / 2), QColor(Qt::white));
    EXPECT_EQ(combo->lineEdit()->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(widget("Text32(3)")->geometry(), QRect(360, 248, 49, 19));

    EXPECT_EQ(window->windowTitle(), "Holmtex Notiz Version  2.45");
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(255, 255, 192));
    EXPECT_EQ(window->size(), QSize(925, 598));
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(widget<QLineEdit>("fam2")->text(), "Familie2");
    EXPECT_EQ(widget<QLineEdit>("fam1")->font().bold(), true);
    EXPECT_EQ(widget<QLineEdit>("Text10")->alignment() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(widget("k23t")->accessibleName(), "Kind 2, Familie 3");
    EXPECT_EQ(widget("Text2")->accessibleName(), "Vorgang Nr.");
}

TEST_F(GuiTest, TheBigTextWindowLiesOverThePanels) {
    form->placeText1(Holmtex::kTwoFamilyText);
    QWidget* text1 = widget("Text1");
    EXPECT_EQ(text1->geometry(), QRect(8, 240, 513, 345));
    // A point inside family 3 now belongs to the big text window.
    QWidget* hit = window->childAt(QPoint(50, 300));
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == text1 || text1->isAncestorOf(hit)) << hit->objectName().toStdString();
}

TEST_F(GuiTest, TabRunsFromTheListThroughTheFamilyFields) {
    showAndActivate();
    EXPECT_EQ(QApplication::focusWidget(), widget("List1"));
    std::vector<std::string> expected;
    for (int f = 1; f <= 4; ++f) {
        for (int c = 1; c <= 6; ++c)
            expected.push_back(QStringLiteral("k%1%2t").arg(c).arg(f).toStdString());
        for (const char* role : {"v", "m", "dat", "bem"})
            expected.push_back(QStringLiteral("%1%2t").arg(role).arg(f).toStdString());
    }
    for (const char* after : {"Text1", "Text2", "Command1", "Command2", "Command3", "Command6",
                              "Command5", "Command7", "Command8", "Command9"})
        expected.push_back(after);
    std::vector<std::string> seen;
    for (size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(GuiTest, LabelBoxesCannotBeEdited) {
    showAndActivate();
    for (const char* name : {"fam1", "Text31", "Text10", "eltern4", "Text32(0)", "Text4"}) {
        SCOPED_TRACE(name);
        auto* label = widget<QLineEdit>(name);
        EXPECT_TRUE(label->isReadOnly());
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    }
    form->Text31.setText("gespeicherte Merkseiten ARCHIV");
    EXPECT_EQ(widget<QLineEdit>("Text31")->text(), "gespeicherte Merkseiten ARCHIV");
}

TEST_F(GuiTest, TypingReachesTheModelAndRaisesTheChangeEvents) {
    showAndActivate();
    auto* text2 = widget<QLineEdit>("Text2");
    text2->selectAll();
    QTest::keyClicks(text2, "4711");
    EXPECT_EQ(form->Text2.text(), "4711");
    EXPECT_EQ(form->CurrentRecord.text(ProcessNumber), "4711");

    auto* text1 = widget<QPlainTextEdit>("Text1");
    text1->setFocus();
    text1->selectAll();
    typeText(text1, "Müller");
    QTest::keyClick(text1, Qt::Key_Return);
    QTest::keyClicks(text1, "Zeile");
    EXPECT_EQ(form->Text1.text(), "Müller\r\nZeile");
    EXPECT_EQ(form->CurrentRecord.text(PageText), "Müller\r\nZeile");

    // Tab in a multi-line box moves on instead of typing a tab.
    QTest::keyClick(text1, Qt::Key_Tab);
    EXPECT_EQ(form->Text1.text(), "Müller\r\nZeile");
    EXPECT_EQ(QApplication::focusWidget(), text2);
}

TEST_F(GuiTest, ModelChangesShowWithoutMovingTheCursorWhileTyping) {
    showAndActivate();
    form->bem2t.setText("erste\r\nzweite");
    auto* bem2 = widget<QPlainTextEdit>("bem2t");
    EXPECT_EQ(bem2->toPlainText(), "erste\nzweite");

    auto* v1 = widget<QPlainTextEdit>("v1t");
    v1->setFocus();
    v1->selectAll();
    QTest::keyClicks(v1, "Hans");
    QTextCursor cursor = v1->textCursor();
    cursor.setPosition(2);
    v1->setTextCursor(cursor);
    QTest::keyClicks(v1, "X");
    EXPECT_EQ(form->v1t.text(), "HaXns");
    EXPECT_EQ(v1->textCursor().position(), 3);
}

TEST_F(GuiTest, FieldsFilledByTheProgramShowTheStartOfTheirText) {
    const PageRecord page = makePage(
        "", 0,
        {{ViewMarker, "->4"},
         {dateItem(1), "12.03.1734 in Schwäbisch Hall, Württemberg"},
         {PageText, "Anfang\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\nEnde"},
         {remarkItem(1), "Erste Zeile einer Bemerkung, die länger ist als das Feld breit"}});
    writeFile(dir / "holmtex-aktuell.dat", recordBytes(page));
    form->Form_Load();
    showAndActivate();

    auto* date = widget<QLineEdit>("dat1t");
    EXPECT_EQ(date->cursorPosition(), 0);
    EXPECT_LT(date->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 5);  // day in sight
    for (const char* name : {"Text1", "bem1t"}) {
        SCOPED_TRACE(name);
        auto* edit = widget<QPlainTextEdit>(name);
        EXPECT_EQ(edit->textCursor().position(), 0);
        EXPECT_EQ(edit->verticalScrollBar()->value(), 0);
    }

    // Typing leaves the cursor where the user put it.
    date->setFocus();
    date->setCursorPosition(6);
    QTest::keyClicks(date, "X");
    EXPECT_EQ(form->dat1t.text(), "12.03.X1734 in Schwäbisch Hall, Württemberg");
    EXPECT_EQ(date->cursorPosition(), 7);
}

TEST_F(GuiTest, ListChoiceFillsTheListAndAClickOpensTheLine) {
    writePages({"100", "200", "300"});
    showAndActivate();
    form->Option1.setValue(true);
    auto* list = widget<QListView>("List1");
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(list->currentIndex().row(), 2);
    EXPECT_EQ(widget<QLineEdit>("Text2")->text(), "300");
    EXPECT_TRUE(widget<QRadioButton>("Option1")->isChecked());

    const QRect first = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(form->MarkedLine, 0);
    EXPECT_EQ(form->Text5.text(), "Listenzeile 0");
    EXPECT_EQ(widget<QLineEdit>("Text2")->text(), "100");
    EXPECT_EQ(widget<QPlainTextEdit>("v1t")->toPlainText(), "Vater 100");

    // Keyboard moves in the list open the line as well.
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(form->MarkedLine, 1);
    EXPECT_EQ(widget<QLineEdit>("Text2")->text(), "200");

    // Clicking the line that is already selected opens it again.
    form->Text2.setText("geändert");
    const QRect second = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(form->Text2.text(), "200");
}

TEST_F(GuiTest, OptionButtonsChooseTheListAndItsButtons) {
    showAndActivate();
    form->Option1.setValue(true);
    QTest::mouseClick(widget("Option2"), Qt::LeftButton);
    EXPECT_TRUE(form->Option2.value());
    EXPECT_FALSE(form->Option1.value());
    EXPECT_FALSE(widget<QRadioButton>("Option1")->isChecked());
    EXPECT_TRUE(widget<QRadioButton>("Option2")->isChecked());
    EXPECT_EQ(widget<QLineEdit>("Text31")->text(), "gespeicherte Merkseiten ARCHIV");
    EXPECT_FALSE(widget("Command19")->isVisible());
    EXPECT_TRUE(widget("Command21")->isVisible());
    // A second click on the selected button keeps it selected.
    QTest::mouseClick(widget("Option2"), Qt::LeftButton);
    EXPECT_TRUE(widget<QRadioButton>("Option2")->isChecked());
}

}  // namespace
}  // namespace holmtex::test
