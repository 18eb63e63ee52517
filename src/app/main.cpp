// Program start: the window, its operations and the event loop.
#include <QApplication>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/folder_claim.h"
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

}  // namespace

int main(int argc, char** argv) {
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "Holmtex Notiz braucht eine grafische Oberfläche, es ist aber keine da "
                     "(DISPLAY ist nicht gesetzt); ohne Bildschirm so starten: "
                     "xvfb-run -a make run\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setApplicationName("Holmtex Notiz");
    QApplication::setWindowIcon(holmtex::holmtexIcon());

    holmtex::QtPlatform platform;
    if (!holmtex::claimWorkFolder(std::filesystem::current_path(), platform)) return 1;
    holmtex::Holmtex form(platform, std::filesystem::current_path());
    form.setProgramDir(QCoreApplication::applicationDirPath().toStdString());
    holmtex::QtWindow window(form);
    platform.setParentWindow(&window);

    form.Form_Load();
    window.show();
    return app.exec();
}
