// The program as it is, but it ends once its window has been painted for the first time:
// what interaction_bench times as the start-up. With HOLMTEX_PROBE_LISTED set it ends once,
// after that, the list it shows is whole (a long list fills in after the first paint).
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

#include "app/program.h"
#include "window/holmtex.h"
#include "window/qt/qt_window.h"

namespace {

class QuitAfterFirstPaint : public QObject {
public:
    const holmtex::Holmtex* waitForList = nullptr;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            QTimer::singleShot(0, qApp, [this] { quitOnceListed(); });
        }
        return false;
    }

private:
    void quitOnceListed() {
        if (waitForList && waitForList->listBeingRead())
            QTimer::singleShot(1, qApp, [this] { quitOnceListed(); });
        else
            QCoreApplication::exit(0);  // no close: nothing is asked on the way out
    }
    bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QuitAfterFirstPaint quit;
    const bool listed = std::getenv("HOLMTEX_PROBE_LISTED") != nullptr;
    return holmtex::runProgram(argc, argv, [&](QWidget& window) {
        if (listed) quit.waitForList = &static_cast<holmtex::QtWindow&>(window).form();
        window.installEventFilter(&quit);
    });
}
