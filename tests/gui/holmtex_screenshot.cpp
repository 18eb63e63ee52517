// Renders the window with three saved pages, offscreen, to the PNG files named on the
// command line: the picture of the README and of the program's metadata.
//
//   holmtex_screenshot FILE.png...
#include <QApplication>
#include <QPixmap>
#include <QTest>
#include <cstdio>

#include "support/offscreen_screens.h"
#include "support/pages.h"
#include "support/scripted_platform.h"
#include "support/test_support.h"
#include "window/holmtex.h"
#include "window/qt/qt_application.h"
#include "window/qt/qt_window.h"

int main(int argc, char** argv) {
    using namespace holmtex;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.png...\n", argv[0]);
        return 2;
    }
    test::OffscreenScreens screens({test::kDesktopScreen});  // one the window fits
    QApplication app(argc, argv);
    setUpApplication(app);

    test::TempDir dir;
    test::writeFile(dir / "holmtex-aktuell.dat", test::namedPages({"4711", "4712", "Müller 1873"}));
    ScriptedPlatform platform;  // its fixed clock
    Holmtex form(platform, dir.path());
    QtWindow window(form);
    form.Form_Load();
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    const QPixmap picture = window.grab();
    for (int i = 1; i < argc; ++i) {
        if (!picture.save(QString::fromLocal8Bit(argv[i]))) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[i]);
            return 1;
        }
        std::printf("%s (%d x %d)\n", argv[i], picture.width(), picture.height());
    }
    return 0;
}
