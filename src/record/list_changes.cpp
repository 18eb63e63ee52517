// The list-file door: the changes. A list file is only ever appended to or replaced whole:
// its new content goes into the work file, which then takes the list file's place in one
// rename, so a crash leaves the old content or the new. A list whose file ends inside a
// page is left alone, since copying it would drop the broken page without a word.
#include <algorithm>
#include <cerrno>
#include <vector>

#include "record/list_files.h"
#include "record/list_line.h"
#include "record/record_io.h"

namespace holmtex {

namespace {

Outcome failed(Outcome o, const FileResult& failure) {
    o.result = Result::NotDone;
    o.reason = Reason::Failed;
    o.failure = failure;
    return o;
}

// Done, or DoneBut NotSafe when the folder of the files it replaced may not be on the disk.
Outcome done(Outcome o, const FileResult& notSafe) {
    o.failure = notSafe;
    o.result = notSafe.ok() ? Result::Done : Result::DoneBut;
    o.reason = notSafe.ok() ? Reason::None : Reason::NotSafe;
    return o;
}

// The page at the reader as it goes into another list: with its new list tag, written anew.
std::string movedPage(RecordReader& reader, std::string_view tag) {
    PageRecord moved;
    reader.decodeInto(moved);
    moved.set(ListTag, tag);
    std::string page;
    writeRecordWithoutQuotes(page, moved);
    return page;
}

// The list line of a page given as its bytes; none when they are no whole page.
std::optional<std::string> listLineOf(std::string_view page) {
    StringSource source{std::string(page)};
    RecordReader reader(source);
    if (reader.nextRaw(ProcessNumber) != ReadStatus::Record) return std::nullopt;
    LineList line;
    addRawListLine(line, reader);
    return std::string(line.front());
}

// Saves, imports and merges only add pages; every other change acts on the lines of a list.
bool actsOnLines(Operation operation) {
    return operation != Operation::Save && operation != Operation::Import &&
           operation != Operation::Merge && operation != Operation::GedcomImport;
}

// A failure of the history is told as one of its folder: its own file names mean nothing to
// the user.
FileResult historyFailure(const FileResult& failure) {
    return {failure.error, historyFolderName()};
}

// The whole records in `bytes`.
long long pagesIn(std::string_view bytes) {
    StringSource source{std::string(bytes)};
    RecordReader reader(source);
    long long pages = 0;
    while (reader.nextRaw(1) == ReadStatus::Record) ++pages;
    return pages;
}

long long plus(long long pages, long long more) { return pages < 0 ? -1 : pages + more; }

}  // namespace

// What one pass that copies a list into a work file found.
struct ListFiles::Pass {
    FileResult readFailure, writeFailure;
    bool opened = false;                    // the list could be opened
    bool damaged = false;                   // it ends inside a page
    int records = 0;                        // whole pages read
    std::uint64_t damageStart = 0;          // where the unfinished page begins, when damaged
    std::optional<FileIdentity> identity;   // of the list, taken as it was opened
    std::vector<PageIndex::Extent> places;  // of the pages copied, in the work file
    bool cleanEnd = true;                   // the work file is empty or ends in a line end
    FileResult failure() const { return writeFailure.ok() ? readFailure : writeFailure; }
};

template <typename Make>
Outcome ListFiles::change(Operation operation, ChangeKind kind, int line,
                          std::vector<ChangedFile> files, Make make) {
    for (const ChangedFile& file : files) {
        const std::filesystem::path at = workDir_ / file.name;
        Outcome refused = refuse(operation, files.front().name, finishAppend(at), at);
        if (refused.result == Result::NotDone) return refused;
    }
    // Nothing stops the change now but a disk too full to record it: then it is not made,
    // as it could not be taken back. Any other failure of the history lets it go on.
    const HistoryResult begun = history_.begin({clock_(), kind, line, files});
    if (begun.status == HistoryStatus::NoRoom) {
        Outcome o = failed(Outcome(operation), historyFailure(begun.failure));
        o.list = files.front().name;
        return o;
    }
    // make() says how it left each file, once it has done what it set out to do; a change
    // not done, or left for the next start to finish, is not recorded.
    std::vector<FileAfter> after(files.size());
    recorded_ = begun.ok();
    Outcome o = make(after);
    if (!o.done()) after.assign(files.size(), FileAfter::unchanged());
    const HistoryResult completed = history_.complete(after);
    if (o.done() && !begun.ok()) o.unrecorded = historyFailure(begun.failure);
    if (o.done() && begun.ok() && !completed.ok()) o.unrecorded = historyFailure(completed.failure);
    return o;
}

ChangedFile ListFiles::changedList(ListKind list, FileChange how) {
    // Known without reading while the file is as it was listed; a missing file has none.
    std::error_code ec;
    const bool there = std::filesystem::exists(path(list), ec) || ec;
    const std::optional<std::size_t> pages = !there   ? 0
                                             : keep() ? index_.recordCount(list, path(list))
                                                      : std::nullopt;
    return listFile(list, how, pages ? static_cast<long long>(*pages) : -1);
}

Outcome ListFiles::refuse(Operation operation, const std::string& list, const Recovery& found,
                          const std::filesystem::path& file) {
    Outcome o(operation, Result::NotDone, Reason::Failed);
    o.list = list;
    o.found = found;
    if (!found.ok()) {
        o.failure = found.failure;
    } else if (!found.quiet()) {
        o.reason = Reason::Unfinished;  // the user reads of it first
    } else if (!actsOnLines(operation)) {
        return Outcome(operation);
    } else if (!found.replaced.empty()) {
        // A move finished now took a page out of its source: the line may hold another.
        o.reason = Reason::LineGone;
        o.list = found.replaced;
    } else if (FileResult permitted = writePermitted(file); !permitted) {
        o.failure = permitted;
    } else {
        return Outcome(operation);
    }
    return o;
}

Recovery ListFiles::finishAppend(const std::filesystem::path& file) {
    return finishInterruptedAppend(file, stamp());
}

Outcome ListFiles::append(ListKind list, std::string_view pages, Operation operation,
                          const AfterAppend& after) {
    const long long added = pagesIn(pages);
    std::vector<ChangedFile> files = {changedList(list, FileChange::Append)};
    // The file the append's step removes (the transfer file of an import) is changed too:
    // taking the change back puts it back.
    const bool removes = after.step == redo::Step::Remove;
    if (removes) files.push_back({after.file.filename().string(), FileChange::Replace, added});
    const ChangeKind kind = operation == Operation::Import         ? ChangeKind::Import
                            : operation == Operation::GedcomImport ? ChangeKind::GedcomImport
                                                                   : ChangeKind::Save;
    return change(operation, kind, -1, files, [&](std::vector<FileAfter>& states) {
        const Outcome o =
            appendNow(operation, list, pages, after, states[0], plus(files[0].pages, added));
        return o.done() && removes ? removeImported(o, list, after.file, states[1]) : o;
    });
}

// The pages are in the list: the file they came from goes, and its folder is synced, so that a
// power cut cannot bring it back to be imported a second time. Then the append is ended.
Outcome ListFiles::removeImported(Outcome o, ListKind list, const std::filesystem::path& file,
                                  FileAfter& state) {
    const FileResult removed = removeFile(file);
    const FileResult synced = removed ? syncFolder(workDir_) : FileResult{};
    endAppend(path(list));
    if (removed) state = FileAfter::removed();
    if (removed && synced) return o;
    // Not removed, the pages are in the list all the same: importing the file again would
    // double them.
    o.result = Result::DoneBut;
    o.reason = removed ? Reason::NotSafe : Reason::NotRemoved;
    o.failure = removed ? synced : removed;
    return o;
}

Outcome ListFiles::appendNow(Operation operation, ListKind list, std::string_view pages,
                             const AfterAppend& after, FileAfter& state, long long pagesAfter) {
    Outcome o(operation);
    o.list = dataFileName(list);
    // The append itself looks only at the end of the file, where a page out of step since an
    // earlier one may still look whole.
    if (damaged(list)) return failed(o, {kDamagedTail, o.list});
    // The file's identity around the append tells the index whether the file grew by our
    // bytes alone; a line end put in front of them makes it read the file anew.
    const std::optional<FileIdentity> before = fileIdentity(path(list));
    const AppendResult appended = appendRecords(path(list), pages, stamp(), after);
    index_.appended(list, before, appended.ok() ? fileIdentity(path(list)) : std::nullopt,
                    pages.size());
    if (appended.ok())
        state = FileAfter::appended(appended.sizeBefore, appended.sizeAfter, pagesAfter);
    Outcome outcome = appendOutcome(operation, appended);
    outcome.list = o.list;
    return outcome;
}

Outcome appendOutcome(Operation operation, const AppendResult& appended) {
    Outcome o(operation);
    if (appended.ok()) return o;
    o = failed(o, appended.failure);
    o.found = appended.unfinished;
    if (appended.pending) o.result = Result::Later;
    if (!appended.pending && appended.failure.ok()) o.reason = Reason::Unfinished;
    return o;
}

namespace {

constexpr std::uint64_t kCopyChunk = 1 << 20;

// `bytes.size()` bytes of the source from `at`; false, and the pass told why, when they
// cannot all be read.
bool readBytes(FileSource& source, std::uint64_t at, std::string& bytes, ListFiles::Pass& pass) {
    std::size_t got = 0;
    bool read = source.seek(at);
    while (read && got < bytes.size()) {
        const long n = source.read(bytes.data() + got, bytes.size() - got);
        read = n > 0;
        if (read) got += static_cast<std::size_t>(n);
    }
    if (!read) pass.readFailure = FileResult::of(source.error() ? source.error() : EIO, {});
    return read;
}

// The bytes of the record at `place`; empty when they cannot be read.
std::string recordAt(FileSource& source, const PageIndex::Extent& place, ListFiles::Pass& pass) {
    std::string bytes(static_cast<std::size_t>(place.end - place.start), '\0');
    if (!readBytes(source, place.start, bytes, pass)) bytes.clear();
    return bytes;
}

// Bytes [from, to) of the source into `into`, in chunks.
void copyRange(FileSource& source, std::uint64_t from, std::uint64_t to, FileReplacement& into,
               ListFiles::Pass& pass) {
    std::string chunk;
    while (from < to && pass.failure().ok()) {
        chunk.resize(static_cast<std::size_t>(std::min(kCopyChunk, to - from)));
        if (!readBytes(source, from, chunk, pass)) return;
        pass.writeFailure = into.write(chunk);
        from += chunk.size();
    }
}

}  // namespace

ListFiles::Pass ListFiles::copyPass(ListKind list, int skip, FileReplacement& into,
                                    PageRecord& last,
                                    const std::function<void(RecordReader&)>& onSkipped,
                                    std::optional<std::string_view> instead) {
    Pass pass;
    FileSource source;
    if ((pass.readFailure = source.open(path(list))).error) return pass;
    pass.opened = true;
    pass.identity = source.identity();
    pass.writeFailure = into.begin();
    std::uint64_t written = 0;
    const auto write = [&](std::string_view bytes) {
        if (pass.writeFailure.error || (pass.writeFailure = into.write(bytes)).error) return;
        pass.places.push_back({written, written + bytes.size()});
        written += bytes.size();
        pass.cleanEnd = bytes.ends_with('\n');
    };
    // A list as it was listed is copied by the places of its records, without reading them.
    if (skip >= 0 && pass.identity)
        if (const auto* places = index_.placesOf(list, *pass.identity)) {
            copyByPlaces(source, *places, skip, into, onSkipped, instead, pass);
            if (pass.records > 0 && pass.failure().ok()) {
                StringSource record(recordAt(source, places->back(), pass));
                RecordReader reader(record);
                if (reader.nextRaw(kItemCount) == ReadStatus::Record) reader.decodeInto(last);
            }
            if (pass.readFailure.error)
                pass.readFailure = FileResult::of(pass.readFailure.error, path(list));
            return pass;
        }
    // Reading, checking and writing in one pass; only the skipped page is decoded.
    RecordReader reader(source);
    ReadStatus status;
    while ((status = reader.nextRaw(1)) == ReadStatus::Record) {
        if (pass.records == skip) onSkipped(reader);
        if (pass.records != skip) write(reader.rawRecord());
        if (pass.records == skip && instead) write(*instead);
        ++pass.records;
    }
    if (source.error()) pass.readFailure = FileResult::of(source.error(), path(list));
    pass.damaged = status == ReadStatus::Damaged;
    pass.damageStart = reader.recordStart();
    if (pass.records > 0) reader.decodeInto(last);
    return pass;
}

// copyPass for a list whose records lie where the index says: the bytes before and after
// record `skip` are copied as they are, `instead` put between them.
void ListFiles::copyByPlaces(FileSource& source, const std::vector<PageIndex::Extent>& places,
                             int skip, FileReplacement& into,
                             const std::function<void(RecordReader&)>& onSkipped,
                             std::optional<std::string_view> instead, Pass& pass) {
    pass.records = static_cast<int>(places.size());
    if (skip >= pass.records) return;  // the line is gone: refused before anything is kept
    const PageIndex::Extent hole = places[static_cast<std::size_t>(skip)];
    const std::string skipped = recordAt(source, hole, pass);
    if (!pass.readFailure.ok()) return;
    StringSource record(skipped);
    RecordReader reader(record);
    if (reader.nextRaw(1) == ReadStatus::Record) onSkipped(reader);
    // The records' own bytes, as a pass over them writes them: what lies between records
    // (empty lines another program left) stays out. Neighbours are copied as one range.
    std::uint64_t written = 0, from = 0, to = 0;
    const auto flush = [&] {
        copyRange(source, from, to, into, pass);
        written += to - from;
        from = to = 0;
    };
    for (std::size_t i = 0; i < places.size() && pass.failure().ok(); ++i) {
        const PageIndex::Extent place = places[i];
        if (i == static_cast<std::size_t>(skip)) {
            flush();
            if (!instead) continue;
            pass.writeFailure = into.write(*instead);
            pass.places.push_back({written, written + instead->size()});
            written += instead->size();
            continue;
        }
        if (place.start != to) flush();
        if (from == to) from = to = place.start;
        pass.places.push_back(
            {written + (to - from), written + (to - from) + (place.end - place.start)});
        to = place.end;
    }
    if (pass.failure().ok()) flush();
    pass.cleanEnd = true;  // whole records, each ending in its line end
}

ListFiles::Copy ListFiles::copyPages(ListKind list, FileReplacement& into, PageRecord& last) {
    const Pass pass = copyPass(list, -1, into, last, {});
    return {pass.readFailure, pass.writeFailure, pass.opened, pass.damaged, pass.records};
}

namespace {

// Why a list may not be written anew without (or with another) page `line` after the pass
// over it, or nothing; `opened`: the line holds the page opened from it.
template <typename Pass>
std::optional<Outcome> refusal(Outcome o, const Pass& pass, int line, bool opened) {
    if (!pass.failure().ok()) return failed(o, pass.failure());
    // Copying it would drop the broken page without a word.
    if (pass.damaged) return failed(o, {kDamagedTail, o.list});
    o.result = Result::NotDone;
    if (line >= pass.records)
        o.reason = Reason::LineGone;
    else if (!opened)
        o.reason = Reason::ChangedSince;
    else
        return std::nullopt;
    return o;
}

}  // namespace

Outcome ListFiles::rewrite(Operation operation, ListKind list, int line,
                           std::optional<std::string_view> page, PageRecord& last) {
    Outcome o(operation, Result::NotDone, Reason::NoLine);
    o.list = dataFileName(list);
    o.line = line;
    if (line < 0 || (page && !(opened_ && opened_->list == list))) return o;
    const ChangeKind kind = page ? ChangeKind::ReplaceInPlace : ChangeKind::Delete;
    return change(
        operation, kind, line, {changedList(list, FileChange::Replace)},
        [&](std::vector<FileAfter>& states) {
            // Refused before a byte is copied, when it can be told from the outside already.
            if (page)
                if (std::optional<Outcome> refused =
                        replaceRefused(o, list, line, fileIdentity(path(list))))
                    return *refused;
            FileReplacement work(path(list), workDir_ / listWorkFileName());
            bool opened = false;
            Pass pass = copyPass(
                list, line, work, last,
                [&](RecordReader& reader) { opened = isOpened(list, line, reader.rawRecord()); },
                page);
            if (std::optional<Outcome> refused = refusal(o, pass, line, opened)) return *refused;
            if (page)
                if (std::optional<Outcome> refused = replaceRefused(o, list, line, pass.identity))
                    return *refused;
            const ReplaceResult replaced = work.commit();
            if (!replaced.replaced) return failed(o, replaced.failure);
            states[0] = FileAfter::written(work.written(), pass.records - (page ? 0 : 1));
            // The pages kept are the bytes they were, so their lines are what a read would give;
            // a page put in unread gives its own.
            const std::optional<std::string> instead = page ? listLineOf(*page) : std::nullopt;
            if (!page || instead)
                index_.rewritten(list, pass.identity, static_cast<std::size_t>(line),
                                 instead ? std::optional<std::string_view>(*instead) : std::nullopt,
                                 std::move(pass.places), pass.cleanEnd, fileIdentity(path(list)));
            return done(o, replaced.failure);
        });
}

std::optional<Outcome> ListFiles::replaceRefused(const Outcome& o, ListKind list, int line,
                                                 const std::optional<FileIdentity>& now) const {
    // The history's link moves the change time; another writer moves more.
    if (opened_ && opened_->list == list && opened_->line == line && opened_->identity && now &&
        sameButChangeTime(*now, *opened_->identity))
        return std::nullopt;
    Outcome refused = o;
    refused.reason = Reason::ChangedSince;
    return refused;
}

Outcome ListFiles::move(ListKind from, int line, ListKind to, std::string_view tag,
                        PageRecord& last) {
    Outcome o(Operation::Move, Result::NotDone, Reason::NoLine);
    o.list = dataFileName(from);
    o.line = line;
    if (line < 0) return o;
    const std::vector<ChangedFile> files = {changedList(from, FileChange::Replace),
                                            changedList(to, FileChange::Append)};
    return change(
        Operation::Move, ChangeKind::Move, line, files, [&](std::vector<FileAfter>& states) {
            // The source goes into the work file without the page, which alone is
            // decoded to get its new list tag.
            std::string page;
            bool opened = false;
            FileReplacement rest(path(from), workDir_ / listWorkFileName());
            Pass pass = copyPass(from, line, rest, last, [&](RecordReader& reader) {
                opened = isOpened(from, line, reader.rawRecord());
                page = movedPage(reader, tag);
            });
            if (std::optional<Outcome> refused = refusal(o, pass, line, opened)) return *refused;
            // The buffer ends with the last page read, the page itself when it came
            // last.
            if (line == pass.records - 1) last.set(ListTag, tag);
            return moveRest({from, to, line, plus(files[1].pages, 1)}, page, rest, pass, states);
        });
}

// Only now does the target take the page, so that a failure later leaves it in both lists at
// worst, never in neither. Then the rest of the source, in its sealed work file, takes the
// source's place. The append carries that step, so that the next start finishes the move
// after a crash in between.
Outcome ListFiles::moveRest(const MoveOf& m, std::string_view page, FileReplacement& rest,
                            Pass& pass, std::vector<FileAfter>& states) {
    const ListKind from = m.from, to = m.to;
    const int line = m.line;
    Outcome o(Operation::Move);
    o.list = dataFileName(from);
    o.line = line;
    if (FileResult sealed = rest.seal(); !sealed) return failed(o, sealed);
    const std::filesystem::path backup = workDir_ / backupFileName(from);
    Outcome appended = appendNow(Operation::Move, to, page,
                                 {redo::Step::Replace, path(from), rest.workPath(), backup},
                                 states[1], m.targetPagesAfter);
    if (!appended.done()) {
        if (appended.result == Result::Later) rest.keep();  // for the next start to put in place
        return appended;
    }
    const ReplaceResult replaced = rest.commit(backup);
    // A redo file that stays with the work file makes the next start finish the move.
    if (!endAppend(path(to)) && !replaced.replaced && rest.workLeft()) {
        o = failed(o, replaced.failure);
        o.result = Result::Later;
        return o;
    }
    if (!replaced.replaced) {
        o = done(o, replaced.failure);
        o.reason = Reason::BothLists;
        return o;
    }
    states[0] = FileAfter::written(rest.written(), pass.records - 1);
    index_.rewritten(from, pass.identity, static_cast<std::size_t>(line), std::nullopt,
                     std::move(pass.places), pass.cleanEnd, fileIdentity(path(from)));
    return done(o, replaced.failure);
}

namespace {

// The folder of a list, its template and what "alle löschen" left, for the two ways of it.
struct Emptying {
    std::filesystem::path workDir, file, backup, templateFile, work;
    Outcome outcome;
};

// Done, or what went amiss after the list's content was in its backup.
Outcome emptied(Outcome o, int syncError, int templateError) {
    if (syncError) return done(o, {syncError, o.list});
    if (!templateError) return o;
    o = done(o, {templateError, emptyListTemplateName()});
    o.reason = Reason::TemplateStays;
    return o;
}

// For a list file that is a symbolic link: the link stays the list. What it points to keeps
// its place; its content goes into the backup, and the template's content, none without a
// template, takes its place.
Outcome emptyLinkedList(const Emptying& e) {
    FileReplacement work(e.file, e.work);
    if (FileResult begun = work.begin(); !begun) return failed(e.outcome, begun);
    FileSource source;
    if (FileResult opened = source.open(e.templateFile)) {
        std::string buffer(64 * 1024, '\0');
        for (long n; (n = source.read(buffer.data(), buffer.size())) != 0;) {
            if (n < 0) return failed(e.outcome, {source.error(), emptyListTemplateName()});
            if (FileResult wrote =
                    work.write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
                !wrote)
                return failed(e.outcome, wrote);
        }
    } else if (opened.error != ENOENT) {
        return failed(e.outcome, opened);
    }
    const ReplaceResult replaced = work.commit(e.backup);
    if (!replaced.replaced) return failed(e.outcome, replaced.failure);
    source.close();
    const int removed = removeFile(e.templateFile).error;
    return emptied(e.outcome,
                   replaced.failure.error ? replaced.failure.error : syncFolder(e.workDir).error,
                   removed == ENOENT ? 0 : removed);
}

// For a list file of its own: it becomes the backup, and the template, if any, takes its
// name. Without its file the list reads as empty, as it is meant to be now.
Outcome emptyListFile(const Emptying& e) {
    const FileResult renamed = renameFile(e.file, e.backup);
    if (!renamed && renamed.error != ENOENT) return failed(e.outcome, renamed);
    // Never over a list file; after the rename above there is none.
    const int templateError = renameIfFree(e.templateFile, e.file).error;
    const int syncError = renamed.ok() || !templateError ? syncFolder(e.workDir).error : 0;
    if (!renamed) {
        Outcome o = e.outcome;
        o.reason = Reason::NoFile;
        return o;
    }
    return emptied(e.outcome, syncError, templateError == ENOENT ? 0 : templateError);
}

}  // namespace

Outcome ListFiles::empty(ListKind list) {
    Emptying e{workDir_,
               path(list),
               workDir_ / backupFileName(list),
               workDir_ / emptyListTemplateName(),
               workDir_ / listWorkFileName(),
               Outcome(Operation::DeleteAll)};
    e.outcome.list = dataFileName(list);
    e.outcome.file = backupFileName(list);
    // The template is used up: taking the change back puts it back too.
    std::vector<ChangedFile> files = {changedList(list, FileChange::Replace)};
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(e.templateFile, ec)))
        files.push_back({emptyListTemplateName(), FileChange::Replace, -1});
    return change(Operation::DeleteAll, ChangeKind::DeleteAll, -1, files,
                  [&](std::vector<FileAfter>& states) {
                      std::filesystem::path real;
                      if (FileResult resolved = resolveFile(e.file, real); !resolved)
                          return failed(e.outcome, resolved);
                      Outcome o = real != e.file ? emptyLinkedList(e) : emptyListFile(e);
                      // Without a file and a template there was nothing to change.
                      if (o.reason == Reason::NoFile && states.size() == 1) return o;
                      // Both hold little or nothing now: the template's content, or no file.
                      for (FileAfter& state : states) state = FileAfter::asItIsNow(-1);
                      return o;
                  });
}

