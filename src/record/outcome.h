#pragma once
// What an operation of the window did, as one value: the operation, the list and line it
// acted on, how many pages, the files it made or names, the letters it stored as "?", and,
// when something did not go through, why. The message line shows it in words
// (msg::text), tests judge it, and the list-file door answers with one.

#include <string>

#include "record/file_result.h"
#include "record/list_append.h"
#include "record/local_time.h"

namespace holmtex {

enum class ChangeKind;  // record/history.h

enum class Operation {
    Start,       // the start-up: interrupted appends finished, the first list shown
    List,        // a list shown anew
    Open,        // a line opened
    Search,      // "Suchen", and F3 / Shift+F3 from hit to hit
    Save,        // "Speichern"
    Replace,     // ersetzen!: the page on screen in the place of the page opened
    Delete,      // "markierte Zeile löschen"
    DeleteAll,   // "alle löschen"
    Move,        // a line into another list
    Repair,      // reparatur!
    TakeBack,    // zurück!: the last change taken back
    Redo,        // wieder!: the last change taken back made again
    Export,      // export!
    Copy,        // kopie!
    Import,      // import!
    Check,       // the data check
    Duplicates,  // "Duplikate löschen"
    TextFile,    // "Info alsTextdatei speichern"
    Sheet,       // pdf!
    Print,       // drucken!
    Gedcom,      // gedcom!
    Rescue,      // "Schließen, ohne Speichern": the rescue file
    Merge,       // zusammenführen!: the pages of a list's conflict copies taken in
    // gedcom-import!: a genealogy file read into the list
    GedcomImport,
};

enum class Result {
    Done,     // it did what it set out to do
    DoneBut,  // it did, but what `reason` names went amiss after it
    Later,    // not done yet: the next start finishes it; `failure` stopped it now
    NotDone,  // nothing was changed, for the `reason` given
};

enum class Reason {
    None,
    Failed,              // `failure`: a file call failed, or a list ends inside a record
    Unreadable,          // `failure`: the file to take the pages from could not be read whole
    Unfinished,          // `found`: an append a crash cut short, which the user must know of
    NoLine,              // no line is marked
    LineGone,            // `list` no longer has the marked line (`line`)
    ChangedSince,        // `list` changed since its marked line was opened, or while it was read
    NothingToImport,     // there is no transfer file
    FirstHit,            // no hit line above the selected one
    LastHit,             // no hit line below the selected one
    NameTaken,           // `file` is there already and is not replaced
    NotSafe,             // `failure`: done, but its folder may not be on the disk yet
    ListCut,             // `failure`: the list read afterwards was cut short
    BothLists,           // `failure`: the moved page is in both lists now
    NotRemoved,          // `failure`: the transfer file stays after its pages were imported
    TemplateStays,       // `failure`: the empty-list template could not be taken
    NoFile,              // the list had no file, so there was nothing to keep
    NothingRecorded,     // the history holds nothing to take back or redo
    HistoryDamaged,      // what the history keeps for `list` is gone or altered
    Sound,               // the list is in order, nothing needed doing
    DamagedAfter,        // the list is damaged after the `count` pages taken
    NumberNotAFileName,  // the process number cannot be part of a file name
    NotMade,             // the family sheet could not be made or printed
    Cancelled,           // the user cancelled the print dialog
    NotAPdfFile,         // `file`, chosen to print into, is no PDF file and stays
    NoProgram,           // the sibling program is missing
    ProgramNotStarted,   // it could not be started
    ProgramTooSlow,      // it was still running when the wait ran out
    ProgramCrashed,      // it crashed
    ProgramFailed,       // it ended with the exit status `count`
    NoResult,            // it left no result file
    OldResultStays,      // `failure`: an old result file could not be removed
    NotRenamed,          // `failure`: the result could not take its name
    SecondVersion,       // a list shown anew has conflict copies lacking `count` of its pages
    NothingToMerge,      // `list` has no conflict copy
    CopiesLeft,          // merged, but `copiesLeft` conflict copies stay; `failure`: why
    // What was wrong with the genealogy file `file` of an import (the gravest). Nothing was
    // taken from it:
    EmptyFile,   // it holds no line
    NotGedcom,   // it does not begin with "0 HEAD"
    NoFamilies,  // it has no whole family with a husband or a wife
    // Its pages were taken, but:
    FileCut,              // it is cut short: only its whole families
    DuplicateXrefs,       // records sharing a cross-reference: the later ones left out
    MissingRecords,       // references to records it does not have: left out
    OwnAncestor,          // a family among its own ancestors: the link back left out
    BrokenContinuations,  // CONC/CONT lines continuing nothing, or chains cut
    LongLines,            // lines longer than 255 characters
    BadLines,             // lines that are no GEDCOM lines: left out
};

struct Outcome {
    Operation operation = Operation::Start;
    Result result = Result::Done;
    Reason reason = Reason::None;
    std::string list;      // bare name of the list it acted on
    int line = -1;         // the line it acted on; after a save or import, the line opened then
    long long count = -1;  // pages it counted, kept or wrote

    // Of a genealogy file read: its families, and its persons in no family (on no page).
    long long families = -1, personsLeft = -1;

    // A file it made or names: its bare name in the working folder, its path elsewhere.
    std::string file;
    std::string lost;    // the letters it stored as "?", as codepage.h's lostLetters() gives them
    FileResult failure;  // what failed, naming its file
    Recovery found;      // what finishing an earlier append found, or why it failed
    // Done, but the history could not record it (and so it cannot be taken back): why.
    FileResult unrecorded;
    // Taking back and redoing: the change, when it was made, and `list` and `file` the lists
    // it changed (a move: from `list` to `file`); ChangedSince: since when.
    ChangeKind change{};
    LocalDateTime changedAt;
    // A merge: the pages it took in are `count`; these are the pages only the list has, kept.
    long long kept = -1;
    long long copiesLeft = 0;  // CopiesLeft: the conflict copies that stay

    Outcome() = default;
    Outcome(Operation op, Result r = Result::Done, Reason why = Reason::None)
        : operation(op), result(r), reason(why) {}
    bool done() const { return result == Result::Done || result == Result::DoneBut; }
};

// What an append as `operation` came to: Done; Later, when the next start finishes it;
// NotDone: Failed, or Unfinished when an earlier append the user must know of refused it.
Outcome appendOutcome(Operation operation, const AppendResult& appended);

}  // namespace holmtex
