// Loaded into the installed program with LD_PRELOAD by the package check, which has no
// screen and no hands: once the window is up it presses the buttons named in
// HOLMTEX_DRIVE_CLICKS (object names, separated by blanks), prints the window's title and
// its message field, and ends the program.
#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

namespace {

void drive(int attempt) {
    QWidget* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "Holmtex" && widget->isVisible()) window = widget;
    if (!window) {
        if (attempt < 100) {
            QTimer::singleShot(50, [attempt] { drive(attempt + 1); });
            return;
        }
        std::fprintf(stderr, "window_driver: no window\n");
        QCoreApplication::exit(3);
        return;
    }
    const QStringList clicks =
        qEnvironmentVariable("HOLMTEX_DRIVE_CLICKS").split(' ', Qt::SkipEmptyParts);
    for (const QString& name : clicks) {
        auto* button = window->findChild<QAbstractButton*>(name);
        if (!button) {
            std::fprintf(stderr, "window_driver: no button %s\n", qPrintable(name));
            QCoreApplication::exit(4);
            return;
        }
        button->click();
    }
    const auto* message = window->findChild<QPlainTextEdit*>("Text5");
    std::printf("title: %s\nText5: %s\n", qPrintable(window->windowTitle()),
                qPrintable(message ? message->toPlainText() : QString()));
    std::fflush(stdout);
    QCoreApplication::exit(0);
}

void start() {
    // Runs inside QApplication's constructor: the window comes later, in the event loop.
    qunsetenv("LD_PRELOAD");  // not into krumo-34
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { drive(0); }, Qt::QueuedConnection);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(start)
