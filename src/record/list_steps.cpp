// zurück! and wieder! at the door: the history restores the files; here an append a crash cut
// short is finished first, and what the history did becomes an Outcome.
#include "record/list_files.h"

namespace holmtex {

namespace {

// What the message names of a change: its kind, when it was made, its line and its lists.
void describe(Outcome& o, const RecordedChange& c) {
    o.change = c.kind;
    o.changedAt = c.time;
    o.line = c.line;
    for (const RecordedFile& f : c.files) {
        if (!f.list) continue;
        std::string& name = o.list.empty() ? o.list : o.file;
        if (name.empty()) name = f.name;
    }
}

}  // namespace

Outcome ListFiles::takeBack() { return step(Operation::TakeBack); }

Outcome ListFiles::redo() { return step(Operation::Redo); }

Outcome ListFiles::step(Operation operation) {
    Outcome o(operation, Result::NotDone, Reason::Failed);
    // An append a crash cut short is finished first: a file with one pending is changed since.
    for (const std::filesystem::path& file :
         {path(ListKind::Aktuell), path(ListKind::Archiv), path(ListKind::Allgemein),
          workDir_ / transferFileName()}) {
        const Recovery found = finishAppend(file);
        o.found = found;
        o.failure = found.failure;
        if (!found.quiet()) {
            if (found.ok()) o.reason = Reason::Unfinished;
            return o;
        }
    }
    o.found = {};
    const StepResult r = operation == Operation::Redo ? history_.redo(clock_())
                                                      : history_.takeBack(clock_());
    if (r.status != StepStatus::Nothing) describe(o, operationChange(history_.listing(), r.change));
    switch (r.status) {
        case StepStatus::Done:
            o.result = Result::Done;
            o.reason = Reason::None;
            if (!r.recorded) o.unrecorded = {r.failure.error, historyFolderName()};
            break;
        case StepStatus::Nothing:
            o.reason = Reason::NothingRecorded;
            break;
        case StepStatus::ChangedSince:
        case StepStatus::EntryDamaged:
            o.reason = r.status == StepStatus::ChangedSince ? Reason::ChangedSince
                                                            : Reason::HistoryDamaged;
            o.list = r.file;
            o.changedAt = r.change.time;
            break;
        case StepStatus::NoRoom:
        case StepStatus::NotWritten:
            o.failure = {r.failure.error, historyFolderName()};
            break;
        case StepStatus::Failed:
            // The files restored before the failure stay so: the step is half done.
            o.failure = r.failure;
            if (r.restored > 0) o.result = Result::DoneBut;
            break;
    }
    return o;
}

}  // namespace holmtex
