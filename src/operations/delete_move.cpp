// Deleting lines, moving a line into another list, and mending a list whose file ends
// inside an unfinished record.
//
// A list file is only ever replaced whole: its new content goes into the work file, which
// then takes the list file's place in one rename, so a crash leaves the old content or
// the new. A list whose file ends inside a record is left alone, since copying it would
// drop the broken record without a word.
#include <cerrno>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "operations/file_messages.h"
#include "operations/output_names.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

constexpr const char* kNoLine = "Keine Zeile markiert.";
constexpr const char* kNotSafe = ", aber nicht sicher geschrieben: ";
constexpr const char* kNotRead = ", aber die Liste nicht ganz gelesen: ";

std::string bareName(const std::filesystem::path& path) { return path.filename().string(); }

// What one pass over a list found while it copied the list into a work file; an error
// when a file could not be opened, read or written.
struct CopyPass : FileResult {
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
        static_cast<FileResult&>(pass) = failure;
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
            if (FileResult written = work.write(bytes); !written) return failed(written);
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
                                   int marked, const std::string& failed) {
    const std::string name = bareName(file);
    if (pass.error) return failed + reason(pass);
    // Copying it would drop the broken record without a word.
    if (pass.damaged) return failed + damagedListText(name);
    if (marked >= pass.records)
        return "Die markierte Zeile steht nicht mehr in " + name + "; es wurde nichts geändert.";
    return std::nullopt;
}

// Before a list is changed: an append cut short is finished, and a protected file refused.
// The message, or nothing when the list may be changed.
std::optional<std::string> mayChange(const std::filesystem::path& file, const std::string& failed) {
    if (FileResult finished = finishInterruptedAppend(file); !finished)
        return failed + reason(finished);
    if (FileResult writable = checkWritable(file); !writable) return failed + reason(writable);
    return std::nullopt;
}

enum class Closing { ClearThenRefresh, RefreshThenClear };

// The three moves: the marked page of one of `sources` goes to the end of `target`.
void moveMarkedLine(Holmtex& form, std::initializer_list<ListKind> sources, ListKind target,
                    const char* tag, Closing closing) {
    const std::optional<ListKind> selected = form.selectedList();
    std::optional<ListKind> source;
    for (ListKind kind : sources)
        if (selected == kind) source = kind;
    if (!source) return;
    const int marked = form.List1.listIndex();
    if (marked < 0) {
        form.Text5.setText(kNoLine);
        return;
    }

    const std::string notMoved = "Die Seite wurde nicht verschoben: ";
    const std::filesystem::path sourceFile = form.filePath(dataFileName(*source));
    const std::filesystem::path targetFile = form.filePath(dataFileName(target));
    for (const auto& file : {sourceFile, targetFile}) {
        if (auto refused = mayChange(file, notMoved)) {
            form.Text5.setText(*refused);
            return;
        }
    }

    // The source goes into the work file without the page, which alone is decoded to get
    // its new list tag. Only then does the target take the page, so a failure later leaves
    // it in both lists at worst, never in neither.
    std::string page;
    FileReplacement rest(sourceFile, form.filePath(listWorkFileName()));
    CopyPass pass =
        copyList(sourceFile, marked, rest, form.CurrentRecord, [&](RecordReader& reader) {
            PageRecord moved;
            reader.decodeInto(moved);
            moved.set(ListTag, tag);
            writeRecordWithoutQuotes(page, moved);
        });
    if (auto refused = refusal(pass, sourceFile, marked, notMoved)) {
        form.Text5.setText(*refused);
        return;
    }
    // The buffer ends with the last record read, the page itself when it came last.
    if (marked == pass.records - 1) form.CurrentRecord.set(ListTag, tag);
    const AppendResult appended = form.appendToList(target, page);
    if (!appended.ok()) {
        form.Text5.setText(notMoved + appendFailure(appended));
        return;
    }
    const ReplaceResult replaced = rest.commit(form.filePath(backupFileName(*source)));
    if (!replaced.replaced) {
        form.Text5.setText("Die Seite steht nun in beiden Listen: " + reason(replaced));
        return;
    }
    form.listRewritten(*source, pass.identity, static_cast<std::size_t>(marked),
                       std::move(pass.places), pass.cleanEnd);

    form.List1.clear();
    if (closing == Closing::ClearThenRefresh) {
        form.Command6_Click();
        form.RefreshList();
    } else {
        form.RefreshList();
        form.Command6_Click();
    }
    if (replaced.error)
        form.Text5.setText("Die Seite wurde verschoben" + std::string(kNotSafe) +
                           describeError(replaced.error) + ".");
    else if (!form.listReadProblem().empty())
        form.Text5.setText("Die Seite wurde verschoben" + std::string(kNotRead) +
                           form.listReadProblem());
}

