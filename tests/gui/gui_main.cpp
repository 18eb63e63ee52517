// The GUI tests run the real Qt window without a screen, set up as the program sets it up.
#include <gtest/gtest.h>

#include <QApplication>

#include "window/qt/qt_application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    holmtex::setUpApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