Outcome ListFiles::repair(ListKind list, PageRecord& last) {
    Outcome o(Operation::Repair, Result::Done, Reason::Sound);
    o.list = dataFileName(list);
    return change(Operation::Repair, ChangeKind::Repair, -1,
                  {changedList(list, FileChange::Replace)}, [&](std::vector<FileAfter>& states) {
                      FileReplacement work(path(list), workDir_ / listWorkFileName());
                      const Pass pass = copyPass(list, -1, work, last, {});
                      // A missing file is an empty list, and nothing is wrong with that.
                      if (!pass.opened && pass.readFailure.error == ENOENT) return o;
                      if (!pass.failure().ok()) return failed(o, pass.failure());
                      if (!pass.damaged) return o;
                      // The damaged bytes are safe in their own file before the list lets go of
                      // them.
                      o.file = restFileName(list, stamp());
                      if (FileResult kept =
                              copyTailToNewFile(path(list), pass.damageStart, workDir_ / o.file);
                          !kept) {
                          o = failed(o, kept);
                          if (kept.error == EEXIST) o.reason = Reason::NameTaken;
                          return o;
                      }
                      const ReplaceResult replaced = work.commit(workDir_ / backupFileName(list));
                      if (!replaced.replaced) return failed(o, replaced.failure);
                      states[0] = FileAfter::written(work.written(), pass.records);
                      o.count = pass.records;
                      return done(o, replaced.failure);
                  });
}

