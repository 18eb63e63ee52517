// Deleting lines, moving a line into another list, and mending a list whose file ends
// inside an unfinished record.
//
// A list file is only ever replaced whole: its new content goes into the work file, which
// then takes the list file's place in one rename, so a crash leaves the old content or
// the new. A list whose file ends inside a record is left alone, since copying it would
// drop the broken record without a word.
#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "operations/messages.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// The first words of a message about a list that was left as it was, before the why.
using Failed = std::string (*)(const std::string& why);

// What one pass over a list found while it copied the list into a work file; an error
// when a file could not be opened, read or written.
struct CopyPass {
    FileResult failure;
    bool damaged = false;                   // the list ends inside a record
    int records = 0;                        // whole records read
    std::uint64_t damageStart = 0;          // where the unfinished record begins, when damaged
    std::optional<FileIdentity> identity;   // of the list, taken as it was opened
    std::vector<PageIndex::Extent> places;  // of the records copied, in the work file
    bool cleanEnd = true;                   // the work file is empty or ends in a line end
};

// Copies the list into the work file, reading, checking and writing in one pass: each
// record but `marked` (-1: none) goes over as the bytes it has in the list. `onMarked`
// sees the reader at the marked record. Afterwards `last` holds the last whole record.
// The work file is only ever committed by the caller, and only for a whole list.
template <typename OnMarked>
CopyPass copyList(const std::filesystem::path& file, int marked, FileReplacement& work,
                  PageRecord& last, OnMarked onMarked) {
    CopyPass pass;
    const auto failed = [&pass](const FileResult& failure) {
        pass.failure = failure;
        return pass;
    };
    FileSource source;
    if (FileResult opened = source.open(file); !opened) return failed(opened);
    pass.identity = source.identity();
    if (FileResult begun = work.begin(); !begun) return failed(begun);
    RecordReader reader(source);
    ReadStatus status;
    std::uint64_t written = 0;
    while ((status = reader.nextRaw(1)) == ReadStatus::Record) {
        if (pass.records == marked) {
            onMarked(reader);
        } else {
            const std::string_view bytes = reader.rawRecord();
            if (FileResult wrote = work.write(bytes); !wrote) return failed(wrote);
            pass.places.push_back({written, written + bytes.size()});
            written += bytes.size();
            pass.cleanEnd = bytes.ends_with('\n');
        }
        ++pass.records;
    }
    if (source.error()) return failed(FileResult::of(source.error(), file));
    pass.damaged = status == ReadStatus::Damaged;
    pass.damageStart = reader.recordStart();
    if (pass.records > 0) reader.decodeInto(last);
    return pass;
}

// Why a list may not be rewritten without its line `marked` after the pass, or nothing.
std::optional<std::string> refusal(const CopyPass& pass, const std::filesystem::path& file,
                                   int marked, Failed failed) {
    const std::string name = file.filename().string();
    if (pass.failure.error) return failed(msg::reason(pass.failure));
    // Copying it would drop the broken record without a word.
    if (pass.damaged) return failed(msg::damagedAtEnd(name));
    if (marked >= pass.records) return msg::markedLineGone(name);
    return std::nullopt;
}

// Before a list is changed: an append cut short is finished, and a protected file refused.
// The message, or nothing when the list may be changed; what the finishing found that the
// user must read stops the operation.
std::optional<std::string> mayChange(Holmtex& form, const std::filesystem::path& file,
                                     Failed failed) {
    const Recovery found = form.finishAppendTo(file);
    if (!found.ok()) return failed(msg::reason(found.failure));
    if (!found.quiet()) return msg::unfinishedAppendNotice(found);
    // A move finished now took a page out of its source: the marked line may be another.
    if (!found.replaced.empty()) {
        form.RefreshList();
        return msg::markedLineGone(found.replaced);
    }
    if (FileResult permitted = writePermitted(file); !permitted)
        return failed(msg::reason(permitted));
    return std::nullopt;
}

// The marked line of the list, or -1 after saying that none is.
int markedLine(Holmtex& form) {
    const int marked = form.List1.listIndex();
    if (marked < 0) form.Text5.setText(msg::noLineMarked());
    return marked;
}

