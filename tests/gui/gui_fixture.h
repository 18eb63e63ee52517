#pragma once
// A real window over a fresh working folder, shown offscreen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "support/pages.h"
#include "support/scripted_platform.h"
#include "support/test_support.h"
#include "window/holmtex.h"
#include "window/qt/qt_window.h"

namespace holmtex::test {

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<Holmtex>(platform, dir.path());
        window = std::make_unique<QtWindow>(*form);
    }

    void showAndActivate() {
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename W = QWidget>
    W* widget(const char* name) {
        auto* w = window->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    // Writes the named pages with the given process numbers into a list file (AKTUELL).
    void writePages(std::initializer_list<std::string> numbers,
                    const char* file = "holmtex-aktuell.dat") {
        writeFile(dir / file, namedPages(numbers));
    }

    // The names of the widgets that a key, pressed `count` times, moves the focus to.
    static std::vector<std::string> focusWalk(int count, Qt::Key key = Qt::Key_Tab) {
        std::vector<std::string> seen;
        for (int i = 0; i < count; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            seen.push_back(QApplication::focusWidget()->objectName().toStdString());
        }
        return seen;
    }

    // Types text as key events; unlike QTest::keyClicks it takes umlauts.
    static void typeText(QWidget* target, const QString& text) {
        for (QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(target, &press);
            QApplication::sendEvent(target, &release);
        }
    }

    TempDir dir;
    ScriptedPlatform platform;
    std::unique_ptr<Holmtex> form;
    std::unique_ptr<QtWindow> window;
};

}  // namespace holmtex::test