// ---- Second versions ----

ListFiles::SecondVersions ListFiles::secondVersions(ListKind list) {
    SecondVersions found;
    const std::vector<ConflictCopy> copies = findConflictCopies(workDir_).of(list);
    found.copies = copies.size();
    if (copies.empty()) return found;
    found.lacked = planMerge(workDir_, list, copies, stamp()).newPages;
    return found;
}

Outcome ListFiles::merge(ListKind list) {
    Outcome o(Operation::Merge, Result::NotDone, Reason::NothingToMerge);
    o.list = dataFileName(list);
    const ConflictCopies found = findConflictCopies(workDir_);
    if (!found.failure.ok()) return failed(o, found.failure);
    const std::vector<ConflictCopy> copies = found.of(list);
    // A copy that cannot be looked at, or is no plain file, stays; the merge says so.
    std::vector<NotACopy> left;
    for (const NotACopy& other : found.leftAlone)
        if (other.list == list) left.push_back(other);
    if (copies.empty() && !left.empty()) return failed(o, {left[0].error, left[0].name});
    if (copies.empty()) return o;
    // Each copy is kept in the history as it is (a hard link) before the merge lets go of it,
    // so that taking the merge back puts it back.
    std::vector<ChangedFile> files = {changedList(list, FileChange::Append)};
    for (const ConflictCopy& copy : copies) files.push_back({copy.name, FileChange::Replace, -1});
    return change(Operation::Merge, ChangeKind::Merge, -1, files,
                  [&](std::vector<FileAfter>& states) {
                      if (damaged(list)) return failed(o, {kDamagedTail, o.list});
                      const MergePlan plan = planMerge(workDir_, list, copies, stamp());
                      // Without its record in the history a copy is only renamed beside the
                      // list, never removed.
                      const SetAside setAside = [this](const std::filesystem::path& folder,
                                                       const std::string& name) {
                          if (!recorded_) return renameMergedCopy(folder, name);
                          const FileResult removed = removeFile(folder / name);
                          return removed ? syncFolder(folder) : removed;
                      };
                      const MergeOutcome m = performMerge(workDir_, plan, stamp(), setAside);
                      if (m.appended > 0)
                          index_.appended(list, plan.listIdentity, fileIdentity(path(list)),
                                          plan.records.size());
                      Outcome said = merged(list, m, states, files[0].pages);
                      if (!said.done() || left.empty()) return said;
                      if (said.copiesLeft == 0) said.failure = {left[0].error, left[0].name};
                      said.copiesLeft += static_cast<long long>(left.size());
                      said.result = Result::DoneBut;
                      said.reason = Reason::CopiesLeft;
                      return said;
                  });
}

