// The page list and the choice of list.

#include <algorithm>
#include <string_view>

#include "operations/messages.h"
#include "record/list_append.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::RefreshList() {
    const auto kind = selectedList();
    if (!kind) {
        List1.clear();
        return;
    }
    // A missing file lists as an empty list; a damaged tail lists the whole records before
    // it. A file that is as it was last read is not read again, and after our own append
    // only the new records are.
    const std::filesystem::path file = filePath(dataFileName(*kind));
    // Failing that, the whole records still list.
    const std::string found = msg::unfinishedAppendNotice(finishAppendTo(file));
    auto lines = pageIndex_.list(*kind, file, CurrentRecord, !alwaysReadFromStart);
    const int readError = listReadError_ = pageIndex_.readError();
    listReadProblem_ = readError ? msg::reason(readError, dataFileName(*kind)) : std::string();
    if (List1.shows(lines.get()))
        List1.linesAppended();  // the lines shown, perhaps with new ones at the end
    else
        List1.showLines(std::move(lines));
    if (List1.listCount() > 0) List1.setListIndex(List1.listCount() - 1);
    // A list cut short by a read error must not pass for the whole list.
    if (readError) Text5.setText(msg::listNotWhole(listReadProblem_));
    if (!found.empty()) Text5.setText(found);
}

void Holmtex::readListAhead(ListKind list) noexcept {
    // Only a head start: whatever goes wrong here, RefreshList reads the file itself. A list
    // with an append to finish is read once start-up has finished it.
    try {
        const std::filesystem::path file = filePath(dataFileName(list));
        std::error_code ec;
        if (std::filesystem::exists(appendRedoFile(file), ec) || ec) return;
        PageRecord last;
        pageIndex_.list(list, file, last);
    } catch (...) {
    }
}

Recovery Holmtex::finishAppendTo(const std::filesystem::path& file) {
    return finishInterruptedAppend(file, fileNameStamp(platform_.now()));
}

bool Holmtex::listDamaged(ListKind list) {
    // Known without reading while the file is as it was listed; read from the start, once,
    // when it is not, and then known for the next listing.
    PageRecord last;
    pageIndex_.list(list, filePath(dataFileName(list)), last, !alwaysReadFromStart);
    return pageIndex_.damaged();
}

AppendResult Holmtex::appendToList(ListKind list, std::string_view bytes,
                                   const AfterAppend& after) {
    AppendResult refused;
    // An append cut short is not damage once finished; a redo file set aside refuses, so
    // that the user reads about it.
    refused.unfinished = finishAppendTo(filePath(dataFileName(list)));
    if (!refused.unfinished.ok()) {
        refused.failure = refused.unfinished.failure;
        return refused;
    }
    if (!refused.unfinished.quiet()) return refused;
    // The append itself looks only at the end of the file, where a record out of step since
    // an earlier one may still look whole.
    if (listDamaged(list)) {
        refused.failure = {kDamagedTail, dataFileName(list)};
        return refused;
    }
    // The file's identity around the append tells the page index whether the file grew by
    // our bytes alone; a line end put in front of them makes it read the file anew.
    const std::filesystem::path file = filePath(dataFileName(list));
    const std::optional<FileIdentity> before = fileIdentity(file);
    const AppendResult appended = appendRecords(file, bytes, fileNameStamp(platform_.now()), after);
    pageIndex_.appended(list, before, appended.ok() ? fileIdentity(file) : std::nullopt,
                        bytes.size());
    return appended;
}

void Holmtex::listRewritten(ListKind list, const std::optional<FileIdentity>& before,
                            std::size_t removed, std::vector<PageIndex::Extent> places,
                            bool cleanEnd) {
    pageIndex_.rewritten(list, before, removed, std::move(places), cleanEnd,
                         fileIdentity(filePath(dataFileName(list))));
}

void Holmtex::Option1_Click() {
    Command19.setVisible(true);
    Command21.setVisible(false);
    Command22.setVisible(true);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten AKTUELL");
    RefreshList();
}

void Holmtex::Option2_Click() {
    Command19.setVisible(false);
    Command21.setVisible(true);
    Command22.setVisible(true);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten ARCHIV");
    RefreshList();
}

void Holmtex::Option3_Click() {
    Command19.setVisible(false);
    Command21.setVisible(true);
    Command22.setVisible(false);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten ALLGEMEIN");
    RefreshList();
}

}  // namespace holmtex
