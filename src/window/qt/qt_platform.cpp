#include "window/qt/qt_platform.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
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

std::filesystem::path QtPlatform::chooseFileToOpen(const std::string& title,
                                                   const std::filesystem::path& folder,
                                                   const std::string& filter) {
    const QString chosen = QFileDialog::getOpenFileName(parent_, QString::fromStdString(title),
                                                        QFile::decodeName(folder.c_str()),
                                                        QString::fromStdString(filter));
    if (chosen.isEmpty()) return {};
    return QFile::encodeName(chosen).toStdString();
}

namespace {

// Stays hidden for the first second: a short operation shows no flicker of a dialog.
class QtProgress : public Progress {
public:
    QtProgress(QWidget* parent, const std::string& title, const std::string& text,
               const std::string& cancel)
        : parent_(parent),
          title_(QString::fromStdString(title)),
          text_(QString::fromStdString(text)),
          cancel_(QString::fromStdString(cancel)) {
        timer_.start();
    }

    bool step(std::uint64_t done, std::uint64_t total) override {
        if (!dialog_ && timer_.elapsed() < kHiddenMs) return true;
        if (!dialog_) show();
        // Window-modal: setValue() keeps the window painted and takes the cancel click, but
        // no input for the window itself.
        dialog_->setValue(total == 0 ? 0
                                     : static_cast<int>(std::min(done, total) * kSteps / total));
        return !dialog_->wasCanceled();
    }

private:
    static constexpr int kHiddenMs = 1000, kSteps = 1000;

    void show() {
        dialog_ = std::make_unique<QProgressDialog>(text_, cancel_, 0, kSteps, parent_);
        dialog_->setWindowTitle(title_);
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
    }

    QPointer<QWidget> parent_;
    QString title_, text_, cancel_;
    QElapsedTimer timer_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace

std::unique_ptr<Progress> QtPlatform::startProgress(const std::string& title,
                                                    const std::string& text,
                                                    const std::string& cancel) {
    return std::make_unique<QtProgress>(parent_, title, text, cancel);
}

}  // namespace holmtex
