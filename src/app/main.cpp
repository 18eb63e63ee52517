// Program start: the window, its operations and the event loop.
#include <QApplication>
#include <QEvent>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "window/holmtex.h"
#include "window/qt/qt_platform.h"
#include "window/qt/qt_window.h"

namespace {

bool hasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// For the start-up benchmark: ends the program once the window has been painted.
class QuitAfterFirstPaint : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "Holmtex Notiz braucht eine grafische Oberfläche, es ist aber keine da "
                     "(DISPLAY ist nicht gesetzt); ohne Bildschirm so starten: "
                     "xvfb-run -a make run\n");
        return 2;
    }
    holmtex::QtPlatform platform;
    holmtex::Holmtex form(platform, std::filesystem::current_path());
    // The list that start-up shows is read while the toolkit starts and builds the window.
    std::thread readAhead([&form] { form.readListAhead(holmtex::ListKind::Aktuell); });

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setApplicationName("Holmtex Notiz");
    QApplication::setWindowIcon(holmtex::holmtexIcon());

    form.setProgramDir(QCoreApplication::applicationDirPath().toStdString());
    holmtex::QtWindow window(form);
    platform.setParentWindow(&window);
    readAhead.join();

    QuitAfterFirstPaint quitAfterFirstPaint;
    if (std::getenv("HOLMTEX_QUIT_AFTER_FIRST_PAINT"))
        window.installEventFilter(&quitAfterFirstPaint);
    form.Form_Load();
    window.show();
    return app.exec();
}
