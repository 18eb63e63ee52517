#include "window/qt/qt_application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

#include "window/qt/qt_window.h"

namespace holmtex {

bool installGermanTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void setUpApplication(QApplication& app) {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    // The window system's class name of the window; the launcher entry's StartupWMClass.
    QApplication::setApplicationName("Holmtex Notiz");
    QApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(holmtexIcon());
    installGermanTranslations(app);
}

}  // namespace holmtex
