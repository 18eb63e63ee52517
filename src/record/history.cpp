#include "record/history.h"

#include <algorithm>
#include <cerrno>
#include <set>

#include "record/history_folder.h"

namespace holmtex {

using namespace history;
using Word = FileState::Word;

ChangedFile listFile(ListKind kind, FileChange how, long long pages) {
    return {dataFileName(kind), how, pages};
}

FileAfter FileAfter::unchanged() { return {}; }

FileAfter FileAfter::written(const ContentHash& written, long long pages) {
    return {State::Written, written.size(), written.value(), 0, pages};
}

FileAfter FileAfter::appended(std::uint64_t sizeBefore, std::uint64_t sizeAfter, long long pages) {
    return {State::Appended, sizeAfter, 0, sizeBefore, pages};
}

FileAfter FileAfter::removed(long long pages) { return {State::Removed, 0, 0, 0, pages}; }

FileAfter FileAfter::asItIsNow(long long pages) { return {State::AsItIsNow, 0, 0, 0, pages}; }

// A change begun in the folder and not yet completed.
struct History::Pending {
    Entry entry;
    bool active = false;  // its files are in the folder
    HistoryResult begun;  // how begin() went
};

namespace {

// A full disk refuses the change; any other failure lets it go on without its record.
HistoryResult failed(const FileResult& failure) {
    const int e = failure.error;
    const bool full = e == ENOSPC || e == EDQUOT || e == EFBIG;
    return {full ? HistoryStatus::NoRoom : HistoryStatus::NotWritten, failure};
}

HistoryResult notWritten(const FileResult& failure) { return {HistoryStatus::NotWritten, failure}; }

// Whether the files of a change are named as they may be, each once.
FileResult namesAllowed(const std::vector<ChangedFile>& files) {
    std::set<std::string> seen;
    for (const ChangedFile& f : files)
        if (!isRestorableName(f.name) || !seen.insert(f.name).second)
            return FileResult::of(EINVAL, f.name);
    return {};
}

// The state the operation left the file `f` in, as `after` tells it.
FileResult stateAfter(const fs::path& file, EntryFile& f, const FileAfter& after) {
    using S = FileAfter::State;
    const bool append = f.how == FileChange::Append;
    const bool fits = after.state == S::Unchanged || append == (after.state == S::Appended);
    if (!fits) return FileResult::of(EINVAL, file);
    f.pagesAfter = after.state == S::Unchanged ? f.pagesBefore : after.pages;
    switch (after.state) {
        case S::Unchanged:
            f.before = f.after = {Word::Same, 0, 0};
            return {};
        case S::Written:
            f.after = {Word::Whole, after.size, after.hash};
            return {};
        case S::Removed:
            f.after = {Word::Absent, 0, 0};
            return {};
        case S::AsItIsNow:
        case S::Appended: {
            const std::uint64_t old = f.before.word == Word::Prefix ? f.before.size : 0;
            if (append && after.sizeBefore != old) return FileResult::of(EINVAL, file);
            ContentHash hash;
            const FileResult read = hashFile(file, old, append ? after.size : kToTheEnd, hash);
            if (read.error == ENOENT && !append)
                f.after = {Word::Absent, 0, 0};
            else if (!read)
                return read;
            else
                f.after = {append ? Word::Tail : Word::Whole, old + hash.size(), hash.value()};
            return {};
        }
    }
    return FileResult::of(EINVAL, file);
}

}  // namespace

History::History(std::filesystem::path workDir)
    : workDir_(std::move(workDir)),
      folder_(workDir_ / historyFolderName()),
      cache_(std::make_unique<Cache>()) {}

History::~History() { abandon(); }

HistoryResult History::begin(const ChangeStart& change) {
    return beginStep(change, Step::Change, 0);
}

HistoryResult History::beginStep(const ChangeStart& change, Step step, std::uint64_t of) {
    abandon();
    pending_ = std::make_unique<Pending>();
    Entry& e = pending_->entry;
    const auto fail = [&](const FileResult& failure) {
        if (e.number != 0) removeChange(folder_, e.number, e.files.size());
        return pending_->begun = failed(failure);
    };
    if (FileResult named = namesAllowed(change.files); !named) return fail(named);
    if (FileResult made = ensureFolder(folder_); !made) return fail(made);
    Slots slots;
    if (FileResult scanned = scanFolder(folder_, slots); !scanned) return fail(scanned);
    cleanUp(folder_, slots);
    e = {slots.empty() ? 1 : slots.rbegin()->first + 1,
         change.time,
         step,
         of,
         change.kind,
         change.line,
         false,
         {}};
    bool kept = false;
    for (const ChangedFile& c : change.files) {
        EntryFile f{c.name, c.how, c.pages, -1, {}, {}};
        const FileResult keptNow =
            keepBefore(workDir_ / c.name, c.how, folder_, e.number, e.files.size(), f.before);
        e.files.push_back(std::move(f));
        if (!keptNow) return fail(keptNow);
        kept |= e.files.back().before.word == Word::Kept;
    }
    // The kept files are on the disk before an entry can name them.
    if (FileResult synced = kept ? syncFolder(folder_) : FileResult{}; !synced) return fail(synced);
    if (FileResult reserved = writeReservation(folder_, e.number, entryText(e)); !reserved)
        return fail(reserved);
    pending_->active = true;
    return pending_->begun = {};
}

HistoryResult History::complete(const std::vector<FileAfter>& after) {
    if (!pending_) return notWritten(FileResult::of(EINVAL, folder_));
    if (!pending_->active && !pending_->begun.ok()) return notWritten(pending_->begun.failure);
    if (!pending_->active) return {};
    Entry& e = pending_->entry;
    FileResult stated = FileResult::of(after.size() == e.files.size() ? 0 : EINVAL, folder_);
    bool any = false;
    for (std::size_t i = 0; stated && i < e.files.size(); ++i) {
        stated = stateAfter(workDir_ / e.files[i].name, e.files[i], after[i]);
        any |= e.files[i].after.word != Word::Same;
    }
    if (!stated || !any) {
        abandon();
        return stated ? HistoryResult{} : notWritten(stated);
    }
    for (std::size_t i = 0; i < e.files.size(); ++i)
        if (e.files[i].after.word == Word::Same)
            ::unlink((folder_ / keptName(e.number, i)).c_str());
    e.complete = true;
    if (FileResult written = completeReservation(folder_, e.number, entryText(e)); !written) {
        abandon();
        return notWritten(written);
    }
    pending_->active = false;
    dropOld(workDir_, folder_, e, cache_->entries);
    return {};
}

void History::abandon() {
    if (!pending_ || !pending_->active) return;
    pending_->active = false;
    removeChange(folder_, pending_->entry.number, pending_->entry.files.size());
}

RecordedChange operationChange(const HistoryListing& listing, const RecordedChange& change) {
    RecordedChange c = change;
    for (std::size_t hops = 0; c.step != Step::Change && hops < listing.changes.size(); ++hops) {
        const auto of = std::find_if(listing.changes.begin(), listing.changes.end(),
                                     [&](const RecordedChange& e) { return e.number == c.of; });
        if (of == listing.changes.end()) break;
        c = *of;
    }
    return c;
}

HistoryListing History::listing() const {
    HistoryListing listing;
    bool there = false;
    Slots slots;
    FileResult read = folderThere(folder_, there);
    if (read && there) read = scanFolder(folder_, slots);
    if (!(listing.read = read)) return listing;
    const std::vector<Entry> entries =
        readEntries(folder_, slots, cache_->entries, &listing.unreadable);
    for (auto e = entries.rbegin(); e != entries.rend(); ++e)
        listing.changes.push_back(recordedChange(*e));
    const Position position = positionOf(entries);
    if (!position.takeBack.empty()) listing.nextTakeBack = position.takeBack.back();
    if (!position.redo.empty()) listing.nextRedo = position.redo.back();
    return listing;
}

}  // namespace holmtex
