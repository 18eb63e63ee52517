// Program start: the command line, the working folder, the window and the event loop.
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/command_line.h"
#include "app/export_commands.h"
#include "app/folder_claim.h"
#include "app/working_folder.h"
#include "operations/messages.h"
#include "window/holmtex.h"
#include "window/qt/qt_application.h"
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

std::filesystem::path localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
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

// The folder the program works in, or nothing after saying why on stderr.
std::optional<std::filesystem::path> workingFolder(
    const std::optional<std::filesystem::path>& argument) {
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    const holmtex::WorkingFolder work = holmtex::chooseWorkingFolder(
        argument, current, localPath(QDir::homePath()),
        localPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    if (!work.error.empty()) {
        std::fputs(holmtex::msg::cliProblem(work.error).c_str(), stderr);
        return std::nullopt;
    }
    return work.folder;
}

// --pdf and --gedcom: the lists of the working folder, the output named from the current
// folder as a terminal user expects; no display needed.
int runExport(const holmtex::CommandLine& line) {
    const auto folder = workingFolder(std::nullopt);
    if (!folder) return 2;
    std::vector<std::string> args = line.arguments;
    std::error_code ec;
    if (!args.empty()) args.back() = std::filesystem::absolute(args.back(), ec).string();
    return line.action == holmtex::CommandLine::Action::Pdf
               ? holmtex::runPdfCommand(args, *folder)
               : holmtex::runGedcomCommand(args, *folder);
}

int runWindow(int& argc, char** argv, const std::optional<std::filesystem::path>& argument) {
    if (!hasDisplay()) {
        std::fputs(holmtex::msg::cliNoDisplay().c_str(), stderr);
        return 2;
    }
    const auto folder = workingFolder(argument);
    if (!folder) return 2;

    // One program per folder: taken before anything is read.
    const bool claimed = holmtex::lockWorkFolder(*folder);
    holmtex::QtPlatform platform;
    holmtex::Holmtex form(platform, *folder);
    // The list that start-up shows is read while the toolkit starts and builds the window.
    std::thread readAhead;
    if (claimed)
        readAhead = std::thread([&form] { form.readListAhead(holmtex::ListKind::Aktuell); });

    QApplication app(argc, argv);
    holmtex::setUpApplication(app);

    if (!claimed) {
        holmtex::sayWorkFolderBusy(platform);
        return 1;
    }
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

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const holmtex::CommandLine line = holmtex::parseCommandLine(arguments);
    switch (line.action) {
        case holmtex::CommandLine::Action::Help:
        case holmtex::CommandLine::Action::Version:
            std::fputs(line.text.c_str(), stdout);
            return 0;
        case holmtex::CommandLine::Action::Error:
            std::fputs(line.text.c_str(), stderr);
            return 2;
        case holmtex::CommandLine::Action::Pdf:
        case holmtex::CommandLine::Action::Gedcom:
            return runExport(line);
        case holmtex::CommandLine::Action::Window:
            break;
    }
    return runWindow(argc, argv, line.folder);
}
