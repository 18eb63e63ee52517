#include "window/qt/qt_platform.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include "window/qt/sheet_render.h"

namespace holmtex {

LocalDateTime QtPlatform::now() { return localNow(); }

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
    if (process_ && process_->state() != QProcess::NotRunning) process_->waitForFinished(10000);
    delete process_;
    process_ = new QProcess(qApp);
    process_->setWorkingDirectory(QString::fromStdString(folder.string()));
    process_->setProgram(QString::fromStdString(program.string()));
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->start();
    return process_->waitForStarted(5000);
}

ProgramEnd QtPlatform::waitForProgram(int timeoutMs) {
    ProgramEnd end;
    if (!process_) return end;
    QElapsedTimer timer;
    timer.start();
    while (process_->state() != QProcess::NotRunning && timer.elapsed() < timeoutMs) {
        // Keep painting the window, but take no clicks or keys while the operation runs.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        process_->waitForFinished(20);
    }
    if (process_->state() != QProcess::NotRunning) {
        end.ended = end.succeeded = false;
        return end;
    }
    end.exitStatus = process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
    end.succeeded = end.exitStatus == 0;
    return end;
}

void QtPlatform::endProgram() {
    // Quit once the running operation has returned to the event loop.
    // exit() rather than quit(): quit() would close the window once more.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

bool QtPlatform::runAside(std::function<void(const std::atomic<bool>& stop)> work) {
    if (!QCoreApplication::instance()) return false;
    stopAside();
    stop_ = false;
    aside_ = std::thread([this, work = std::move(work)] {
        // Behind the window's own thread, which starts the program meanwhile.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        work(stop_);
    });
    return true;
}

void QtPlatform::post(std::function<void()> task) {
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
}

void QtPlatform::waitUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
}

void QtPlatform::stopAside() {
    stop_ = true;
    if (aside_.joinable()) aside_.join();
}

bool QtPlatform::sheetPdf(const FamilySheet& sheet, std::string& pdf) {
    return renderSheetPdf(sheet, pdf);
}

PrintResult QtPlatform::printSheet(const FamilySheet& sheet,
                                   const std::filesystem::path& fileProposal) {
    return printSheetWithDialog(sheet, fileProposal, parent_);
}

}  // namespace holmtex
