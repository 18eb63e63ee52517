#include "record/history_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <map>
#include <set>

#include "record/posix_io.h"

namespace holmtex::history {

namespace {

using posix::Descriptor;
using posix::openRetrying;

constexpr std::size_t kChunk = 1024 * 1024;
// An entry is a few hundred bytes; anything far larger is not one of ours.
constexpr std::uint64_t kLargestEntry = 64 * 1024;
// Room kept behind a begun entry for what completing it adds.
constexpr std::size_t kRoomPerFile = 128, kRoomPerEntry = 64;

constexpr std::size_t kChangesPerFile = 100;
constexpr std::uint64_t kSizeFactor = 20;
// Even the smallest lists may keep this much, so that their changes are not all dropped
// for the few hundred bytes each entry takes.
constexpr std::uint64_t kSmallestBound = 1024 * 1024;

std::uint64_t modified(const struct stat& st) {
    return static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000ULL +
           static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
}

// The anchor of a file open in `fd` that is `size` bytes long.
FileResult anchorOf(int fd, std::uint64_t size, std::uint64_t& anchor, const fs::path& file) {
    const std::uint64_t from = size > kAnchorBytes ? size - kAnchorBytes : 0;
    std::string bytes;
    if (int error = posix::readAt(fd, from, static_cast<std::size_t>(size - from), bytes))
        return FileResult::of(error, file);
    if (bytes.size() != size - from) return FileResult::of(EIO, file);  // shorter by now
    anchor = contentHashOf(bytes);
    return {};
}

FileResult keepAppended(const fs::path& file, FileState& kept) {
    Descriptor fd(openRetrying(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid()) {
        if (errno != ENOENT) return FileResult::of(errno, file);
        kept = {FileState::Word::Absent, 0, 0};
        return {};
    }
    if (::fstat(fd.get(), &st) != 0) return FileResult::of(errno, file);
    if (int error = posix::plainFileError(st.st_mode)) return FileResult::of(error, file);
    kept = {FileState::Word::Prefix, static_cast<std::uint64_t>(st.st_size), 0};
    return anchorOf(fd.get(), kept.size, kept.x, file);
}

FileResult keepReplaced(const fs::path& file, const fs::path& keptFile, FileState& kept) {
    fs::path real;
    if (FileResult resolved = resolveFile(file, real); !resolved) return resolved;
    struct stat st {};
    if (::stat(real.c_str(), &st) != 0) {
        if (errno != ENOENT) return FileResult::of(errno, file);
        kept = {FileState::Word::Absent, 0, 0};
        return {};
    }
    if (int error = posix::plainFileError(st.st_mode)) return FileResult::of(error, file);
    if (::unlink(keptFile.c_str()) != 0 && errno != ENOENT) return FileResult::of(errno, keptFile);
    if (FileResult made = linkOrCopy(real, keptFile); !made) return made;
    if (::lstat(keptFile.c_str(), &st) != 0) return FileResult::of(errno, keptFile);
    kept = {FileState::Word::Kept, static_cast<std::uint64_t>(st.st_size), modified(st)};
    return {};
}

FileResult readEntryText(const fs::path& file, std::string& text) {
    Descriptor fd(openRetrying(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return FileResult::of(errno, file);
    if (int error = posix::plainFileError(st.st_mode)) return FileResult::of(error, file);
    if (static_cast<std::uint64_t>(st.st_size) > kLargestEntry) return FileResult::of(EFBIG, file);
    return FileResult::of(posix::readAt(fd.get(), 0, static_cast<std::size_t>(st.st_size), text),
                          file);
}

}  // namespace

FileResult folderThere(const fs::path& folder, bool& there) {
    struct stat st {};
    there = ::stat(folder.c_str(), &st) == 0;
    if (!there) return FileResult::of(errno == ENOENT ? 0 : errno, folder);
    return FileResult::of(S_ISDIR(st.st_mode) ? 0 : ENOTDIR, folder);
}

FileResult ensureFolder(const fs::path& folder) {
    bool there = false;
    if (FileResult looked = folderThere(folder, there); !looked || there) return looked;
    if (::mkdir(folder.c_str(), 0777) != 0) return FileResult::of(errno, folder);
    return syncFolder(folder.parent_path());
}

FileResult scanFolder(const fs::path& folder, Slots& slots) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::optional<FolderName> ours = parseFolderName(name);
        if (!ours) continue;  // not ours: left alone
        Slot& slot = slots[ours->number];
        // A file that cannot be looked at may be a whole change: nothing is cleaned up or
        // numbered without knowing it.
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0) {
            if (errno == ENOENT) continue;  // gone since
            return FileResult::of(errno, it->path());
        }
        slot.bytes += static_cast<std::uint64_t>(st.st_size);
        if (ours->what == FolderName::What::Entry) {
            slot.entry = true;
            slot.entryIdentity = {static_cast<std::uint64_t>(st.st_dev),
                                  static_cast<std::uint64_t>(st.st_ino),
                                  static_cast<std::uint64_t>(st.st_size), modified(st)};
        }
        if (ours->what == FolderName::What::Reservation) slot.reservation = true;
        if (ours->what == FolderName::What::Kept) slot.kept.push_back(name);
    }
    return FileResult::of(ec.value(), folder);
}

void cleanUp(const fs::path& folder, Slots& slots) {
    for (auto it = slots.begin(); it != slots.end();) {
        Slot& slot = it->second;
        // A reservation beside an entry is a rename that did not get to remove its source.
        if (slot.reservation) ::unlink((folder / reservationName(it->first)).c_str());
        slot.reservation = false;
        if (slot.entry) {
            ++it;
            continue;
        }
        for (const std::string& kept : slot.kept) ::unlink((folder / kept).c_str());
        it = slots.erase(it);
    }
}

std::vector<Entry> readEntries(const fs::path& folder, const Slots& slots, EntryCache& cache,
                               std::vector<std::string>* unreadable) {
    std::vector<Entry> entries;
    for (auto it = cache.begin(); it != cache.end();)
        it = slots.count(it->first) ? std::next(it) : cache.erase(it);
    for (const auto& [number, slot] : slots) {
        if (!slot.entry) continue;
        auto& [identity, entry] = cache[number];
        if (identity != slot.entryIdentity || identity == FileIdentity{}) {
            std::string text;
            entry.reset();
            if (readEntryText(folder / entryName(number), text)) entry = parseEntry(text, number);
            if (entry && !entry->complete) entry.reset();
            identity = slot.entryIdentity;
        }
        if (entry)
            entries.push_back(*entry);
        else if (unreadable)
            unreadable->push_back(entryName(number));
    }
    return entries;
}

FileResult keepBefore(const fs::path& file, FileChange how, const fs::path& folder,
                      std::uint64_t number, std::size_t index, FileState& kept) {
    if (how == FileChange::Append) return keepAppended(file, kept);
    return keepReplaced(file, folder / keptName(number, index), kept);
}

FileResult keptIntact(const fs::path& kept, const FileState& state) {
    struct stat st {};
    if (::lstat(kept.c_str(), &st) != 0) return FileResult::of(errno, kept);
    const bool same = S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) == state.size &&
                      modified(st) == state.x;
    return FileResult::of(same ? 0 : ESTALE, kept);
}