// The marked line no longer holds the page that was opened there: nothing was changed, the
// list is shown as it is now, and the message says why.
void refuseChangedLine(Holmtex& form, Failed failed, const std::filesystem::path& file) {
    form.RefreshList();
    form.Text5.setText(failed(msg::changedSinceOpened(file.filename().string())));
}

// After a list was rewritten and shown again: what did not go as it should.
void sayWhatWentAmiss(Holmtex& form, msg::Done done, const ReplaceResult& replaced) {
    if (replaced.failure.error)
        form.Text5.setText(msg::doneButNotSafe(done, replaced.failure.error));
    else if (!form.listReadProblem().empty())
        form.Text5.setText(msg::doneButListNotWhole(done, form.listReadProblem()));
}

// The page at the reader as it goes into another list: with its new list tag, written anew.
std::string movedPage(RecordReader& reader, const char* tag) {
    PageRecord moved;
    reader.decodeInto(moved);
    moved.set(ListTag, tag);
    std::string page;
    writeRecordWithoutQuotes(page, moved);
    return page;
}

// The page goes to the end of `target`, and then the rest of the source, in its sealed work
// file, takes the source's place. The append carries that step, so that the next start
// finishes the move after a crash in between. Nothing replaced and no error: the append
// failed, and Text5 says so.
ReplaceResult appendThenReplace(Holmtex& form, ListKind target, const std::string& page,
                                FileReplacement& rest, ListKind source) {
    if (FileResult sealed = rest.seal(); !sealed) {
        form.Text5.setText(msg::pageNotMoved(msg::reason(sealed)));
        return {};
    }
    const std::filesystem::path targetFile = form.filePath(dataFileName(target));
    const std::filesystem::path backup = form.filePath(backupFileName(source));
    const AppendResult appended = form.appendToList(
        target, page,
        {redo::Step::Replace, form.filePath(dataFileName(source)), rest.workPath(), backup});
    if (!appended.ok()) {
        if (appended.pending) rest.keep();  // for the next start to put in place
        form.Text5.setText(msg::pageNotMoved(appended));
        return {};
    }
    const ReplaceResult replaced = rest.commit(backup);
    // A redo file that stays with the work file makes the next start finish the move.
    if (!endAppend(targetFile) && !replaced.replaced && rest.workLeft()) {
        form.Text5.setText(msg::pageMovedAtNextStart(replaced.failure));
        return {};
    }
    return replaced;
}

enum class Closing { ClearThenRefresh, RefreshThenClear };

// The three moves: the marked page of one of `sources` goes to the end of `target`.
void moveMarkedLine(Holmtex& form, std::initializer_list<ListKind> sources, ListKind target,
                    const char* tag, Closing closing) {
    const std::optional<ListKind> selected = form.selectedList();
    if (!selected || std::find(sources.begin(), sources.end(), *selected) == sources.end()) return;
    const ListKind source = *selected;
    const int marked = markedLine(form);
    if (marked < 0) return;
    const std::filesystem::path sourceFile = form.filePath(dataFileName(source));
    for (const auto& file : {sourceFile, form.filePath(dataFileName(target))}) {
        if (auto refused = mayChange(form, file, msg::pageNotMoved)) {
            form.Text5.setText(*refused);
            return;
        }
    }

    // The source goes into the work file without the page, which alone is decoded to get
    // its new list tag. Only then does the target take the page, so a failure later leaves
    // it in both lists at worst, never in neither.
    std::string page;
    bool opened = false;
    FileReplacement rest(sourceFile, form.filePath(listWorkFileName()));
    CopyPass pass = copyList(sourceFile, marked, rest, form.CurrentRecord, [&](RecordReader& r) {
        opened = form.isOpenedPage(source, marked, r.rawRecord());
        page = movedPage(r, tag);
    });
    if (auto refused = refusal(pass, sourceFile, marked, msg::pageNotMoved)) {
        form.Text5.setText(*refused);
        return;
    }
    if (!opened) return refuseChangedLine(form, msg::pageNotMoved, sourceFile);
    // The buffer ends with the last record read, the page itself when it came last.
    if (marked == pass.records - 1) form.CurrentRecord.set(ListTag, tag);
    const ReplaceResult replaced = appendThenReplace(form, target, page, rest, source);
    if (!replaced.failure.error && !replaced.replaced) return;  // said why
    if (!replaced.replaced) {
        form.Text5.setText(msg::pageInBothLists(replaced.failure));
        return;
    }
    form.listRewritten(source, pass.identity, static_cast<std::size_t>(marked),
                       std::move(pass.places), pass.cleanEnd);

    form.List1.clear();
    if (closing == Closing::ClearThenRefresh) {
        form.Command6_Click();
        form.RefreshList();
    } else {
        form.RefreshList();
        form.Command6_Click();
    }
    sayWhatWentAmiss(form, msg::Done::PageMoved, replaced);
}

