// The page flow in the real window: typing, saving, views.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/gui_fixture.h"

namespace holmtex::test {
namespace {

QWidget* topWidgetAt(QWidget* window, QPoint point) {
    QWidget* hit = window->childAt(point);
    // Scroll areas answer with their viewport; the control is its parent.
    while (hit && hit->parentWidget() != window && hit->parentWidget()->objectName() != "Suche")
        hit = hit->parentWidget();
    return hit;
}

TEST_F(GuiTest, TypedPageIsSavedAndReopenedAsTheLastLine) {
    writePages({"100"});
    form->Form_Load();
    showAndActivate();
    QTest::mouseClick(widget("Command6"), Qt::LeftButton);  // "Felder löschen"

    auto* v1 = widget<QPlainTextEdit>("v1t");
    v1->setFocus();
    typeText(v1, "Johann Müller");
    QTest::keyClick(v1, Qt::Key_Tab);  // on to m1t
    typeText(QApplication::focusWidget(), "Anna \"Nanni\"");
    auto* text2 = widget<QLineEdit>("Text2");
    text2->setFocus();
    typeText(text2, "4712");
    QTest::mouseClick(widget("Command1"), Qt::LeftButton);  // "Speichern"

    auto* list = widget<QListView>("List1");
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(list->currentIndex().row(), 1);
    EXPECT_EQ(list->model()->index(1, 0).data().toString(), "06.12.2026 14:03:59 4712");
    EXPECT_EQ(widget<QPlainTextEdit>("Text5")->toPlainText(), "Listenzeile 1");

    // Open the other page, then the new one again: every typed field comes back.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    EXPECT_EQ(text2->text(), "100");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(v1->toPlainText(), "Johann Müller");
    EXPECT_EQ(widget<QPlainTextEdit>("m1t")->toPlainText(), "Anna 'Nanni'");
    EXPECT_EQ(text2->text(), "4712");
}

// A save adds its line to the list view's rows; the rows before it stay, and a list chosen
// again shows its rows anew.
TEST_F(GuiTest, ASavedPageAddsARowWithoutRebuildingTheList) {
    writePages({"100", "101", "102"});
    form->Form_Load();
    showAndActivate();
    auto* list = widget<QListView>("List1");
    int resets = 0, inserted = 0;
    QObject::connect(list->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) {
                         EXPECT_EQ(3, first);
                         EXPECT_EQ(3, last);
                         ++inserted;
                     });
    QTest::mouseClick(widget("Command1"), Qt::LeftButton);  // "Speichern"
    EXPECT_EQ(0, resets);
    EXPECT_EQ(1, inserted);
    ASSERT_EQ(4, list->model()->rowCount());
    EXPECT_EQ("06.12.2026 14:02:00 102", list->model()->index(2, 0).data().toString());
    EXPECT_EQ("06.12.2026 14:03:59 102", list->model()->index(3, 0).data().toString());
    EXPECT_EQ(3, list->currentIndex().row());
    EXPECT_EQ(1, list->selectionModel()->selectedRows().size());

    QTest::mouseClick(widget("Option2"), Qt::LeftButton);
    EXPECT_EQ(0, list->model()->rowCount());
    QTest::mouseClick(widget("Option1"), Qt::LeftButton);
    EXPECT_EQ(2, resets);
    ASSERT_EQ(4, list->model()->rowCount());
    EXPECT_EQ(3, list->currentIndex().row());
}

TEST_F(GuiTest, TwoFamilyViewCoversFamilyThreeAndFourShowsItAgain) {
    form->Form_Load();
    showAndActivate();
    const QPoint family3(twipsToPixels(200), twipsToPixels(4000));    // inside k13t
    const QPoint parents4(twipsToPixels(8000), twipsToPixels(4000));  // inside v4t
    const QPoint viewButton(twipsToPixels(13000), twipsToPixels(8400));
    EXPECT_EQ(topWidgetAt(window.get(), family3), widget("Text1"));
    EXPECT_EQ(topWidgetAt(window.get(), parents4), widget("v4t"));
    EXPECT_EQ(topWidgetAt(window.get(), viewButton), widget("Command18"));
    EXPECT_FALSE(widget("fam4")->isVisible());

    QTest::mouseClick(widget("Command18"), Qt::LeftButton);  // "4 Familien"
    EXPECT_EQ(topWidgetAt(window.get(), family3), widget("k13t"));
    EXPECT_EQ(topWidgetAt(window.get(), viewButton), widget("Command17"));
    EXPECT_TRUE(widget("fam4")->isVisible());
    EXPECT_EQ(widget("Text1")->geometry().top(), twipsToPixels(7080));

    QTest::mouseClick(widget("Command24"), Qt::LeftButton);  // "+"
    EXPECT_TRUE(widget("Line1")->isVisible());
    EXPECT_TRUE(widget("Command25")->isVisible());
    EXPECT_FALSE(widget("Command24")->isVisible());
}

TEST_F(GuiTest, TabStillRunsThroughTheFieldsAfterStartUp) {
    writePages({"1"});
    form->Form_Load();
    showAndActivate();
    EXPECT_EQ(QApplication::focusWidget(), widget("List1"));
    std::vector<QString> seen;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget()->objectName());
    }
    const std::vector<QString> expected = {"k11t", "k21t", "k31t",  "k41t",  "k51t", "k61t",
                                           "v1t",  "m1t",  "dat1t", "bem1t", "k12t", "k22t"};
    EXPECT_EQ(seen, expected);
}

TEST_F(GuiTest, ClosingTheWindowWritesTheRescueFile) {
    writePages({"55"});
    form->Form_Load();
    showAndActivate();
    typeText(widget("Text1"), "noch nicht gespeichert");
    EXPECT_TRUE(window->close());
    const std::string rescue = readFile(dir / "holmtex-letzter Eintrag.txt");
    EXPECT_NE(rescue.find("noch nicht gespeichert"), std::string::npos);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].title, "  D A T E N R E T T U N G   ");
    EXPECT_TRUE(platform.ended);
}

}  // namespace
}  // namespace holmtex::test
