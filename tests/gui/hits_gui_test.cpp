// After "Suchen" the hits are counted and the first is in sight; F3 and Shift+F3 go from hit
// to hit, opening each; a list line's tooltip names its page's parents.
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListView>
#include <QToolTip>

#include "gui/gui_fixture.h"

namespace holmtex::test {
namespace {

TEST_F(GuiTest, SearchCountsItsHitsShowsTheFirstAndF3GoesFromHitToHit) {
    std::vector<PageRecord> pages;
    for (int n = 0; n < 200; ++n) pages.push_back(makePage(std::to_string(n), n % 60));
    for (int hit : {120, 150, 199}) pages[hit].set(fatherItem(2), "Zielperson");
    writeFile(dir / "holmtex-aktuell.dat", bytesOf(pages));
    form->Form_Load();
    showAndActivate();
    auto* list = widget<QListView>("List1");
    const auto inSight = [&](int row) {
        return list->viewport()->rect().contains(list->visualRect(list->model()->index(row, 0)));
    };
    ASSERT_FALSE(inSight(120));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    typeText(QApplication::focusWidget(), "zielperson");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(form->Text5.text(), "3 Treffer");
    EXPECT_TRUE(inSight(120));
    EXPECT_EQ(form->List1.listIndex(), -1);
    EXPECT_EQ(form->MarkedLine, 199);
    const LineList marked = form->List1.lines();

    const struct {
        Qt::KeyboardModifier modifier;
        int line;
        std::string said;
    } steps[] = {
        {Qt::NoModifier, 120, "Listenzeile 120"},    {Qt::NoModifier, 150, "Listenzeile 150"},
        {Qt::NoModifier, 199, "Listenzeile 199"},    {Qt::NoModifier, 199, "letzter Treffer"},
        {Qt::ShiftModifier, 150, "Listenzeile 150"}, {Qt::ShiftModifier, 120, "Listenzeile 120"},
        {Qt::ShiftModifier, 120, "erster Treffer"},  {Qt::NoModifier, 150, "Listenzeile 150"},
    };
    for (const auto& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3, step.modifier);
        EXPECT_EQ(form->List1.listIndex(), step.line) << step.said;
        EXPECT_EQ(form->Text2.text(), std::to_string(step.line));  // opened as a click opens it
        EXPECT_EQ(form->Text5.text(), step.said);
        EXPECT_TRUE(inSight(step.line));
        EXPECT_EQ(form->List1.lines(), marked);
    }
}

TEST_F(GuiTest, WithoutAHitSearchAndF3SayKeinTreffer) {
    writePages({"100", "200"});
    form->Form_Load();
    showAndActivate();
    for (OptionButton* list : {&form->Option1, &form->Option2}) {  // ARCHIV has no file
        list->setValue(true);
        form->Combo1.setText("nirgends");
        QTest::keyClick(widget<QComboBox>("Combo1")->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(form->Text5.text(), "kein Treffer");
        for (Qt::KeyboardModifier modifier : {Qt::NoModifier, Qt::ShiftModifier}) {
            form->Text5.setText("");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3, modifier);
            EXPECT_EQ(form->Text5.text(), "kein Treffer");
            EXPECT_EQ(form->List1.listIndex(), -1);
        }
    }
}

TEST_F(GuiTest, AListLineTellsWhosePageItIs) {
    writeFile(dir / "holmtex-aktuell.dat",
              bytesOf({makePage("1", 0,
                                {{fatherItem(1), "Johann Müller"},
                                 {motherItem(1), "Anna Groß"},
                                 {motherItem(3), "Emma Kahl"},
                                 {PageText, "\r\n  Brief aus Köln\r\nzweite Zeile"}}),
                       makePage("2", 1, {{fatherItem(2), "  "}})}));
    form->Form_Load();
    showAndActivate();
    auto* list = widget<QListView>("List1");
    const auto tip = [&](int row) {
        return list->model()->index(row, 0).data(Qt::ToolTipRole).toString().toStdString();
    };
    EXPECT_EQ(tip(0),
              "Familie 1: Vater Johann Müller, Mutter Anna Groß\nFamilie 3: Mutter Emma Kahl\n"
              "Text: Brief aus Köln");
    EXPECT_EQ(tip(1), "keine Eltern eingetragen");
    // Resting the mouse on the line shows it.
    const QPoint at = list->visualRect(list->model()->index(1, 0)).center();
    QHelpEvent rest(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &rest);
    EXPECT_EQ(QToolTip::text().toStdString(), tip(1));
}

TEST_F(GuiTest, CtrlSSavesAndCtrlShiftSPutsThePageInThePlaceOfTheOneOpened) {
    writePages({"100", "200"});
    form->Form_Load();
    showAndActivate();
    widget("v1t")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(form->List1.listCount(), 3);
    // Held down, it does not save again and again.
    QKeyEvent held(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier, "", true);
    QApplication::sendEvent(QApplication::focusWidget(), &held);
    EXPECT_EQ(form->List1.listCount(), 3);

    form->List1.clickLine(0);
    form->v1t.setText("Vater korrigiert");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S,
                    Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->Text5.text(), "Seite in Listenzeile 0 ersetzt");
    const std::vector<PageRecord> now = readRecords(dir / "holmtex-aktuell.dat");
    ASSERT_EQ(now.size(), 3u);
    EXPECT_EQ(now[0].text(fatherItem(1)), "Vater korrigiert");
    EXPECT_EQ(form->List1.listIndex(), 0);
}

}  // namespace
}  // namespace holmtex::test