// What "alle löschen" did with a list: nothing, with the why; or its content is in its
// backup (when it had a file), and perhaps a later step failed.
struct Emptying {
    std::string failure;  // why nothing was changed; empty when the list was emptied
    bool hadFile = true;
    int syncError = 0;      // the folder may not be on the disk as it is now
    int templateError = 0;  // the template could not be taken
};

// "alle löschen" for a list whose file is a symbolic link: the link stays the list. What
// it points to keeps its place; its content goes into the backup, and the template's
// content, none without a template, takes its place.
Emptying emptyLinkedList(Holmtex& form, const std::filesystem::path& file,
                         const std::string& backup) {
    const std::filesystem::path templateFile = form.filePath(emptyListTemplateName());
    FileReplacement work(file, form.filePath(listWorkFileName()));
    if (FileResult begun = work.begin(); !begun) return {msg::reason(begun)};
    FileSource source;
    if (FileResult opened = source.open(templateFile)) {
        std::string buffer(64 * 1024, '\0');
        for (long n; (n = source.read(buffer.data(), buffer.size())) != 0;) {
            if (n < 0) return {msg::reason(source.error(), emptyListTemplateName())};
            if (FileResult wrote =
                    work.write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
                !wrote)
                return {msg::reason(wrote)};
        }
    } else if (opened.error != ENOENT) {
        return {msg::reason(opened)};
    }
    const ReplaceResult replaced = work.commit(form.filePath(backup));
    if (!replaced.replaced) return {msg::reason(replaced.failure)};
    source.close();
    Emptying done;
    if (const FileResult removed = removeFile(templateFile); removed.error != ENOENT)
        done.templateError = removed.error;
    done.syncError =
        replaced.failure.error ? replaced.failure.error : syncFolder(form.workDir()).error;
    return done;
}

// "alle löschen" for a list file of its own: it becomes the backup, and the template, if
// any, takes its name. Without its file the list reads as empty, as it is meant to be now.
Emptying emptyListFile(Holmtex& form, const std::filesystem::path& file,
                       const std::string& backup) {
    Emptying done;
    const FileResult renamed = renameFile(file, form.filePath(backup));
    if (!renamed && renamed.error != ENOENT) return {msg::reason(renamed)};
    done.hadFile = renamed.ok();
    // Never over a list file; after the rename above there is none.
    const int templateError = renameIfFree(form.filePath(emptyListTemplateName()), file).error;
    if (done.hadFile || !templateError) done.syncError = syncFolder(form.workDir()).error;
    if (templateError != ENOENT) done.templateError = templateError;
    return done;
}

// "alle löschen" on one list. Says in Text5 what became of it; false when nothing changed.
bool emptyList(Holmtex& form, ListKind kind) {
    const std::filesystem::path file = form.filePath(dataFileName(kind));
    const std::string backup = backupFileName(kind);
    if (auto refused = mayChange(form, file, msg::listNotEmptied)) {
        form.Text5.setText(*refused);
        return false;
    }
    std::filesystem::path real;
    Emptying done;
    if (FileResult resolved = resolveFile(file, real); !resolved)
        done.failure = msg::reason(resolved);
    else
        done =
            real != file ? emptyLinkedList(form, file, backup) : emptyListFile(form, file, backup);
    if (!done.failure.empty())
        form.Text5.setText(msg::listNotEmptied(done.failure));
    else if (!done.hadFile)
        form.Text5.setText(msg::listHadNoFile());
    else
        form.Text5.setText(msg::listEmptied(backup, done.syncError, done.templateError));
    return done.failure.empty();
}

