#pragma once
// The history of the lists: every change of a list file is recorded before it is made, so
// that it can be taken back and redone. It lives in the folder holmtex-verlauf/ of the
// working folder, made on first use, apart from the .bak files, which stay as they are.
//
// A change is recorded in two steps around the operation that makes it:
//
//     History history(workDir);
//     HistoryResult r = history.begin({now, ChangeKind::Delete, line,
//                                      {listFile(ListKind::Aktuell, FileChange::Replace, pages)}});
//     if (r.status == HistoryStatus::NoRoom) refuse: the list is untouched, say why
//     ... change the list; NotWritten: change it all the same, and say the history is not kept
//     history.complete({FileAfter::written(hashOfWhatWasWritten, pages - 1)});
//
// begin() keeps what taking the change back needs: for a file replaced whole, the file as it
// is now (a hard link, which costs no copy; a synced copy where the file system has none);
// for a file only appended to, its length and a hash of its last bytes. A file the change
// removes (the transfer file of an import) is kept the same way, so taking the change back
// puts it back. complete() adds the state the change left each file in, which taking back
// checks first: a file changed since is never overwritten.
//
// Recording is crash-safe: the kept files come first, the entry last, written through a
// work file and a rename; a change begun and never completed leaves only files that the next
// recording removes. The history keeps the last 100 changes of each file and at most 20 times
// the lists' size in all (the larger of their size before and after the newest change, and
// never less than 1 MiB, so that small lists keep their changes too), dropping the oldest
// first; the newest change always stays. The room for completing an entry is taken when it
// is begun, so that a change begun on a disk with room can also be completed.
//
// The rule for the operations: NoRoom (the disk or quota is full) refuses the operation
// before it touches anything; NotWritten (the folder cannot be made or written, a file in its
// place, any other failure) lets it go on, and its message says the history was not written.
// complete() never says NoRoom: the change is made by then. One History at a time works in
// a folder, under the folder lock; completing, taking back and redoing are not re-entrant.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "record/content_hash.h"
#include "record/file_names.h"
#include "record/file_result.h"
#include "record/local_time.h"

namespace holmtex {

// When a change was made, in local time.
using ChangeTime = LocalDateTime;

// The operation that made a change.
enum class ChangeKind {
    Save,
    Delete,
    DeleteAll,
    Move,  // the source list first, the target second
    Import,
    Repair,
    ReplaceInPlace,
    Merge,
    GedcomImport,
};

// An operation's own change, or taking one back, or redoing one taken back.
enum class Step { Change, TakeBack, Redo };

// How a change treats one file.
enum class FileChange {
    Replace,  // written whole, emptied or removed: the file as it is now is kept
    Append,   // only added to at its end: its length now is kept
};

// A file a change is about to touch, by its bare name in the working folder. A file the change
// removes (the transfer file an import takes in, a conflict copy a merge takes in) is given
// as Replace and completed as removed(): taking the change back puts it back.
struct ChangedFile {
    std::string name;
    FileChange how = FileChange::Replace;
    long long pages = -1;  // pages in it now; -1 for a file that is not counted in pages
};

// The list file of `kind`.
ChangedFile listFile(ListKind kind, FileChange how, long long pages);

struct ChangeStart {
    ChangeTime time;
    ChangeKind kind = ChangeKind::Save;
    int line = -1;  // the line the change acts on, from 0; -1 for none
    std::vector<ChangedFile> files;
};

// The state a change left a file in, one for each file given to begin(), in that order:
// Appended for a file begun as Append, the others for one begun as Replace; Unchanged for both.
struct FileAfter {
    enum class State { Unchanged, Written, Appended, Removed, AsItIsNow };
    State state = State::Unchanged;
    std::uint64_t size = 0, hash = 0;  // Written: what was written
    std::uint64_t sizeBefore = 0;      // Appended: the new bytes are [sizeBefore, size)
    long long pages = -1;              // pages in it now

