#pragma once
// The file calls of the history, inside record/ only.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "record/content_hash.h"
#include "record/data_files.h"
#include "record/history_entry.h"

namespace holmtex::history {

namespace fs = std::filesystem;

// Makes the history folder when it is missing (its parent then synced). ENOTDIR when
// something else has its name.
FileResult ensureFolder(const fs::path& folder);
// Whether the folder is there; ENOTDIR when something else has its name.
FileResult folderThere(const fs::path& folder, bool& there);

// The files of the folder that are ours, with what they take.
FileResult scanFolder(const fs::path& folder, Slots& slots);
// Removes what changes begun and never completed left behind, and takes them out of `slots`.
void cleanUp(const fs::path& folder, Slots& slots);
// The entries that read whole, oldest first; the names of the others go to `unreadable`.
// Only those not in `cache` as they are now are read, and then kept there.
std::vector<Entry> readEntries(const fs::path& folder, const Slots& slots, EntryCache& cache,
                               std::vector<std::string>* unreadable = nullptr);

// Keeps `file` as it is now for the change `number`, as its file `index`: `kept` becomes its
// state before the change.
FileResult keepBefore(const fs::path& file, FileChange how, const fs::path& folder,
                      std::uint64_t number, std::size_t index, FileState& kept);
// Whether a kept file is still the one recorded.
FileResult keptIntact(const fs::path& kept, const FileState& state);

// Hashes the bytes [from, to) of `file` (followed through a link), to its end for `to` ~0.
// ENOENT when it is missing.
constexpr std::uint64_t kToTheEnd = ~std::uint64_t{0};
FileResult hashFile(const fs::path& file, std::uint64_t from, std::uint64_t to, ContentHash& hash);

// The work file of a change begun: its text, with room behind it for the completed entry,
// so that completing it needs no more room on the disk.
FileResult writeReservation(const fs::path& folder, std::uint64_t number, const std::string& text);
// Overwrites the reservation with the completed entry, syncs it and gives it its name.
FileResult completeReservation(const fs::path& folder, std::uint64_t number,
                               const std::string& text);
// Removes every file of the change `number` that is still there.
void removeChange(const fs::path& folder, std::uint64_t number, std::size_t files);

// Drops the oldest changes beyond the bounds; `newest` (just recorded) always stays.
void dropOld(const fs::path& workDir, const fs::path& folder, const Entry& newest,
             EntryCache& cache);

}  // namespace holmtex::history

namespace holmtex {

struct History::Cache {
    history::EntryCache entries;
};

}  // namespace holmtex
