// The program as it is, but it ends once its window has been painted for the first time:
// what interaction_bench times as the start-up.
#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "app/program.h"

namespace {

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
    QuitAfterFirstPaint quit;
    return holmtex::runProgram(argc, argv,
                               [&quit](QWidget& window) { window.installEventFilter(&quit); });
}