// What a merge did, as an Outcome, and how it left each file.
Outcome ListFiles::merged(ListKind list, const MergeOutcome& m, std::vector<FileAfter>& states,
                          long long pagesBefore) {
    Outcome o(Operation::Merge);
    o.list = dataFileName(list);
    switch (m.stop) {
        case MergeStop::None:
            break;
        case MergeStop::ListDamaged:
            return failed(o, {kDamagedTail, o.list});
        case MergeStop::ListChanged:
            o.result = Result::NotDone;
            o.reason = Reason::ChangedSince;
            return o;
        default:
            return failed(o, m.failure);
    }
    o.count = static_cast<long long>(m.appended);
    o.kept = static_cast<long long>(m.onlyInList);
    if (m.appended > 0)
        states[0] = FileAfter::appended(m.sizeBefore, m.sizeAfter,
                                        plus(pagesBefore, static_cast<long long>(m.appended)));
    for (std::size_t i = 0; i < m.copies.size(); ++i) {
        const CopyOutcome& copy = m.copies[i];
        if (!copy.restFile.empty() && o.file.empty()) o.file = copy.restFile;
        if (copy.fate == CopyFate::Merged) {
            if (recorded_) states[i + 1] = FileAfter::removed();
            continue;
        }
        ++o.copiesLeft;
        if (o.failure.ok()) o.failure = copy.failure;
    }
    if (o.copiesLeft > 0) {
        o.result = Result::DoneBut;
        o.reason = Reason::CopiesLeft;
    }
    return o;
}

}  // namespace holmtex
