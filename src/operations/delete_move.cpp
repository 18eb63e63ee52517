// Deleting lines and moving a line into another list.
//
// A list file is only ever replaced whole: its new content goes into the work file, which
// then takes the list file's place in one rename, so a crash leaves the old content or
// the new. A list whose file ends inside a record is left alone, since copying it would
// drop the broken record without a word.
#include <cerrno>
#include <initializer_list>
#include <optional>
#include <string>

#include "record/data_files.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

constexpr const char* kWorkFile = "fam-erg3.txt";
constexpr const char* kTemplateFile = "holmtex-leer.dat";
constexpr const char* kNoLine = "Keine Zeile markiert.";
constexpr const char* kNotSafe = ", aber nicht sicher geschrieben: ";

// "Ein-/Ausgabefehler (holmtex-aktuell.dat)."
std::string reason(int error, const std::string& file) {
    return describeError(error) + " (" + file + ").";
}

// A list file as the reader sees it, remembering why a read failed and the last byte.
class ListSource : public ByteSource {
public:
    bool open(const std::filesystem::path& path) {
        if (file_.open(path)) return true;
        error = errno;
        return false;
    }
    long read(char* buffer, std::size_t size) override {
        const long n = file_.read(buffer, size);
        if (n < 0) error = errno;
        if (n > 0) lastByte = buffer[n - 1];
        return n;
    }
    int error = 0;
    char lastByte = '\n';  // an empty file needs no line end before a new record

private:
    FileSource file_;
};

// What a look through a whole list file found.
struct ListCheck {
    int error = 0;         // it could not be opened or read
    bool damaged = false;  // it ends inside a record
    long records = 0;
    bool endsWithLineEnd = true;
};

ListCheck checkList(const std::filesystem::path& file) {
    ListCheck check;
    ListSource source;
    if (!source.open(file)) {
        check.error = source.error;
        return check;
    }
    RecordReader reader(source);
    ReadStatus status;
    while ((status = reader.nextRaw(1)) == ReadStatus::Record) ++check.records;
    check.error = source.error;
    check.damaged = status == ReadStatus::Damaged && !check.error;
    check.endsWithLineEnd = source.lastByte == '\n';
    return check;
}

std::string damagedText(const std::string& file) {
    const std::string text =
        "Die Liste " + file + " ist beschädigt: ihr letzter Eintrag ist unvollständig.";
    // The data check reads the AKTUELL list only.
    if (file == dataFileName(ListKind::Aktuell))
        return text + " Nichts geändert; datacheck! prüft sie.";
    return text + " Es wurde nichts geändert.";
}

// Why a list may not be rewritten without its line `marked`, or nothing when it may.
// `failed` opens the message of a failed read.
std::optional<std::string> refuseSource(const std::filesystem::path& file, int marked,
                                        const std::string& failed) {
    const std::string name = file.filename().string();
    const ListCheck check = checkList(file);
    if (check.error) return failed + reason(check.error, name);
    if (check.damaged) return damagedText(name);
    if (marked >= check.records)
        return "Die markierte Zeile steht nicht mehr in " + name + "; es wurde nichts geändert.";
    return std::nullopt;
}

// Copies the list into the work file, leaving out record `marked`, every record passing
// through `buffer`. 0 or the errno; `failedFile` names the file.
int copyWithout(const std::filesystem::path& file, int marked, FileReplacement& work,
                PageRecord& buffer, std::string& failedFile) {
    failedFile = work.workPath().filename().string();
    if (int error = work.begin()) return error;
    ListSource source;
    failedFile = file.filename().string();
    if (!source.open(file)) return source.error;
    RecordReader reader(source);
    std::string bytes;
    for (int n = 0;; ++n) {
        const ReadStatus status = reader.next(buffer);
        if (status == ReadStatus::End && n > marked) return 0;
        // The file was checked just now; it can only have changed or failed since.
        if (status != ReadStatus::Record) return source.error ? source.error : EIO;
        if (n == marked) continue;
        bytes.clear();
        writeRecord(bytes, buffer);
        if (int error = work.write(bytes)) {
            failedFile = work.workPath().filename().string();
            return error;
        }
    }
}

// Reads record `marked` of the list into `buffer`. 0 or the errno.
int readRecord(const std::filesystem::path& file, int marked, PageRecord& buffer) {
    ListSource source;
    if (!source.open(file)) return source.error;
    RecordReader reader(source);
    for (int n = 0; n < marked; ++n)
        if (reader.nextRaw(1) != ReadStatus::Record) return source.error ? source.error : EIO;
    if (reader.next(buffer) != ReadStatus::Record) return source.error ? source.error : EIO;
    return 0;
}