    // The operation did not touch it after all.
    static FileAfter unchanged();
    // Replaced whole by the bytes `written` was fed with.
    static FileAfter written(const ContentHash& written, long long pages);
    // Appended to, as AppendResult's sizeBefore and sizeAfter say.
    static FileAfter appended(std::uint64_t sizeBefore, std::uint64_t sizeAfter, long long pages);
    // Gone.
    static FileAfter removed(long long pages = -1);
    // Changed in a way the operation cannot hash as it goes (a rename): complete() reads it.
    static FileAfter asItIsNow(long long pages);
};

enum class HistoryStatus {
    Recorded,    // the change is in the history (or there was nothing to record)
    NoRoom,      // the disk or quota is full: the change must not be made
    NotWritten,  // the history cannot be written; the change may be made without it
};

struct HistoryResult {
    HistoryStatus status = HistoryStatus::Recorded;
    FileResult failure;  // the call that failed, naming its file
    bool ok() const { return status == HistoryStatus::Recorded; }
};

// One file of a recorded change.
struct RecordedFile {
    std::string name;
    std::optional<ListKind> list;  // when it is a list file
    long long pagesBefore = -1, pagesAfter = -1;
    bool changed = true;  // false: the change left it as it was
};

// A recorded change, for the listing and for the message after taking back or redoing.
struct RecordedChange {
    std::uint64_t number = 0;  // grows with every change
    ChangeTime time;
    Step step = Step::Change;
    ChangeKind kind = ChangeKind::Save;  // for a step back or forth: the operation's own kind
    int line = -1;
    std::uint64_t of = 0;  // TakeBack, Redo: the number of the change taken back
    std::vector<RecordedFile> files;
};

struct HistoryListing {
    FileResult read;                      // not ok when the folder cannot be read
    std::vector<RecordedChange> changes;  // newest first
    std::vector<std::string> unreadable;  // bare names of entries that cannot be read
    std::uint64_t nextTakeBack = 0;       // the number zurück! would take back; 0: none
    std::uint64_t nextRedo = 0;           // the number wieder! would take back; 0: none
};

// The operation's own change that a step acts on (a step back names the change it took back,
// a step redone the step back), as far as the listing still holds it; a change is its own.
RecordedChange operationChange(const HistoryListing& listing, const RecordedChange& change);

enum class StepStatus {
    Done,
    Nothing,       // nothing to take back or redo
    ChangedSince,  // `file` is no longer as the change left it: nothing was done
    EntryDamaged,  // what the history keeps for `file` is gone or altered: nothing was done
    NoRoom,        // the step could not be recorded: nothing was done
    NotWritten,
    Failed,  // `failure` stopped it; the files restored before it stay so, and that is recorded
};

struct StepResult {
    StepStatus status = StepStatus::Nothing;
    RecordedChange change;  // the change taken back, or the step back that was redone
    std::string file;       // ChangedSince, EntryDamaged: the bare name of the file
    FileResult failure;     // NoRoom, NotWritten, Failed, EntryDamaged, not recorded: the call
    bool recorded = true;   // Done, Failed: false when the step itself could not be recorded
    std::size_t restored = 0;  // Failed: the files restored before `failure` stopped it
};

class History {
public:
    explicit History(std::filesystem::path workDir);
    // A change begun and neither completed nor abandoned is abandoned.
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // Keeps what taking the change back needs, before the operation touches a file. Call
    // finishInterruptedAppend() on an appended file first.
    HistoryResult begin(const ChangeStart& change);
    // Records the state the operation left the files in. When it was not recorded,
    // NotWritten. Nothing happens when begin() did not record.
    HistoryResult complete(const std::vector<FileAfter>& after);
    // The operation changed nothing: what begin() kept goes again.
    void abandon();

    // zurück!: restores the files of the most recent change not yet taken back to what they
    // were before it, when each is still exactly as that change left it. Itself a change,
    // so nothing is lost by it.
    StepResult takeBack(const ChangeTime& now);
    // wieder!: takes back the most recent step back, until a new change is made.
    StepResult redo(const ChangeTime& now);

    // What the history holds; reads only.
    HistoryListing listing() const;

    struct Pending;
    struct Cache;

private:
    HistoryResult beginStep(const ChangeStart& change, Step step, std::uint64_t of);
    StepResult step(const ChangeTime& now, bool redo);

    std::filesystem::path workDir_, folder_;
    std::unique_ptr<Pending> pending_;
    std::unique_ptr<Cache> cache_;  // the entries read so far
};

}  // namespace holmtex