// "reparatur!" on one list; the message for Text5.
std::string repairList(Holmtex& form, ListKind kind) {
    const std::filesystem::path file = form.filePath(dataFileName(kind));
    const std::string name = dataFileName(kind);
    if (auto refused = mayChange(form, file, msg::listNotRepaired)) return *refused;
    FileReplacement work(file, form.filePath(listWorkFileName()));
    const CopyPass pass = copyList(file, -1, work, form.CurrentRecord, [](RecordReader&) {});
    // A missing file is an empty list, and nothing is wrong with that.
    if (pass.failure.error == ENOENT && pass.failure.file == name) return msg::listSound(name);
    if (pass.failure.error) return msg::listNotRepaired(msg::reason(pass.failure));
    if (!pass.damaged) return msg::listSound(name);

    // The damaged bytes are safe in their own file before the list lets go of them.
    const std::string rest = restFileName(kind, fileNameStamp(form.platform().now()));
    if (FileResult kept = copyTailToNewFile(file, pass.damageStart, form.filePath(rest)); !kept)
        return msg::listNotRepaired(kept.error == EEXIST ? msg::restFileTaken(rest)
                                                         : msg::reason(kept));
    const ReplaceResult replaced = work.commit(form.filePath(backupFileName(kind)));
    if (!replaced.replaced) return msg::listNotRepaired(msg::reason(replaced.failure));
    if (replaced.failure.error)
        return msg::doneButNotSafe(msg::Done::ListRepaired, replaced.failure.error);
    return msg::listRepaired(pass.records, rest);
}

}  // namespace

// "markierte Zeile löschen"
void Holmtex::Command2_Click() {
    const std::optional<ListKind> kind = selectedList();
    if (!kind) return;
    const int marked = markedLine(*this);
    if (marked < 0) return;
    const std::filesystem::path file = filePath(dataFileName(*kind));
    if (auto refused = mayChange(*this, file, msg::lineNotDeleted)) {
        Text5.setText(*refused);
        return;
    }

    FileReplacement work(file, filePath(listWorkFileName()));
    bool opened = false;
    CopyPass pass = copyList(file, marked, work, CurrentRecord, [&](RecordReader& reader) {
        opened = isOpenedPage(*kind, marked, reader.rawRecord());
    });
    if (auto refused = refusal(pass, file, marked, msg::lineNotDeleted)) {
        Text5.setText(*refused);
        return;
    }
    if (!opened) return refuseChangedLine(*this, msg::lineNotDeleted, file);
    const ReplaceResult replaced = work.commit();
    if (!replaced.replaced) {
        Text5.setText(msg::lineNotDeleted(msg::reason(replaced.failure)));
        return;
    }
    listRewritten(*kind, pass.identity, static_cast<std::size_t>(marked), std::move(pass.places),
                  pass.cleanEnd);

    RefreshList();
    Command6_Click();
    sayWhatWentAmiss(*this, msg::Done::LineDeleted, replaced);
}

// "alle löschen"
void Holmtex::Command3_Click() {
    if (!platform_.askYesNo(msg::dataLossTitle(), msg::dataLossQuestion())) return;
    // Refused, the list is as it was, so it keeps showing as it was.
    if (const std::optional<ListKind> kind = selectedList(); kind && !emptyList(*this, *kind))
        return;
    List1.clear();
    Command6_Click();
}

// "reparatur!"
void Holmtex::RepairList() {
    const std::optional<ListKind> kind = selectedList();
    const std::string message = kind ? repairList(*this, *kind) : std::string();
    Combo1.setText("");
    RefreshList();
    if (!message.empty()) Text5.setText(message);
}

void Holmtex::Command19_Click() {
    moveMarkedLine(*this, {ListKind::Aktuell}, ListKind::Archiv, "arch", Closing::ClearThenRefresh);
}

void Holmtex::Command21_Click() {
    // Refreshed before the clear: the page fields end up empty.
    moveMarkedLine(*this, {ListKind::Archiv, ListKind::Allgemein}, ListKind::Aktuell, "aktu",
                   Closing::RefreshThenClear);
}

void Holmtex::Command22_Click() {
    moveMarkedLine(*this, {ListKind::Aktuell, ListKind::Archiv}, ListKind::Allgemein, "grun",
                   Closing::ClearThenRefresh);
}

}  // namespace holmtex
