// The window on screens of every size at 200 %: where it fits it keeps its design size to
// the pixel; where it does not, it is scaled down to the screen's available area, keeping
// its proportions, and every control can still be reached and used.
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>

#include "gui/gui_fixture.h"
#include "support/offscreen_screens.h"
#include "window/qt/qt_application.h"

namespace holmtex::test {
namespace {

class ScreenFit : public GuiTest {
protected:
    void SetUp() override {
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen->name() == "desktop") desktop = screen;
            if (screen->name() == "small") small = screen;
        }
        if (!desktop || !small) GTEST_SKIP() << "needs the offscreen screens of this test's main";
        GuiTest::SetUp();
        writePages({"100", "200", "300"});
        form->Form_Load();
    }

    // The window put on a screen, as when it is dragged onto it.
    void putOn(QScreen* screen) {
        window->move(screen->availableGeometry().topLeft());
        window->setScreen(screen);
        QCoreApplication::processEvents();
    }

    void showOn(QScreen* screen) {
        putOn(screen);
        showAndActivate();
        QCoreApplication::processEvents();
    }

    QScreen* desktop = nullptr;
    QScreen* small = nullptr;
};

TEST_F(ScreenFit, WhereTheWindowFitsItKeepsItsDesignSize) {
    showOn(desktop);
    EXPECT_EQ(window->scale(), 1.0);
    EXPECT_EQ(window->size(), QSize(925, 598));
    EXPECT_EQ(widget("Command1")->geometry(), QRect(688, 472, 161, 73));
    EXPECT_EQ(widget("List1")->geometry(), QRect(688, 32, 225, 242));
    EXPECT_EQ(widget("fam1")->font().pixelSize(), 16);
}

TEST_F(ScreenFit, OnASmallScreenEveryControlCanBeReachedAndUsed) {
    showOn(small);
    const QRect area = small->availableGeometry();
    ASSERT_LT(area.width(), 925);  // 1024 x 768 pixels at 200 %: 512 x 384
    EXPECT_TRUE(area.contains(window->frameGeometry())) << window->frameGeometry().width();
    EXPECT_LT(window->scale(), 1.0);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || !w->isVisible()) continue;
        const QRect onScreen(w->mapToGlobal(QPoint(0, 0)), w->size());
        EXPECT_TRUE(area.contains(onScreen)) << w->objectName().toStdString();
    }
    // The layout keeps its proportions: "Speichern" at the same share of the window.
    const QRect save = widget("Command1")->geometry();
    EXPECT_NEAR(save.left(), 688 * window->width() / 925.0, 1.0);
    EXPECT_NEAR(save.bottom() + 1, 545 * window->height() / 598.0, 1.5);
    EXPECT_LT(widget("fam1")->font().pixelSize(), 16);

    // Used there: a search typed into the box, a page saved.
    auto* box = widget<QComboBox>("Combo1");
    box->lineEdit()->setFocus();
    QTest::keyClicks(box->lineEdit(), "200");
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(form->List1.lines()[1], ">06.12.2026 14:01:00 200");
    form->Option1.setValue(false);
    form->Option1.setValue(true);
    QTest::mouseClick(widget("Command1"), Qt::LeftButton);
    EXPECT_EQ(form->List1.listCount(), 4);

    // Back on a screen it fits, at its design size again.
    putOn(desktop);
    EXPECT_EQ(window->scale(), 1.0);
    EXPECT_EQ(window->size(), QSize(925, 598));
    EXPECT_EQ(widget("Command1")->geometry(), QRect(688, 472, 161, 73));
}

TEST(FitScale, ScalesDownOnlyAndKeepsAFloor) {
    const QSize client(925, 598), frame(16, 32);
    EXPECT_EQ(fitScale(QSize(1920, 1050), frame, client), 1.0);
    EXPECT_EQ(fitScale(QSize(941, 630), frame, client), 1.0);
    EXPECT_DOUBLE_EQ(fitScale(QSize(512, 384), frame, client), (512 - 16) / 925.0);
    EXPECT_DOUBLE_EQ(fitScale(QSize(1920, 331), frame, client), (331 - 32) / 598.0);
    EXPECT_EQ(fitScale(QSize(100, 100), frame, client), kSmallestScale);
}

}  // namespace
}  // namespace holmtex::test

int main(int argc, char** argv) {
    // 200 % on a large screen and on a small one (1024 x 768 pixels).
    qputenv("QT_SCALE_FACTOR", "2");
    holmtex::test::OffscreenScreens screens(
        {{"desktop", 0, 0, 3840, 2160}, {"small", 3840, 0, 1024, 768}});
    QApplication app(argc, argv);
    holmtex::setUpApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
