#include "window/qt/qt_platform.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

namespace holmtex {

LocalDateTime QtPlatform::now() {
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(),
            t.time().hour(), t.time().minute(), t.time().second()};
}

bool QtPlatform::askYesNo(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtPlatform::showMessage(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtPlatform::startProgram(const std::filesystem::path& program,
                              const std::filesystem::path& folder) {
    return QProcess::startDetached(QString::fromStdString(program.string()), {},
                                   QString::fromStdString(folder.string()));
}

void QtPlatform::endProgram() {
    // Quit once the running operation has returned to the event loop.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

}  // namespace holmtex
