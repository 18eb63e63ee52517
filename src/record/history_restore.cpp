// Taking a change back and redoing it: the files of the change get the content they had
// before it, when each is still as the change left it, through the one way of writing a
// file whole. The step is recorded like any change, so it can be taken back in its turn.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "record/history.h"
#include "record/history_folder.h"
#include "record/list_append.h"
#include "record/posix_io.h"

namespace holmtex {

using namespace history;
using Word = FileState::Word;

namespace {

constexpr std::size_t kChunk = 1024 * 1024;

// Whether `file` holds what the change `f` left in it: the same length and hash, for an
// append the same bytes before the old length's anchor and behind it.
FileResult leftAsRecorded(const fs::path& file, const EntryFile& f, bool& same) {
    same = false;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        same = errno == ENOENT && f.after.word == Word::Absent;
        return FileResult::of(errno == ENOENT ? 0 : errno, file);
    }
    if (f.after.word == Word::Absent || static_cast<std::uint64_t>(st.st_size) != f.after.size)
        return {};
    const bool appended = f.after.word == Word::Tail && f.before.word == Word::Prefix;
    const std::uint64_t old = appended ? f.before.size : 0;
    if (old > 0) {
        ContentHash anchor;
        const std::uint64_t from = old > kAnchorBytes ? old - kAnchorBytes : 0;
        if (FileResult read = hashFile(file, from, old, anchor); !read) return read;
        if (anchor.value() != f.before.x) return {};
    }
    ContentHash hash;
    if (FileResult read = hashFile(file, old, f.after.size, hash); !read) return read;
    same = hash.value() == f.after.x;
    return {};
}

// Whether the change `e` can be taken back now; when not, `result` says why.
bool mayTakeBack(const fs::path& workDir, const fs::path& folder, const Entry& e,
                 StepResult& result) {
    for (std::size_t i = 0; i < e.files.size(); ++i) {
        const EntryFile& f = e.files[i];
        if (f.before.word == Word::Same) continue;
        const fs::path file = workDir / f.name;
        result.file = f.name;
        struct stat st {};
        bool same = false;
        // An append cut short may still be finished on it.
        if (::lstat(appendRedoFile(file).c_str(), &st) == 0) {
            result.status = StepStatus::ChangedSince;
        } else if (FileResult looked = leftAsRecorded(file, f, same); !looked) {
            result.status = StepStatus::Failed;
            result.failure = looked;
        } else if (!same) {
            result.status = StepStatus::ChangedSince;
        } else if (f.before.word == Word::Kept) {
            result.failure = keptIntact(folder / keptName(e.number, i), f.before);
            if (!result.failure) result.status = StepStatus::EntryDamaged;
        }
        if (result.status != StepStatus::Nothing) return false;
    }
    result.file.clear();
    return true;
}

// The files to restore, those that grow first: a page that goes from one file back to
// another is then in both for a moment, never in neither (a move, an import).
std::vector<std::size_t> restoreOrder(const Entry& e) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < e.files.size(); ++i)
        if (e.files[i].before.word != Word::Same) order.push_back(i);
    const auto growth = [&e](std::size_t i) {
        return sizeIn(e.files[i].before) - sizeIn(e.files[i].after);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return growth(a) > growth(b); });
    return order;
}

// Puts the first `size` bytes of `source` into `file` through a work file and a rename,
// hashing them.
FileResult copyInto(const fs::path& file, LinkRule rule, const fs::path& source, std::uint64_t size,
                    ContentHash& hash) {
    posix::Descriptor in(posix::openRetrying(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid()) return FileResult::of(errno, source);
    FileReplacement out(file, workFileFor(file), rule);
    if (FileResult begun = out.begin(); !begun) return begun;
    std::string bytes;
    for (std::uint64_t at = 0; at < size; at += bytes.size()) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - at));
        if (int error = posix::readAt(in.get(), at, want, bytes))
            return FileResult::of(error, source);
        if (bytes.empty()) return FileResult::of(EIO, source);  // shorter than recorded
        hash.update(bytes);
        if (FileResult wrote = out.write(bytes); !wrote) return wrote;
    }
    const ReplaceResult committed = out.commit();
    // Replaced but its folder not synced: the file holds what it should all the same.
    return committed.replaced ? FileResult{} : committed.failure;
}