// Puts the bytes of `file` (none when it is missing) and then `tail` into the work file.
// 0 or the errno; `failedFile` names the file.
int copyAndAppend(const std::filesystem::path& file, std::string_view tail, FileReplacement& work,
                  std::string& failedFile) {
    failedFile = work.workPath().filename().string();
    if (int error = work.begin()) return error;
    FileSource source;
    if (source.open(file)) {
        std::string buffer(64 * 1024, '\0');
        for (long n; (n = source.read(buffer.data(), buffer.size())) != 0;) {
            if (n < 0) {
                failedFile = file.filename().string();
                return errno;
            }
            if (int error =
                    work.write(std::string_view(buffer.data(), static_cast<std::size_t>(n))))
                return error;
        }
    } else if (errno != ENOENT) {
        failedFile = file.filename().string();
        return errno;
    }
    return work.write(tail);
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
    if (auto refusal = refuseSource(sourceFile, marked, notMoved)) {
        form.Text5.setText(*refusal);
        return;
    }
    // A record appended behind a broken one would be read as part of it.
    const ListCheck targetCheck = checkList(targetFile);
    if (targetCheck.error && targetCheck.error != ENOENT) {
        form.Text5.setText(notMoved + reason(targetCheck.error, dataFileName(target)));
        return;
    }
    if (targetCheck.damaged) {
        form.Text5.setText(damagedText(dataFileName(target)));
        return;
    }

    // The target takes the page first, so a failure later leaves the page in both lists
    // at worst, never in neither. Both lists are replaced whole through the work file, so
    // a crash leaves each with its old or its new content.
    std::string page, failedFile;
    if (!targetCheck.endsWithLineEnd) page = "\r\n";
    if (int error = readRecord(sourceFile, marked, form.CurrentRecord)) {
        form.Text5.setText(notMoved + reason(error, sourceFile.filename().string()));
        return;
    }
    form.CurrentRecord.set(ListTag, tag);
    writeRecord(page, form.CurrentRecord);
    FileReplacement work(targetFile, form.filePath(kWorkFile));
    if (int error = copyAndAppend(targetFile, page, work, failedFile)) {
        form.Text5.setText(notMoved + reason(error, failedFile));
        return;
    }
    const ReplaceResult appended = work.commit();
    if (!appended.replaced) {
        form.Text5.setText(notMoved + reason(appended.error, appended.failedFile));
        return;
    }
    const std::string inBoth = "Die Seite steht nun in beiden Listen: ";
    if (appended.error) {
        // Not sure to be on disk in the target yet: the source keeps it.
        form.Text5.setText(inBoth + reason(appended.error, appended.failedFile));
        return;
    }

    FileReplacement rest(sourceFile, form.filePath(kWorkFile));
    if (int error = copyWithout(sourceFile, marked, rest, form.CurrentRecord, failedFile)) {
        form.Text5.setText(inBoth + reason(error, failedFile));
        return;
    }
    const ReplaceResult replaced = rest.commit(form.filePath(backupFileName(*source)));
    if (!replaced.replaced) {
        form.Text5.setText(inBoth + reason(replaced.error, replaced.failedFile));
        return;
    }

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
    if (auto refusal = refuseSource(file, marked, notDeleted)) {
        Text5.setText(*refusal);
        return;
    }

    FileReplacement work(file, filePath(kWorkFile));
    std::string failedFile;
    if (int error = copyWithout(file, marked, work, CurrentRecord, failedFile)) {
        Text5.setText(notDeleted + reason(error, failedFile));
        return;
    }
    const ReplaceResult replaced = work.commit();
    if (!replaced.replaced) {
        Text5.setText(notDeleted + reason(replaced.error, replaced.failedFile));
        return;
    }

    RefreshList();
    Command6_Click();
    if (replaced.error)
        Text5.setText("Die Zeile wurde gelöscht" + std::string(kNotSafe) +
                      describeError(replaced.error) + ".");
}

// "alle löschen"
void Holmtex::Command3_Click() {
    if (!platform_.askYesNo("  D A T E N V E R L U S T   ",
                            "Sollen die Daten der Liste wirklich gelöscht werden?"))
        return;

    if (const std::optional<ListKind> kind = selectedList()) {
        const std::filesystem::path file = filePath(dataFileName(*kind));
        const std::string backup = backupFileName(*kind);
        const bool backedUp = ::rename(file.c_str(), filePath(backup).c_str()) == 0;
        if (const int error = backedUp ? 0 : errno; error && error != ENOENT) {
            // The list is as it was, so it keeps showing as it was.
            Text5.setText("Die Liste konnte nicht geleert werden: " +
                          reason(error, dataFileName(*kind)));
            return;
        }
        // Never over a list file; after the rename above there is none.
        const int templateError = renameIfFree(filePath(kTemplateFile), file);
        const int syncError = backedUp || !templateError ? syncFolder(workDir()) : 0;
        if (!backedUp) {
            Text5.setText("Die Liste hatte keine Datei; es wurde nichts gesichert.");
        } else {
            std::string message = "Die Datei wurde gelöscht und unter " + backup + " gespeichert";
            if (syncError) {
                message += " (nicht sicher: " + describeError(syncError) + ").";
            } else if (templateError && templateError != ENOENT) {
                // Without its file the list reads as empty, as it is meant to be now.
                message +=
                    "; " + std::string(kTemplateFile) + ": " + describeError(templateError) + ".";
            }
            Text5.setText(message);
        }
    }
    List1.clear();
    Command6_Click();
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
