#pragma once
// Merging the conflict copies of a list into the list. A merge only adds: the pages a copy
// holds that the list lacks are appended, in the copy's order, in one append; no page of
// the list is ever taken out, also when the other computer deleted it.
//
// A page is the same page when its record's bytes are the same. The record's final line end
// is not part of that: a last record without its CR LF (or with a bare CR or LF) is the same
// page as the record with it, and a page taken over is always appended ending in CR LF, as
// every append completes a missing line end. A page that a copy holds twice is taken once.
//
// The plan reads the list and each copy once and keeps of the list only a 128-bit hash of
// each record, so a list of a million pages costs some 20 MB, not its 260 MB; of the copies
// it keeps the new pages' bytes, as they are to be appended.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/conflict_copies.h"
#include "record/file_names.h"
#include "record/file_result.h"
#include "record/list_append.h"
#include "record/record_io.h"

namespace holmtex {

// What the plan found in one conflict copy.
struct CopyPlan {
    ConflictCopy copy;
    FileResult failure;  // it could not be read: nothing of it is taken, it stays as it is
    std::optional<FileIdentity> identity;  // as it was opened
    std::size_t pages = 0;                 // whole records in it
    std::size_t newPages = 0;              // of them, pages the list (and earlier copies) lack
    std::size_t onlyInList = 0;            // pages of the list that this copy lacks
    // The copy ends inside an unfinished record: its whole records are taken, and the bytes
    // from restOffset on (restSize of them) go into a rest file before it is let go.
    bool damaged = false;
    std::uint64_t restOffset = 0, restSize = 0;
};

struct MergePlan {
    ListKind list = ListKind::Aktuell;
    FileResult failure;  // the list could not be read: no merge
    // The list ends inside an unfinished record: the counts stand for its whole records, but
    // the merge is refused, as a save would be.
    bool listDamaged = false;
    std::optional<FileIdentity> listIdentity;  // none when the list has no file
    std::size_t listPages = 0;
    std::size_t newPages = 0;      // to be appended, from all copies
    std::size_t onlyInList = 0;    // pages of the list that at least one readable copy lacks
    std::string records;           // the records to append, each ending in CR LF
    std::vector<CopyPlan> copies;  // in the order given, oldest first

    bool mayMerge() const { return failure.ok() && !listDamaged; }
};

// Reads the list `list` in `folder` and its conflict copies `copies` (oldest first, as
// ConflictCopies::of() gives them): what a merge would append, and what it would leave.
// An append that a crash cut short is finished first, as before every read of a list; a redo
// file that is not the list's own is set aside with `stamp` (yymmddhhmm).
MergePlan planMerge(const std::filesystem::path& folder, ListKind list,
                    const std::vector<ConflictCopy>& copies, std::string_view stamp);

// What became of one conflict copy in a merge.
enum class CopyFate {
    Merged,       // its pages are in the list, and it was set aside (its rest, if any, kept)
    Unreadable,   // it could not be read; left as it was
    Changed,      // it changed since the plan; left as it was, for the next merge
    RestNotKept,  // its damaged rest could not be written; left as it was
    NotSetAside,  // its pages are in the list, but it could not be set aside
    NotReached,   // the merge stopped before it; left as it was
};

struct CopyOutcome {
    std::string name;
    CopyFate fate = CopyFate::NotReached;
    FileResult failure;    // what failed, for RestNotKept, NotSetAside and Unreadable
    std::string restFile;  // the rest file written for a damaged copy
};

// Why a merge appended nothing.
enum class MergeStop {
    None,  // merged: `appended` new pages are in the list
    ListUnreadable,
    ListDamaged,   // the list ends inside an unfinished record
    ListChanged,   // the list changed since the plan: plan again
    AppendFailed,  // `failure` says why; the list is as it was
};

struct MergeOutcome {
    ListKind list = ListKind::Aktuell;
    MergeStop stop = MergeStop::None;
    FileResult failure;
    std::size_t appended = 0;    // pages added to the list
    std::size_t onlyInList = 0;  // pages kept that a copy lacks ("nicht gelöscht")
    std::uint64_t sizeBefore = 0, sizeAfter = 0;  // of the list; the new bytes lie between
    std::vector<CopyOutcome> copies;              // one for each copy of the plan, in its order

    // Every copy merged and set aside.
    bool complete() const;
};

// Puts a merged conflict copy (a bare name in `folder`) where it no longer counts as one.
using SetAside =
    std::function<FileResult(const std::filesystem::path& folder, const std::string& copyName)>;

// Renames the copy to mergedCopyName() beside it, never over another file, and syncs the
// folder.
FileResult renameMergedCopy(const std::filesystem::path& folder, const std::string& copyName);

// Carries out a plan: when the list is still as planned, the new pages are appended in one
// append (appendRecords); then each readable copy that is unchanged since the plan has its
// damaged rest, if any, written to restFileName(list, stamp) (stamp: yymmddhhmm) and is set
// aside. A kill at any instant loses no page: a copy is let go only after its pages are in
// the list and its rest is in its own file, and a copy left behind merges again to nothing
// new. A rest file name that is taken leaves that copy for a later merge.
MergeOutcome performMerge(const std::filesystem::path& folder, const MergePlan& plan,
                          std::string_view stamp, const SetAside& setAside = renameMergedCopy);

}  // namespace holmtex