// Gives the file `i` of the change `e` its content from before the change.
FileResult restoreFile(const fs::path& workDir, const fs::path& folder, const Entry& e,
                       std::size_t i, FileAfter& after) {
    const EntryFile& f = e.files[i];
    const fs::path file = workDir / f.name;
    if (f.before.word == Word::Absent) {
        fs::path real;
        if (FileResult resolved = resolveFile(file, real); !resolved) return resolved;
        if (::unlink(real.c_str()) != 0 && errno != ENOENT) return FileResult::of(errno, file);
        syncFolder(real.parent_path());
        after = FileAfter::removed(f.pagesBefore);
        return {};
    }
    // Appended to: its first bytes are what it held, in the file itself.
    const fs::path source = f.before.word == Word::Kept ? folder / keptName(e.number, i) : file;
    const LinkRule rule = listOf(f.name) ? LinkRule::Follow : LinkRule::Replace;
    ContentHash hash;
    if (FileResult copied = copyInto(file, rule, source, f.before.size, hash); !copied)
        return copied;
    after = FileAfter::written(hash, f.pagesBefore);
    return {};
}

// The change the step takes back, or nothing, with `result` saying why.
std::optional<Entry> stepTarget(const fs::path& folder, bool redo, EntryCache& cache,
                                StepResult& result) {
    bool there = false;
    Slots slots;
    FileResult read = folderThere(folder, there);
    if (read && there) read = scanFolder(folder, slots);
    if (!read) {
        result.status = StepStatus::NotWritten;
        result.failure = read;
        return std::nullopt;
    }
    cleanUp(folder, slots);
    std::vector<Entry> entries = readEntries(folder, slots, cache);
    const Position position = positionOf(entries);
    const std::vector<std::uint64_t>& open = redo ? position.redo : position.takeBack;
    for (Entry& e : entries)
        if (!open.empty() && e.number == open.back()) return std::move(e);
    return std::nullopt;
}

}  // namespace

StepResult History::takeBack(const ChangeTime& now) { return step(now, false); }

StepResult History::redo(const ChangeTime& now) { return step(now, true); }

StepResult History::step(const ChangeTime& now, bool redo) {
    abandon();
    StepResult result;
    const std::optional<Entry> target = stepTarget(folder_, redo, cache_->entries, result);
    if (!target) return result;
    result.change = recordedChange(*target);
    if (!mayTakeBack(workDir_, folder_, *target, result)) return result;

    // The files as they are now are kept first, so that this step can be taken back too.
    const std::vector<std::size_t> order = restoreOrder(*target);
    ChangeStart start{now, target->kind, target->line, {}};
    for (std::size_t i : order)
        start.files.push_back(
            {target->files[i].name, FileChange::Replace, target->files[i].pagesAfter});
    const HistoryResult begun =
        beginStep(start, redo ? Step::Redo : Step::TakeBack, target->number);
    if (!begun.ok()) {
        result.status =
            begun.status == HistoryStatus::NoRoom ? StepStatus::NoRoom : StepStatus::NotWritten;
        result.failure = begun.failure;
        return result;
    }
    std::vector<FileAfter> after(order.size());
    result.status = StepStatus::Done;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (FileResult restored = restoreFile(workDir_, folder_, *target, order[k], after[k]);
            !restored) {
            result.status = StepStatus::Failed;
            result.failure = restored;
            break;
        }
        ++result.restored;
    }
    const HistoryResult completed = complete(after);
    result.recorded = completed.ok();
    if (!result.recorded && result.failure.ok()) result.failure = completed.failure;
    return result;
}

}  // namespace holmtex
