#pragma once
// What the history folder holds, inside record/ only: the entries as text, the names of the
// files of the folder, and the order of the steps back and forth.
//
// For the change number N the folder holds:
//   N.eintrag       the entry, written last (through N.eintrag.neu and a rename)
//   N.eintrag.neu   a change begun and not yet completed; left by a crash, it is removed
//   N-I.alt         the file I of the change as it was before (a hard link or a copy)
// N is written with at least 8 digits. Any other name is not ours and is left alone.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/history.h"

namespace holmtex::history {

// What a file held before or after a change, and how it can be known again.
struct FileState {
    enum class Word {
        Open,    // after: not yet known (a change begun)
        Same,    // the change did not touch it
        Absent,  // there was no file
        Kept,    // before, replaced: the kept file holds it; x: its modification time in ns
        Prefix,  // before, appended: the first `size` bytes of the file; x: anchorHash of them
        Whole,   // after: `size` bytes whose hash is x
        Tail,    // after, appended: `size` bytes; x: the hash of those behind the old length
    };
    Word word = Word::Open;
    std::uint64_t size = 0, x = 0;
};

// The bytes a file held in that state; 0 for none or not known.
std::int64_t sizeIn(const FileState& state);

struct EntryFile {
    std::string name;  // bare name in the working folder
    FileChange how = FileChange::Replace;
    long long pagesBefore = -1, pagesAfter = -1;
    FileState before, after;
};

struct Entry {
    std::uint64_t number = 0;
    ChangeTime time;
    Step step = Step::Change;
    std::uint64_t of = 0;
    ChangeKind kind = ChangeKind::Save;
    int line = -1;
    bool complete = false;
    std::vector<EntryFile> files;
};

// The anchor of an appended file: the hash of the last bytes before its old length, enough
// to know that an append went on from there.
constexpr std::uint64_t kAnchorBytes = 4096;

std::string entryText(const Entry& entry);
// The entry of number `number`, or nothing when the text is not a whole entry of ours.
std::optional<Entry> parseEntry(std::string_view text, std::uint64_t number);

std::string entryName(std::uint64_t number);
std::string reservationName(std::uint64_t number);
std::string keptName(std::uint64_t number, std::size_t file);

// A name of the folder that is ours.
struct FolderName {
    enum class What { Entry, Reservation, Kept } what;
    std::uint64_t number;
};
std::optional<FolderName> parseFolderName(std::string_view name);

// Which file an entry file is, and in which state: an entry read once need not be read
// again while this stays the same.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0, modified = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The files of the folder that are ours, by change number.
struct Slot {
    bool entry = false, reservation = false;
    FileIdentity entryIdentity;
    std::vector<std::string> kept;  // bare names
    std::uint64_t bytes = 0;        // what they take, all together
};
using Slots = std::map<std::uint64_t, Slot>;

// The entries read so far, with the identity of their file; nothing for one that did not
// read whole.
using EntryCache = std::map<std::uint64_t, std::pair<FileIdentity, std::optional<Entry>>>;

// Whether a file name may be restored: a bare name in the working folder and no file of the
// history's own.
bool isRestorableName(std::string_view name);

// The list whose file `name` is.
std::optional<ListKind> listOf(std::string_view name);

// The recorded change as the callers see it.
RecordedChange recordedChange(const Entry& entry);

// The steps back and forth that stand open after the complete entries, oldest first.
struct Position {
    std::vector<std::uint64_t> takeBack;  // the last one is taken back next
    std::vector<std::uint64_t> redo;      // the last one is redone next
};
Position positionOf(const std::vector<Entry>& entries);

}  // namespace holmtex::history
