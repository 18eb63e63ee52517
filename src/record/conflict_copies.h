#pragma once
// Second versions of a list that a sync engine leaves beside it. When two computers change
// the same list while they are apart, the engine keeps one version under the list's name and
// puts the other beside it as a conflict copy:
//   holmtex-aktuell.sync-conflict-20261207-101010-ABCDEFG.dat     (Syncthing)
//   holmtex-aktuell (conflicted copy 2026-12-07 101010).dat       (Nextcloud)
//   holmtex-aktuell (Name's conflicted copy 2026-12-07).dat       (other services)
// The pages saved on the other computer are only in that copy until they are merged.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/file_names.h"
#include "record/file_result.h"

namespace holmtex {

// What a file name says of a conflict copy.
struct ConflictName {
    ListKind list = ListKind::Aktuell;
    // The time the engine put into the name, local time in seconds since the epoch; none when
    // the name holds none. A name with a date alone gives the start of that day.
    std::optional<std::int64_t> time;
};

// Whether `name` (a bare name) is a conflict copy of one of the three lists, and of which.
// The list's stem must stand exactly at the start, so that "holmtex-aktuell-rest-….txt",
// "holmtex-aktuell.bak", redo files (".anhang"), work files (".neu") and merged copies
// (mergedCopyName) never count. Small variants of each style count too: a counter such as
// " (1)", a Syncthing name without its device ID, a user name after "conflicted copy", a
// time without seconds.
std::optional<ConflictName> parseConflictName(std::string_view name);

struct ConflictCopy {
    ListKind list = ListKind::Aktuell;
    std::string name;       // bare name in the working folder
    std::int64_t time = 0;  // the time in the name, else the file's modification time
    std::int64_t modifiedNs = 0;
};

// A name of a conflict copy that stands for something other than a plain file: a symbolic
// link, folder, pipe, device or socket. It is left alone: a link may lead out of the folder,
// and the others hold no pages.
struct NotACopy {
    ListKind list = ListKind::Aktuell;
    std::string name;
    int error = 0;  // ELOOP for a link, EISDIR for a folder, kNotAPlainFile for the rest
};

struct ConflictCopies {
    FileResult failure;                // the folder could not be read (nothing found then)
    std::vector<ConflictCopy> copies;  // of all three lists, each list's oldest first
    std::vector<NotACopy> leftAlone;

    // The copies of one list, oldest first.
    std::vector<ConflictCopy> of(ListKind list) const;
    bool any(ListKind list) const;
};

// Every conflict copy in `folder`, found by one read of the folder; only the names that
// parseConflictName() takes are looked at (lstat), no file is opened. Oldest first means by
// `time`, then by modification time, then by name.
ConflictCopies findConflictCopies(const std::filesystem::path& folder);

}  // namespace holmtex
