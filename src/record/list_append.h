#pragma once
// Appending records to a file, the one way every append of the program takes.
//
// An append is all or nothing, also when the program is killed in the middle of it: before
// the new bytes go to the file, they are written and synced to a redo file beside it (the
// file's name + ".anhang"; its format in redo_file.h) together with what identifies the file
// as it was, its old size and last bytes. The redo file goes once the append is done. A redo
// file found later is taken up only when the file holds exactly its old content and a first
// part of the new bytes: then the rest of them is written. Any other redo file (damaged,
// foreign, of an older kind, not a regular file, for a file changed since) is set aside
// under a name that says so, and the file stays as it is.
//
// An append may carry a step that belongs to it: removing the transfer file after an
// import, putting the rest of the source list in its place after a move. The caller does
// the step right after the append and then calls endAppend(); after a crash the recovery
// does it, but only when the files are still exactly as they were.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "record/file_result.h"
#include "record/redo_file.h"

namespace holmtex {

// The step an append carries.
struct AfterAppend {
    redo::Step step = redo::Step::None;
    std::filesystem::path file;    // Remove: the file to remove; Replace: the list to replace
    std::filesystem::path work;    // Replace: its work file, sealed (FileReplacement::seal)
    std::filesystem::path backup;  // Replace: the list's backup
};

// What finishing an interrupted append came to. Not ok when it could not be finished: the
// redo file then stays, and `file` names what failed. Otherwise it was quiet, or it found
// what the user must be told.
struct Recovery {
    FileResult failure;    // what could not be finished, naming its file
    std::string list;      // bare name of the file appended to
    std::string setAside;  // the redo file was not the file's own; the name it has now
    // The append was finished, its step was not, as this file had changed since.
    std::string leftFile;
    redo::Step leftStep = redo::Step::None;
    std::string page;      // a move's page: its list line, in Windows-1252
    std::string replaced;  // the list a move's step put in place now: its lines moved
    bool ok() const { return failure.ok(); }
    bool quiet() const { return ok() && setAside.empty() && leftFile.empty(); }
};

// How an append went: a failure stops it and leaves the file as it was, unless `pending`.
// kDamagedTail refuses a file that ends inside an unfinished record.
struct AppendResult {
    FileResult failure;  // names the file that failed, or the refused one
    // Failed and could not be taken back: the redo file stays, and the next start (or the
    // next operation on the file) finishes the append.
    bool pending = false;
    Recovery unfinished;           // refused when not quiet: what became of an earlier append
    std::uint64_t sizeBefore = 0;  // the file's size before, 0 when the append created it
    std::uint64_t sizeAfter = 0;   // and after; the new bytes are [sizeBefore, sizeAfter)
    bool ok() const { return failure.ok() && unfinished.quiet(); }
};

// Appends whole records (each ending in CR LF) after the last byte of the file, which is
// created when missing (its folder then synced). An unfinished earlier append is finished
// first; a redo file set aside then (named with `stamp`, yymmddhhmm) refuses the append, so
// that the user reads about it. The end of the file is looked at next: a last record that
// lacks only its final CR LF gets it before the new records; a file that ends inside an
// unfinished record takes nothing (kDamagedTail). A file whose mode bits let nobody write it
// is refused with EACCES. Nothing is written for no records, but a missing file is still
// created. With a step in `after`, the redo file stays after the append for endAppend().
AppendResult appendRecords(const std::filesystem::path& file, std::string_view records,
                           std::string_view stamp, const AfterAppend& after = {});

// Ends an append whose step the caller has done, or has told the user why not. False when
// its redo file could not go: then the next start takes it up.
bool endAppend(const std::filesystem::path& file);

// The redo file of an append to `file`.
std::filesystem::path appendRedoFile(const std::filesystem::path& file);

// Finishes an append to `file` that a redo file shows was cut short, with its step; or sets
// the redo file aside, without reading more than its header, as
// "<file>.anhang-unbenutzt-<stamp>" (with "-2" to "-9" when that name is taken).
Recovery finishInterruptedAppend(const std::filesystem::path& file, std::string_view stamp);

}  // namespace holmtex
