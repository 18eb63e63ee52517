// The list-file door: the changes. A list file is only ever appended to or replaced whole:
// its new content goes into the work file, which then takes the list file's place in one
// rename, so a crash leaves the old content or the new. A list whose file ends inside a
// page is left alone, since copying it would drop the broken page without a word.
#include <algorithm>
#include <cerrno>
#include <vector>

#include "record/list_files.h"
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

// Saves and imports only add pages; every other change acts on the lines of a list.
bool actsOnLines(Operation operation) {
    return operation != Operation::Save && operation != Operation::Import &&
           operation != Operation::GedcomImport;
}

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
Outcome ListFiles::change(Operation operation, std::vector<ChangedFile> files, Make make) {
    for (const ChangedFile& file : files) {
        const std::filesystem::path at = workDir_ / file.name;
        Outcome refused = refuse(operation, files.front().name, finishAppend(at), at);
        if (refused.result == Result::NotDone) return refused;
    }
    // Nothing stops the change now. This is where the history of the lists is to record it,
    // not yet wired in: History::begin with these files as they are, before make() touches
    // one, and History::complete after, with the states make() left them in.
    return make();
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
    std::vector<ChangedFile> files = {{dataFileName(list), FileChange::Append}};
    // A file the append's step removes is changed too.
    if (after.step == redo::Step::Remove)
        files.push_back({after.file.filename().string(), FileChange::Replace});
    return change(operation, files, [&] { return appendNow(operation, list, pages, after); });
}

Outcome ListFiles::appendNow(Operation operation, ListKind list, std::string_view pages,
                             const AfterAppend& after) {
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
    if (line < 0) return o;
    return change(operation, {{o.list, FileChange::Replace}}, [&] {
        FileReplacement work(path(list), workDir_ / listWorkFileName());
        bool opened = false;
        Pass pass = copyPass(
            list, line, work, last,
            [&](RecordReader& reader) { opened = isOpened(list, line, reader.rawRecord()); }, page);
        if (std::optional<Outcome> refused = refusal(o, pass, line, opened)) return *refused;
        const ReplaceResult replaced = work.commit();
        if (!replaced.replaced) return failed(o, replaced.failure);
        // The pages kept are the bytes they were, so their lines are what a read would give.
        if (!page)
            index_.rewritten(list, pass.identity, static_cast<std::size_t>(line),
                             std::move(pass.places), pass.cleanEnd, fileIdentity(path(list)));
        return done(o, replaced.failure);
    });
}

Outcome ListFiles::move(ListKind from, int line, ListKind to, std::string_view tag,
                        PageRecord& last) {
    Outcome o(Operation::Move, Result::NotDone, Reason::NoLine);
    o.list = dataFileName(from);
    o.line = line;
    if (line < 0) return o;
    return change(Operation::Move,
                  {{o.list, FileChange::Replace}, {dataFileName(to), FileChange::Append}}, [&] {
                      // The source goes into the work file without the page, which alone is
                      // decoded to get its new list tag.
                      std::string page;
                      bool opened = false;
                      FileReplacement rest(path(from), workDir_ / listWorkFileName());
                      Pass pass = copyPass(from, line, rest, last, [&](RecordReader& reader) {
                          opened = isOpened(from, line, reader.rawRecord());
                          page = movedPage(reader, tag);
                      });
                      if (std::optional<Outcome> refused = refusal(o, pass, line, opened))
                          return *refused;
                      // The buffer ends with the last page read, the page itself when it came
                      // last.
                      if (line == pass.records - 1) last.set(ListTag, tag);
                      return moveRest(from, to, page, rest, pass, line);
                  });
}

// Only now does the target take the page, so that a failure later leaves it in both lists at
// worst, never in neither. Then the rest of the source, in its sealed work file, takes the
// source's place. The append carries that step, so that the next start finishes the move
// after a crash in between.
Outcome ListFiles::moveRest(ListKind from, ListKind to, std::string_view page,
                            FileReplacement& rest, Pass& pass, int line) {
    Outcome o(Operation::Move);
    o.list = dataFileName(from);
    o.line = line;
    if (FileResult sealed = rest.seal(); !sealed) return failed(o, sealed);
    const std::filesystem::path backup = workDir_ / backupFileName(from);
    Outcome appended = appendNow(Operation::Move, to, page,
                                 {redo::Step::Replace, path(from), rest.workPath(), backup});
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
    index_.rewritten(from, pass.identity, static_cast<std::size_t>(line), std::move(pass.places),
                     pass.cleanEnd, fileIdentity(path(from)));
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
    return change(Operation::DeleteAll, {{e.outcome.list, FileChange::Replace}}, [&] {
        std::filesystem::path real;
        if (FileResult resolved = resolveFile(e.file, real); !resolved)
            return failed(e.outcome, resolved);
        return real != e.file ? emptyLinkedList(e) : emptyListFile(e);
    });
}

Outcome ListFiles::repair(ListKind list, PageRecord& last) {
    Outcome o(Operation::Repair, Result::Done, Reason::Sound);
    o.list = dataFileName(list);
    return change(Operation::Repair, {{o.list, FileChange::Replace}}, [&] {
        FileReplacement work(path(list), workDir_ / listWorkFileName());
        const Pass pass = copyPass(list, -1, work, last, {});
        // A missing file is an empty list, and nothing is wrong with that.
        if (!pass.opened && pass.readFailure.error == ENOENT) return o;
        if (!pass.failure().ok()) return failed(o, pass.failure());
        if (!pass.damaged) return o;
        // The damaged bytes are safe in their own file before the list lets go of them.
        o.file = restFileName(list, stamp());
        if (FileResult kept = copyTailToNewFile(path(list), pass.damageStart, workDir_ / o.file);
            !kept) {
            o = failed(o, kept);
            if (kept.error == EEXIST) o.reason = Reason::NameTaken;
            return o;
        }
        const ReplaceResult replaced = work.commit(workDir_ / backupFileName(list));
        if (!replaced.replaced) return failed(o, replaced.failure);
        o.count = pass.records;
        return done(o, replaced.failure);
    });
}

}  // namespace holmtex