FileResult hashFile(const fs::path& file, std::uint64_t from, std::uint64_t to, ContentHash& hash) {
    Descriptor fd(openRetrying(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return FileResult::of(errno, file);
    if (int error = posix::plainFileError(st.st_mode)) return FileResult::of(error, file);
    std::string bytes;
    for (std::uint64_t at = from; at < to; at += bytes.size()) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, to - at));
        if (int error = posix::readAt(fd.get(), at, want, bytes))
            return FileResult::of(error, file);
        if (bytes.empty()) break;
        hash.update(bytes);
    }
    const bool whole = to == kToTheEnd || hash.size() == to - from;
    return FileResult::of(whole ? 0 : EIO, file);
}

FileResult writeReservation(const fs::path& folder, std::uint64_t number, const std::string& text) {
    const fs::path file = folder / reservationName(number);
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) return FileResult::of(errno, file);
    Descriptor fd(
        openRetrying(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return FileResult::of(errno, file);
    const std::size_t files = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    std::string room = text;
    room.append(kRoomPerEntry + kRoomPerFile * files, ' ');
    int error = posix::writeAll(fd.get(), room);
    if (const int closed = fd.close(); !error) error = closed;
    return FileResult::of(error, file);
}

FileResult completeReservation(const fs::path& folder, std::uint64_t number,
                               const std::string& text) {
    const fs::path file = folder / reservationName(number);
    Descriptor fd(openRetrying(file.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return FileResult::of(errno, file);
    // Written over the room kept for it, from the start; the rest is cut off.
    int error = posix::writeAll(fd.get(), text);
    if (!error && ::ftruncate(fd.get(), static_cast<off_t>(text.size())) != 0) error = errno;
    if (!error && ::fsync(fd.get()) != 0) error = errno;
    if (const int closed = fd.close(); !error) error = closed;
    if (error) return FileResult::of(error, file);
    if (FileResult renamed = renameFile(file, folder / entryName(number)); !renamed) return renamed;
    return syncFolder(folder);
}

void removeChange(const fs::path& folder, std::uint64_t number, std::size_t files) {
    ::unlink((folder / entryName(number)).c_str());
    ::unlink((folder / reservationName(number)).c_str());
    for (std::size_t i = 0; i < files; ++i) ::unlink((folder / keptName(number, i)).c_str());
}

namespace {

// At most 20 times what the lists hold, now or before the newest change (which may have
// emptied one).
std::uint64_t sizeBound(const fs::path& workDir, const Entry& newest) {
    std::int64_t now = 0, before = 0;
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein}) {
        struct stat st {};
        if (::stat((workDir / dataFileName(kind)).c_str(), &st) == 0) now += st.st_size;
    }
    before = now;
    for (const EntryFile& f : newest.files)
        if (listOf(f.name)) before += sizeIn(f.before) - sizeIn(f.after);
    const auto lists = static_cast<std::uint64_t>(std::max<std::int64_t>({now, before, 0}));
    return std::max(kSmallestBound, kSizeFactor * lists);
}

// The changes beyond the last 100 of any of their files, and with them every older change
// of the same files, which could never be taken back past them.
std::set<std::uint64_t> beyondCount(const std::vector<Entry>& entries, std::uint64_t newest) {
    std::map<std::string, std::size_t> count;
    std::set<std::string> blocked;
    std::set<std::uint64_t> drop;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        bool beyond = false;
        for (const EntryFile& f : e->files)
            if (f.before.word != FileState::Word::Same)
                beyond |= blocked.count(f.name) > 0 || ++count[f.name] > kChangesPerFile;
        if (!beyond || e->number == newest) continue;
        drop.insert(e->number);
        for (const EntryFile& f : e->files) blocked.insert(f.name);
    }
    return drop;
}

}  // namespace

void dropOld(const fs::path& workDir, const fs::path& folder, const Entry& newest,
             EntryCache& cache) {
    Slots slots;
    if (!scanFolder(folder, slots)) return;
    std::set<std::uint64_t> drop = beyondCount(readEntries(folder, slots, cache), newest.number);
    std::uint64_t total = 0;
    for (const auto& [number, slot] : slots)
        if (!drop.count(number)) total += slot.bytes;
    const std::uint64_t bound = sizeBound(workDir, newest);
    for (auto it = slots.begin(); total > bound && it != slots.end(); ++it)
        if (it->first < newest.number && drop.insert(it->first).second) total -= it->second.bytes;
    if (drop.empty()) return;
    // The entries go first, and are gone for good before their kept files go: a kill on the
    // way leaves whole entries and files that belong to none, removed later.
    for (std::uint64_t number : drop) ::unlink((folder / entryName(number)).c_str());
    syncFolder(folder);
    for (std::uint64_t number : drop)
        for (const std::string& kept : slots[number].kept) ::unlink((folder / kept).c_str());
}

}  // namespace holmtex::history
