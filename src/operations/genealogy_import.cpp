// gedcom-import!: a genealogy file the user chooses, read into the selected list.
#include <memory>

#include "export/list_import.h"
#include "operations/messages.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// Reads the file with a progress dialog, which the user may cancel; it is gone again before
// anything else is asked or written.
GedcomImport readWithProgress(Platform& platform, const std::filesystem::path& file,
                              const LocalDateTime& stamp) {
    const std::optional<FileIdentity> identity = fileIdentity(file);
    const std::uint64_t total = identity ? identity->size : 0;
    const std::unique_ptr<Progress> progress = platform.startProgress(
        msg::gedcomProgressTitle(), msg::gedcomProgressText(file.filename().string()),
        msg::cancelButton());
    return importGedcomFile(
        file, stamp, [&](std::uint64_t bytesRead) { return progress->step(bytesRead, total); });
}

}  // namespace

void Holmtex::ImportGedcom() {
    const ListKind list = selectedList().value_or(ListKind::Aktuell);
    const std::filesystem::path file =
        platform_.chooseFileToOpen(msg::gedcomImportTitle(), workDir_, msg::gedcomFileFilter());
    Outcome o(Operation::GedcomImport, Result::NotDone, Reason::Cancelled);
    if (file.empty()) return say(o);

    const GedcomImport read = readWithProgress(platform_, file, platform_.now());
    o = gedcomReadOutcome(read, file, list);
    // A cut file offers its whole families only when the user wants them.
    if (o.done() && o.reason == Reason::FileCut &&
        !platform_.askYesNo(msg::gedcomCutTitle(), msg::gedcomCutQuestion(o.file, o.count))) {
        o.result = Result::NotDone;
        o.reason = Reason::Cancelled;
    }
    if (o.done()) o = appendGedcomPages(lists_, list, read, o);
    if (o.done()) {
        // The import's message stands in place of the line the list opened.
        RefreshList();
        if (!listShown_.failure.ok()) {
            o.result = Result::DoneBut;
            o.reason = Reason::ListCut;
            o.failure = listShown_.failure;
        }
    }
    say(o);
}

}  // namespace holmtex