// What "alle löschen" says once the list's content is in its backup.
std::string emptiedText(const std::string& backup, int syncError, int templateError) {
    std::string message = "Die Datei wurde gelöscht und unter " + backup + " gespeichert";
    if (syncError) return message + " (nicht sicher: " + describeError(syncError) + ").";
    if (templateError)
        return message + "; " + emptyListTemplateName() + ": " + describeError(templateError) + ".";
    return message;
}

// "alle löschen" for a list whose file is a symbolic link: the link stays the list. What
// it points to keeps its place; its content goes into the backup, and the template's
// content, none without a template, takes its place. Says in Text5 what became of it and
// returns nothing, or returns why nothing was changed.
std::optional<std::string> emptyLinkedList(Holmtex& form, const std::filesystem::path& file,
                                           const std::string& backup) {
    const std::filesystem::path templateFile = form.filePath(emptyListTemplateName());
    FileReplacement work(file, form.filePath(listWorkFileName()));
    if (FileResult begun = work.begin(); !begun) return reason(begun);
    FileSource source;
    if (FileResult opened = source.open(templateFile)) {
        std::string buffer(64 * 1024, '\0');
        for (long n; (n = source.read(buffer.data(), buffer.size())) != 0;) {
            if (n < 0) return reason(source.error(), emptyListTemplateName());
            if (FileResult written =
                    work.write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
                !written)
                return reason(written);
        }
    } else if (opened.error != ENOENT) {
        return reason(opened);
    }
    const ReplaceResult replaced = work.commit(form.filePath(backup));
    if (!replaced.replaced) return reason(replaced);
    source.close();
    const FileResult removed = removeFile(templateFile);
    const int templateError = removed.error == ENOENT ? 0 : removed.error;
    const int syncError = replaced.error ? replaced.error : syncFolder(form.workDir()).error;
    form.Text5.setText(emptiedText(backup, syncError, templateError));
    return std::nullopt;
}

// "reparatur!" on one list; the message for Text5.
std::string repairList(Holmtex& form, ListKind kind) {
    const std::filesystem::path file = form.filePath(dataFileName(kind));
    const std::string name = dataFileName(kind);
    const std::string notRepaired = "Die Liste wurde nicht repariert: ";
    const std::string sound = "Die Liste " + name + " ist in Ordnung; es wurde nichts geändert.";
    if (auto refused = mayChange(file, notRepaired)) return *refused;
    FileReplacement work(file, form.filePath(listWorkFileName()));
    const CopyPass pass = copyList(file, -1, work, form.CurrentRecord, [](RecordReader&) {});
    // A missing file is an empty list, and nothing is wrong with that.
    if (pass.error == ENOENT && pass.file == name) return sound;
    if (pass.error) return notRepaired + reason(pass);
    if (!pass.damaged) return sound;

    // The damaged bytes are safe in their own file before the list lets go of them.
    const std::string rest = restFileName(kind, fileNameStamp(form.platform().now()));
    if (int error = copyTailToNewFile(file, pass.damageStart, form.filePath(rest)).error)
        return notRepaired +
               (error == EEXIST ? "die Datei " + rest + " gibt es schon." : reason(error, rest));
    const ReplaceResult replaced = work.commit(form.filePath(backupFileName(kind)));
    if (!replaced.replaced) return notRepaired + reason(replaced);
    if (replaced.error)
        return "Die Liste wurde repariert" + std::string(kNotSafe) + describeError(replaced.error) +
               ".";
    return std::to_string(pass.records) + (pass.records == 1 ? " Seite blieb" : " Seiten blieben") +
           " in der Liste, der Rest steht in " + rest + ".";
}

}  // namespace

