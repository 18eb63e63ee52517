// The program behind main(): the command line, the working folder, the window and the
// event loop.
#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/command_line.h"
#include "app/export_commands.h"
#include "app/folder_claim.h"
#include "app/history_command.h"
#include "app/merge_command.h"
#include "app/working_folder.h"
#include "operations/messages.h"
#include "window/holmtex.h"
#include "window/qt/qt_application.h"
#include "window/qt/qt_platform.h"
#include "window/qt/qt_window.h"

namespace holmtex {

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

// The folder the program works in, or nothing after saying why on stderr.
std::optional<std::filesystem::path> workingFolder(
    const std::optional<std::filesystem::path>& argument) {
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    const WorkingFolder work = chooseWorkingFolder(
        argument, current, localPath(QDir::homePath()),
        localPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    if (!work.error.empty()) {
        std::fputs(msg::cliProblem(work.error).c_str(), stderr);
        return std::nullopt;
    }
    return work.folder;
}

// --pdf and --gedcom: the lists of the working folder, the output named from the current
// folder as a terminal user expects; no display needed.
int runExport(const CommandLine& line) {
    const auto folder = workingFolder(std::nullopt);
    if (!folder) return 2;
    std::vector<std::string> args = line.arguments;
    std::error_code ec;
    if (!args.empty()) args.back() = std::filesystem::absolute(args.back(), ec).string();
    return line.action == CommandLine::Action::Pdf ? runPdfCommand(args, *folder)
                                                   : runGedcomCommand(args, *folder);
}

// --verlauf and --zusammenfuehren: on the working folder, chosen as for the window; no display
// needed.
template <typename Run>
int runOnFolder(const CommandLine& line, Run run) {
    const auto folder = workingFolder(line.folder);
    if (!folder) return 2;
    const auto done = run(*folder);
    std::fputs(done.out.c_str(), stdout);
    std::fputs(done.err.c_str(), stderr);
    return done.status;
}

// --gedcom-import DATEI.ged LISTE [ORDNER]: the file named from the current folder, the
// folder chosen as for the window.
int runImport(const CommandLine& line) {
    const std::vector<std::string>& args = line.arguments;
    if (args.size() < 2 || args.size() > 3) {
        std::fputs(msg::cliMistake(msg::gedcomImportUsage()).c_str(), stderr);
        return 2;
    }
    std::optional<std::filesystem::path> named;
    if (args.size() == 3) named = args[2];
    const auto folder = workingFolder(named);
    if (!folder) return 2;
    std::error_code ec;
    return runGedcomImportCommand(std::filesystem::absolute(args[0], ec), args[1], *folder);
}

int runWindow(int& argc, char** argv, const std::optional<std::filesystem::path>& argument,
              const std::function<void(QWidget&)>& shown) {
    if (!hasDisplay()) {
        std::fputs(msg::cliNoDisplay().c_str(), stderr);
        return 2;
    }
    const auto folder = workingFolder(argument);
    if (!folder) return 2;

    // One program per folder: taken before anything is read.
    const bool claimed = lockWorkFolder(*folder);
    QtPlatform platform;
    Holmtex form(platform, *folder);
    QApplication app(argc, argv);
    setUpApplication(app);

    if (!claimed) {
        sayWorkFolderBusy(platform);
        return 1;
    }
    form.setProgramDir(QCoreApplication::applicationDirPath().toStdString());
    QtWindow window(form);
    platform.setParentWindow(&window);

    // A long list is shown with its last page while its lines are read aside.
    form.Form_Load();
    if (shown) shown(window);
    window.show();
    const int status = app.exec();
    platform.stopAside();
    return status;
}

}  // namespace

int runProgram(int argc, char** argv, const std::function<void(QWidget&)>& shown) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
        case CommandLine::Action::Help:
        case CommandLine::Action::Version:
            std::fputs(line.text.c_str(), stdout);
            return 0;
        case CommandLine::Action::Error:
            std::fputs(line.text.c_str(), stderr);
            return 2;
        case CommandLine::Action::Pdf:
        case CommandLine::Action::Gedcom:
            return runExport(line);
        case CommandLine::Action::History:
            return runOnFolder(line, printHistory);
        case CommandLine::Action::Merge:
            return runOnFolder(line, mergeSecondVersions);
        case CommandLine::Action::GedcomImport:
            return runImport(line);
        case CommandLine::Action::Window:
            break;
    }
    return runWindow(argc, argv, line.folder, shown);
}

}  // namespace holmtex
