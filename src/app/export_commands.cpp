#include "app/export_commands.h"

#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/folder_claim.h"
#include "export/family_sheet.h"
#include "export/list_export.h"
#include "export/list_import.h"
#include "operations/messages.h"
#include "record/data_files.h"
#include "record/folder_lock.h"
#include "record/list_append.h"
#include "window/qt/sheet_render.h"

namespace holmtex {

namespace {

constexpr int kDone = 0, kFailed = 1, kWrongArguments = 2;

// Every error is the program's own sentence on standard error; wrong arguments point to the
// help as the command line's own mistakes do.
void say(const std::string& message) { std::fputs(msg::cliProblem(message).c_str(), stderr); }
void sayWrong(const std::string& message) { std::fputs(msg::cliMistake(message).c_str(), stderr); }

std::optional<ListKind> listByName(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (name == "aktuell") return ListKind::Aktuell;
    if (name == "archiv") return ListKind::Archiv;
    if (name == "allgemein") return ListKind::Allgemein;
    sayWrong(msg::unknownList(name));
    return std::nullopt;
}

std::optional<int> lineNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        sayWrong(msg::notALineNumber(text));
        return std::nullopt;
    }
    return std::stoi(text);
}

std::string readProblem(int error, ListKind list) {
    if (error == ENOENT) return msg::fileMissing(dataFileName(list), msg::Undone::Written);
    return msg::fileUnreadable(dataFileName(list), error, msg::Undone::Written);
}

// The output must never take the place of a file the program keeps, whatever name leads to it.
bool replacesAKeptFile(const std::filesystem::path& output, const std::filesystem::path& workDir) {
    const std::string kept = keptFileAt(output, workDir);
    if (kept.empty()) return false;
    bool list = false;
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        list = list || kept == dataFileName(kind);
    say(list ? msg::outputWouldReplaceList(kept) : msg::outputWouldReplaceKeptFile(kept));
    return true;
}

std::string bare(const std::filesystem::path& path) { return path.filename().string(); }

// The lists are read only as they stand still: never while a window has the folder (it may
// append or replace a list at any moment), and while they are read no window starts there.
// A list with an append a crash cut short is not read either: only a window finishes it,
// and a move or import it belonged to may take a page out of another list then.
// None, after saying why, when they must not be read now.
std::optional<FolderLock> holdStill(const std::filesystem::path& workDir) {
    FolderLock lock = FolderLock::share(workDir);
    if (lock.state() == FolderLock::State::Busy) {
        say(msg::folderInUse());
        return std::nullopt;
    }
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein}) {
        std::error_code ec;
        if (std::filesystem::exists(appendRedoFile(workDir / dataFileName(kind)), ec) || ec) {
            say(msg::listAppendUnfinished(dataFileName(kind)));
            return std::nullopt;
        }
    }
    return lock;
}

// What went through goes to standard output, unless that is where the file went.
void sayDone(const std::string& message, const std::filesystem::path& output) {
    std::error_code ec;
    if (std::filesystem::equivalent(output, "/dev/stdout", ec))
        say(message);
    else
        std::printf("%s\n", message.c_str());
}

}  // namespace

int runPdfCommand(const std::vector<std::string>& args, const std::filesystem::path& workDir) {
    if (args.size() != 3) {
        sayWrong(msg::pdfUsage());
        return kWrongArguments;
    }
    const auto list = listByName(args[0]);
    const auto line = lineNumber(args[1]);
    if (!list || !line) return kWrongArguments;
    const std::filesystem::path output = workDir / args[2];
    if (replacesAKeptFile(output, workDir)) return kFailed;
    const std::optional<FolderLock> still = holdStill(workDir);
    if (!still) return kFailed;

    PageRecord record;
    const ListFiles::PageRead read = ListFiles(workDir).page(*list, *line, record, true);
    const char* const caption = listCaption(*list);
    if (read.failure.error) {
        say(readProblem(read.failure.error, *list));
        return kFailed;
    }
    if (!read.found) {
        say(read.damaged ? msg::listDamagedBeforeLine(caption, read.pages, args[1])
                         : msg::listHasNoLine(caption, args[1], read.pages));
        return kFailed;
    }

    // The sheet needs fonts but no screen. Qt's notes about the missing desktop are no
    // concern of the user here; its errors still show.
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) {
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) say(text.toStdString());
        });
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "holmtex";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    std::string pdf;
    if (!renderSheetPdf(buildFamilySheet(listPageContent(record, *list, *line)), pdf)) {
        say(msg::sheetNotMadeNothingWritten());
        return kFailed;
    }
    // A link the user names is followed; a device or pipe takes the sheet as a stream.
    if (const int error = writeWholeFile(output, pdf, LinkRule::Stream).failure.error) {
        say(msg::outputNotWritten(bare(output), error));
        return kFailed;
    }
    if (read.damaged) {
        say(msg::listDamagedAfterLine(caption, read.pages, args[1], bare(output)));
        return kFailed;
    }
    sayDone(msg::sheetWritten(bare(output)), output);
    return kDone;
}

int runGedcomCommand(const std::vector<std::string>& args, const std::filesystem::path& workDir) {
    if (args.size() != 2) {
        sayWrong(msg::gedcomUsage());
        return kWrongArguments;
    }
    const auto list = listByName(args[0]);
    if (!list) return kWrongArguments;
    const std::filesystem::path output = workDir / args[1];
    if (replacesAKeptFile(output, workDir)) return kFailed;
    const std::optional<FolderLock> still = holdStill(workDir);
    if (!still) return kFailed;

    const GedcomExport result =
        exportListAsGedcom(ListFiles(workDir), *list, output, localNow(), LinkRule::Stream);
    if (const int error = result.readFailure.error) {
        say(readProblem(error, *list));
        return kFailed;
    }
    if (result.damaged && result.pages == 0) {
        say(msg::fileDamaged(dataFileName(*list), msg::Undone::Written));
        return kFailed;
    }
    if (const int error = result.writeFailure.error) {
        say(msg::outputNotWritten(bare(output), error));
        return kFailed;
    }
    if (result.damaged) {
        say(msg::pagesExportedThenListDamaged(result.pages, bare(output), listCaption(*list)));
        return kFailed;
    }
    sayDone(msg::pagesExportedLine(result.pages, bare(output)), output);
    return kDone;
}

namespace {

// A message of the window line by line, as the other uses print theirs.
void sayLines(const std::string& text) {
    for (std::size_t from = 0;;) {
        const std::size_t end = text.find("\r\n", from);
        say(text.substr(from, end - from));
        if (end == std::string::npos) return;
        from = end + 2;
    }
}

}  // namespace

int runGedcomImportCommand(const std::filesystem::path& file, const std::string& list,
                           const std::filesystem::path& workDir) {
    const auto kind = listByName(list);
    if (!kind) return kWrongArguments;
    // The window's lists are its own while it runs: it would not see the pages come.
    if (!lockWorkFolder(workDir)) {
        say(msg::folderBusyNothingImported());
        return kFailed;
    }
    const GedcomImport read = importGedcomFile(file, localNow());
    Outcome o = gedcomReadOutcome(read, file, *kind);
    ListFiles lists(workDir);
    if (o.done()) o = appendGedcomPages(lists, *kind, read, o);
    sayLines(msg::text(o));
    return o.result == Result::Done ? kDone : kFailed;
}

}  // namespace holmtex