// "markierte Zeile löschen"
void Holmtex::Command2_Click() {
    const std::optional<ListKind> kind = selectedList();
    if (!kind) return;
    const int marked = List1.listIndex();
    if (marked < 0) {
        Text5.setText(kNoLine);
        return;
    }
    const std::string notDeleted = "Die Zeile wurde nicht gelöscht: ";
    const std::filesystem::path file = filePath(dataFileName(*kind));
    if (auto refused = mayChange(file, notDeleted)) {
        Text5.setText(*refused);
        return;
    }

    FileReplacement work(file, filePath(listWorkFileName()));
    CopyPass pass = copyList(file, marked, work, CurrentRecord, [](RecordReader&) {});
    if (auto refused = refusal(pass, file, marked, notDeleted)) {
        Text5.setText(*refused);
        return;
    }
    const ReplaceResult replaced = work.commit();
    if (!replaced.replaced) {
        Text5.setText(notDeleted + reason(replaced));
        return;
    }
    listRewritten(*kind, pass.identity, static_cast<std::size_t>(marked), std::move(pass.places),
                  pass.cleanEnd);

    RefreshList();
    Command6_Click();
    if (replaced.error)
        Text5.setText("Die Zeile wurde gelöscht" + std::string(kNotSafe) +
                      describeError(replaced.error) + ".");
    else if (!listReadProblem().empty())
        Text5.setText("Die Zeile wurde gelöscht" + std::string(kNotRead) + listReadProblem());
}

// "alle löschen"
void Holmtex::Command3_Click() {
    if (!platform_.askYesNo("  D A T E N V E R L U S T   ",
                            "Sollen die Daten der Liste wirklich gelöscht werden?"))
        return;

    if (const std::optional<ListKind> kind = selectedList()) {
        const std::filesystem::path file = filePath(dataFileName(*kind));
        const std::string backup = backupFileName(*kind);
        const std::string notEmptied = "Die Liste konnte nicht geleert werden: ";
        // The list is as it was when this refuses, so it keeps showing as it was.
        if (auto refused = mayChange(file, notEmptied)) {
            Text5.setText(*refused);
            return;
        }
        std::filesystem::path real;
        if (FileResult resolved = resolveFile(file, real); !resolved) {
            Text5.setText(notEmptied + reason(resolved));
            return;
        }
        if (real != file) {
            if (auto failure = emptyLinkedList(*this, file, backup)) {
                Text5.setText(notEmptied + *failure);
                return;
            }
        } else {
            const FileResult renamed = renameFile(file, filePath(backup));
            const bool backedUp = renamed.ok();
            if (const int error = renamed.error; error && error != ENOENT) {
                Text5.setText(notEmptied + reason(error, dataFileName(*kind)));
                return;
            }
            // Never over a list file; after the rename above there is none.
            const int templateError = renameIfFree(filePath(emptyListTemplateName()), file).error;
            const int syncError = backedUp || !templateError ? syncFolder(workDir()).error : 0;
            if (!backedUp) {
                Text5.setText("Die Liste hatte keine Datei; es wurde nichts gesichert.");
            } else {
                // Without its file the list reads as empty, as it is meant to be now.
                Text5.setText(
                    emptiedText(backup, syncError, templateError == ENOENT ? 0 : templateError));
            }
        }
    }
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
