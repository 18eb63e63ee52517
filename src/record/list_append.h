#pragma once
// Appending records to a file, the one way every append of the program takes.
//
// An append is all or nothing, also when the program is killed in the middle of it: before
// the new bytes go to the file, they are written and synced with the file's old size to a
// redo file beside it (the file's name + ".anhang"), which is removed once the append is
// done. A redo file found later means the append may have been cut short; finishing it
// cuts the file back to its old size and appends the bytes again.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "record/file_result.h"

namespace holmtex {

// How an append went: an errno stops it and leaves the file as it was; `file` names the
// file that failed, or the refused one.
struct AppendResult : FileResult {
    bool damagedTail = false;      // refused: the file ends inside an unfinished record
    std::uint64_t sizeBefore = 0;  // the file's size before, 0 when the append created it
    std::uint64_t sizeAfter = 0;   // and after; the new bytes are [sizeBefore, sizeAfter)
    // Both also ask for a refusal.
    bool ok() const { return error == 0 && !damagedTail; }
    explicit operator bool() const { return ok(); }
};

// Appends whole records (each ending in CR LF) after the last byte of the file, which is
// created when missing (its folder then synced). The end of the file is looked at first: a
// last record that lacks only its final CR LF gets it before the new records; a file that
// ends inside an unfinished record takes nothing (damagedTail). A file whose mode bits let
// nobody write it is refused with EACCES. Nothing is written for no records, but a missing
// file is still created.
AppendResult appendRecords(const std::filesystem::path& file, std::string_view records);

// The redo file of an append to `file`.
std::filesystem::path appendRedoFile(const std::filesystem::path& file);

// Finishes an append to `file` that a redo file shows was cut short: afterwards the file
// holds its old content and the whole new bytes, and the redo file is gone. A redo file that
// was itself not written whole (the append never began) or that belongs to a file replaced
// since is just removed. Not ok when it could not be finished: the redo file then stays,
// and the result names it.
FileResult finishInterruptedAppend(const std::filesystem::path& file);

}  // namespace holmtex
