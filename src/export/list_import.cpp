#include "export/list_import.h"

#include <cerrno>

#include "record/codepage.h"

namespace holmtex {

namespace {

// The problems that leave pages to take, gravest first, and what the outcome calls them.
struct ProblemReason {
    GedcomProblem problem;
    Reason reason;
};
constexpr ProblemReason kNotes[] = {
    {GedcomProblem::Truncated, Reason::FileCut},
    {GedcomProblem::DuplicateXref, Reason::DuplicateXrefs},
    {GedcomProblem::MissingRecord, Reason::MissingRecords},
    {GedcomProblem::OwnAncestor, Reason::OwnAncestor},
    {GedcomProblem::BrokenContinuation, Reason::BrokenContinuations},
    {GedcomProblem::LongLines, Reason::LongLines},
    {GedcomProblem::BadLines, Reason::BadLines},
};

Reason refusal(GedcomProblem problem) {
    switch (problem) {
        case GedcomProblem::Empty:
            return Reason::EmptyFile;
        case GedcomProblem::NotGedcom:
            return Reason::NotGedcom;
        case GedcomProblem::Cancelled:
            return Reason::Cancelled;
        default:  // Unreadable, Folder
            return Reason::Unreadable;
    }
}

}  // namespace

Outcome gedcomReadOutcome(const GedcomImport& read, const std::filesystem::path& file,
                          ListKind list) {
    Outcome o(Operation::GedcomImport);
    o.list = dataFileName(list);
    o.file = file.filename().string();
    o.count = read.pages;
    o.families = read.families;
    o.personsLeft = read.personsWithoutFamily;
    if (!read.readable()) {
        o.result = Result::NotDone;
        o.reason = refusal(read.problem);
        // A folder opens, but gives no bytes.
        const int error = read.problem == GedcomProblem::Folder ? EISDIR : read.error;
        if (o.reason == Reason::Unreadable) o.failure = {error ? error : EIO, o.file};
        return o;
    }
    if (read.pages == 0) {
        o.result = Result::NotDone;
        o.reason = read.has(GedcomProblem::Truncated) ? Reason::FileCut : Reason::NoFamilies;
        return o;
    }
    o.lost = lostLetters(read.lostCharacters);
    for (const ProblemReason& note : kNotes) {
        if (read.problem != note.problem) continue;
        o.result = Result::DoneBut;
        o.reason = note.reason;
    }
    return o;
}

Outcome appendGedcomPages(ListFiles& lists, ListKind list, const GedcomImport& pages,
                          const Outcome& read) {
    Outcome o = lists.append(list, pages.records, Operation::GedcomImport);
    if (!o.done()) {
        o.file = read.file;
        return o;
    }
    Outcome appended = read;
    appended.found = o.found;
    return appended;
}

}  // namespace holmtex
