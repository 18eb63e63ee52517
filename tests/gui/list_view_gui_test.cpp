// The page list on a list longer than it shows: keys, clicks and the wheel reach every line,
// and the line chosen is always in sight, whole.
#include <QListView>
#include <QScrollBar>
#include <QWheelEvent>

#include "gui/gui_fixture.h"

namespace holmtex::test {
namespace {

TEST_F(GuiTest, ALongListMovesByWholeLinesAndKeepsTheChosenLineInSight) {
    writeFile(dir / "holmtex-aktuell.dat", namedPages("P", 200));
    form->Form_Load();
    showAndActivate();
    auto* list = widget<QListView>("List1");
    const int lineHeight = list->visualRect(list->model()->index(0, 0)).height();
    ASSERT_GT(lineHeight, 0);
    const int whole = list->viewport()->height() / lineHeight;
    auto inSight = [&] {
        return list->viewport()->rect().contains(list->visualRect(list->currentIndex()));
    };
    EXPECT_EQ(list->verticalScrollBar()->maximum(), 200 - whole);
    EXPECT_EQ(list->verticalScrollBar()->value(), 200 - whole);
    EXPECT_TRUE(inSight());

    const struct {
        Qt::Key key;
        int line;
    } keys[] = {{Qt::Key_PageUp, 199 - (whole - 1)},
                {Qt::Key_Home, 0},
                {Qt::Key_PageDown, whole - 1},
                {Qt::Key_PageDown, 2 * (whole - 1)},
                {Qt::Key_Down, 2 * (whole - 1) + 1},
                {Qt::Key_End, 199},
                {Qt::Key_Up, 198}};
    for (const auto& k : keys) {
        QTest::keyClick(list, k.key);
        EXPECT_EQ(form->MarkedLine, k.line) << k.key;
        EXPECT_EQ(form->Text2.text(), "P" + std::to_string(k.line));
        EXPECT_TRUE(inSight()) << k.key;
    }

    // The wheel turns three lines a notch; a click opens the line under the pointer.
    const int top = list->verticalScrollBar()->value();
    QWheelEvent wheel(QPointF(50, 50), list->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &wheel);
    EXPECT_EQ(list->verticalScrollBar()->value(), top - 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(30, 2 * lineHeight + 1));
    EXPECT_EQ(form->MarkedLine, top - 3 + 2);

    // A saved page is a line more at the end, chosen and in sight.
    form->Command1.click();
    EXPECT_EQ(list->model()->rowCount(), 201);
    EXPECT_EQ(list->currentIndex().row(), 200);
    EXPECT_TRUE(inSight());
}

}  // namespace
}  // namespace holmtex::test
