// The GUI tests run the real Qt window without a screen, set up as the program sets it up.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/offscreen_screens.h"
#include "window/qt/qt_application.h"

int main(int argc, char** argv) {
    // A screen the window fits, as on a desktop.
    holmtex::test::OffscreenScreens screens({holmtex::test::kDesktopScreen});
    QApplication app(argc, argv);
    holmtex::setUpApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
