// The transfer file, which carries pages to another computer: export and copy append the
// page of the marked line to it, import appends all its pages to the chosen list.
#include <cerrno>
#include <string>
#include <string_view>

#include "record/data_files.h"
#include "record/list_append.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// The bytes of a page for the transfer file: those it has in the list when they read back
// the same anywhere, else the page written anew without quotes inside its items. A page at
// the very end of its list may lack its line end; another one will follow it.
std::string transferBytes(std::string_view raw, const PageRecord& page) {
    std::string bytes;
    if (PageRecord safe = page; removeQuotes(safe)) {
        writeRecord(bytes, safe);
        return bytes;
    }
    bytes = raw;
    if (bytes.empty() || (bytes.back() != '\n' && bytes.back() != '\r')) bytes += "\r\n";
    return bytes;
}

// Export and copy: the page of the marked line goes to the end of the transfer file.
// Nothing is written unless that whole page could be read, and was the one opened.
Outcome transferMarkedPage(Holmtex& form, Operation operation) {
    const ListKind kind = form.selectedList().value_or(ListKind::Aktuell);
    std::string bytes;
    Outcome o = form.lists().openedPage(kind, form.MarkedLine, form.CurrentRecord, bytes);
    o.operation = operation;
    if (o.reason == Reason::ChangedSince) form.RebuildList();
    if (!o.done()) return o;
    // The transfer file is a plain file of the folder: a link there is not written through.
    const std::filesystem::path transferFile = form.filePath(transferFileName());
    AppendResult appended;
    appended.failure = prepareOutputFile(transferFile);
    if (appended.failure.ok())
        appended = appendRecords(transferFile, transferBytes(bytes, form.CurrentRecord),
                                 fileNameStamp(form.platform().now()));
    return appendOutcome(operation, appended);
}

void transferAndSay(Holmtex& form, Operation operation) {
    const Outcome transferred = transferMarkedPage(form, operation);
    form.Combo1.setText("");
    form.say(transferred);
}

// Reads the whole transfer file and checks it before anything is appended, and appends it
// in one piece, so that a damaged file or a full disk imports nothing and the transfer
// file stays for another try. Afterwards the buffer holds the last page imported.
Outcome importPages(Holmtex& form, const std::filesystem::path& transfer) {
    Outcome o(Operation::Import, Result::NotDone, Reason::Unreadable);
    PageRecord last;
    const PagesFile file = readPagesFile(transfer, last);
    if (file.failure.error == ENOENT) o.reason = Reason::NothingToImport;
    o.failure = file.damaged ? FileResult{kDamagedTail, transferFileName()} : file.failure;
    if (!o.failure.ok()) return o;
    // Once the pages are in the list, the transfer file goes; the append carries that step,
    // so that the next start does it after a crash in between.
    o = form.lists().append(form.selectedList().value_or(ListKind::Aktuell), file.bytes,
                            Operation::Import, {redo::Step::Remove, transfer, {}, {}});
    if (o.done() && file.pages > 0) form.CurrentRecord = last;
    return o;
}

// An import cut short removes its transfer file first, and an export cut short is
// finished; failing that, the list refuses the pages and the transfer file reads as
// damaged. What the user must read of it stops the import.
Outcome importTransfer(Holmtex& form, const std::filesystem::path& list,
                       const std::filesystem::path& transfer) {
    for (const auto& file : {list, transfer}) {
        if (const Recovery found = form.lists().finishAppend(file); found.ok() && !found.quiet()) {
            Outcome o(Operation::Import, Result::NotDone, Reason::Unfinished);
            o.found = found;
            return o;
        }
    }
    return importPages(form, transfer);
}

}  // namespace

void Holmtex::ExportTransfer() { transferAndSay(*this, Operation::Export); }

void Holmtex::CopyTransfer() { transferAndSay(*this, Operation::Copy); }

void Holmtex::ImportTransfer() {
    const std::filesystem::path transfer = filePath(transferFileName());
    const std::filesystem::path list =
        filePath(dataFileName(selectedList().value_or(ListKind::Aktuell)));
    Outcome imported = importTransfer(*this, list, transfer);
    Combo1.setText("");
    // With the transfer file still there, the list stays as it was shown.
    if (!imported.done() || imported.reason == Reason::NotRemoved) return say(imported);
    RefreshList();
    const Outcome appended = imported;
    imported = listShown_;
    imported.operation = Operation::Import;
    imported.unrecorded = appended.unrecorded;
    if (appended.reason == Reason::NotSafe) {
        imported.result = Result::DoneBut;
        imported.reason = Reason::NotSafe;
        imported.failure = appended.failure;
    } else {
        imported.result = listShown_.failure.ok() ? Result::Done : Result::DoneBut;
        imported.reason = listShown_.failure.ok() ? Reason::None : Reason::ListCut;
    }
    say(imported);
}

}  // namespace holmtex
