#include "support/widest_outcomes.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "export/page_content.h"
#include "operations/messages.h"
#include "record/codepage.h"
#include "record/file_names.h"

namespace holmtex::test {

namespace {

constexpr int kNumber = 99999;  // a five-digit count or line
constexpr const char* kStamp = "2612061403";
constexpr ListKind kKinds[] = {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein};

// The widest values each part of an outcome can take.
struct Widest {
    std::vector<int> errors;  // one for each text the catalogue has, ours, one without a text
    std::vector<std::string> lists, backups, rests, files;
    std::vector<std::string> numbers, shortNumbers;  // process numbers
    std::string lost;                                // eight letters and more stored as "?"
    std::vector<Recovery> found;                     // recoveries the user must read about
};

// Redo files set aside (the name taken eight times over), steps left undone.
void recoveries(Widest& w) {
    std::vector<std::string> appendedTo = w.lists;
    appendedTo.push_back(transferFileName());
    for (const std::string& list : appendedTo) {
        Recovery setAside;
        setAside.list = list;
        setAside.setAside = list + ".anhang-unbenutzt-" + kStamp + "-9";
        w.found.push_back(setAside);
        Recovery removeLeft;
        removeLeft.list = list;
        removeLeft.leftFile = transferFileName();
        removeLeft.leftStep = redo::Step::Remove;
        w.found.push_back(removeLeft);
        for (const std::string& source : w.lists) {
            Recovery moveLeft = removeLeft;
            moveLeft.leftFile = source;
            moveLeft.leftStep = redo::Step::Replace;
            moveLeft.page = "06.12.2026 14:03:59 " + utf8ToCp1252(w.numbers.back());
            w.found.push_back(moveLeft);
        }
    }
}

Widest widest() {
    Widest w;
    std::vector<std::string> texts;
    for (int error = 1; error <= 133; ++error) {
        const std::string text = msg::describeError(error);
        if (std::find(texts.begin(), texts.end(), text) != texts.end()) continue;
        texts.push_back(text);
        w.errors.push_back(error);
    }
    w.errors.push_back(kNotAPlainFile);
    w.errors.push_back(kDamagedTail);
    for (ListKind kind : kKinds) {
        w.lists.push_back(dataFileName(kind));
        w.backups.push_back(backupFileName(kind));
        w.rests.push_back(restFileName(kind, kStamp));
    }
    // The longest names of each kind a failure can name.
    w.files = {"holmtex-aktuell.dat.anhang", "holmtex-archiv.dat.anhang", "holmtex-aktuell.dat",
               "holmtex-aktuell.bak",        "holmtex-trans.txt.anhang",  listWorkFileName(),
               emptyListTemplateName()};
    // As long a process number as Text2 shows; the text file's message takes three lines
    // with it, so a note under that one fits with a number of up to nine characters.
    w.numbers = {"20260815-0042", "2026-08-15 Müller"};
    w.shortNumbers = {"4711-0815", "Müller 18"};
    w.lost = lostLetters("Ж Щ Ш Ю Ѭ Ѩ Ω Ŵ Я");
    recoveries(w);
    return w;
}

using Out = std::vector<Outcome>;

Outcome make(Operation op, Result result, Reason reason) { return Outcome(op, result, reason); }

// The outcome `o` once for every failure of every file it can name (all of w.files when
// none are given).
void withFailures(const Widest& w, Out& out, const Outcome& o,
                  const std::vector<std::string>& files = {}) {
    for (int error : w.errors) {
        for (const std::string& file : files.empty() ? w.files : files) {
            Outcome failed = o;
            failed.failure = {error, file};
            out.push_back(failed);
        }
    }
}

void withRecoveries(const Widest& w, Out& out, Outcome o) {
    o.result = Result::NotDone;
    o.reason = Reason::Unfinished;
    for (const Recovery& found : w.found) {
        o.found = found;
        out.push_back(o);
    }
}

// What every change of a list can say about its list and line.
void listChanges(const Widest& w, Out& out) {
    for (Operation op : {Operation::Save, Operation::Delete, Operation::Move, Operation::DeleteAll,
                         Operation::Repair, Operation::Import, Operation::Replace}) {
        withFailures(w, out, make(op, Result::NotDone, Reason::Failed));
        withFailures(w, out, make(op, Result::Later, Reason::Failed));
        withRecoveries(w, out, make(op, Result::NotDone, Reason::Unfinished));
        for (const std::string& list : w.lists) {
            for (Reason reason : {Reason::NoLine, Reason::LineGone, Reason::ChangedSince}) {
                Outcome o = make(op, Result::NotDone, reason);
                o.list = list;
                out.push_back(o);
            }
        }
    }
    for (Operation op : {Operation::Delete, Operation::Move, Operation::Repair, Operation::Import,
                         Operation::Replace}) {
        withFailures(w, out, make(op, Result::DoneBut, Reason::NotSafe));
        withFailures(w, out, make(op, Result::DoneBut, Reason::ListCut), w.lists);
    }
    withFailures(w, out, make(Operation::Move, Result::DoneBut, Reason::BothLists));
    withFailures(w, out, make(Operation::Import, Result::DoneBut, Reason::NotRemoved));
}

// What a list shown anew says, alone and under what an operation said.
void listsShown(const Widest& w, Out& out) {
    for (const char* name : {dataFileName(ListKind::Aktuell), dataFileName(ListKind::Archiv),
                             dataFileName(ListKind::Allgemein), transferFileName()}) {
        Outcome o = make(Operation::Start, Result::DoneBut, Reason::Failed);
        o.list = name;
        withFailures(w, out, o);
    }
    for (Operation op : {Operation::Start, Operation::List, Operation::Save, Operation::Import}) {
        withFailures(w, out, make(op, Result::DoneBut, Reason::ListCut), w.lists);
        Outcome o = make(op, Result::Done, Reason::None);
        for (const Recovery& found : w.found) {
            o.found = found;
            out.push_back(o);
        }
        o.found = {};
        o.line = kNumber;
        for (const std::string& lost : {std::string(), w.lost}) {
            o.lost = lost;
            out.push_back(o);
        }
    }
    Outcome cut = make(Operation::Save, Result::DoneBut, Reason::ListCut);
    cut.failure = {EIO, dataFileName(ListKind::Aktuell)};
    cut.lost = w.lost;
    out.push_back(cut);
    Outcome opened = make(Operation::Open, Result::Done, Reason::None);
    opened.line = kNumber;
    out.push_back(opened);
}

// ersetzen!, beyond what every change of a list says, and the search with F3.
void replaceAndSearch(const Widest& w, Out& out) {
    Outcome replaced = make(Operation::Replace, Result::Done, Reason::None);
    replaced.line = kNumber;
    replaced.lost = w.lost;
    out.push_back(replaced);
    for (Reason reason : {Reason::NotSafe, Reason::ListCut}) {
        replaced.result = Result::DoneBut;
        replaced.reason = reason;
        withFailures(w, out, replaced, w.lists);
    }
    for (Reason reason : {Reason::None, Reason::FirstHit, Reason::LastHit}) {
        Outcome found = make(Operation::Search, Result::Done, reason);
        for (long long hits : {0, 1, kNumber}) {
            found.count = hits;
            out.push_back(found);
        }
    }
}

void emptyAndRepair(const Widest& w, Out& out) {
    for (const std::string& backup : w.backups) {
        for (Reason reason :
             {Reason::None, Reason::NoFile, Reason::NotSafe, Reason::TemplateStays}) {
            Outcome o = make(Operation::DeleteAll, Result::Done, reason);
            o.file = backup;
            if (reason == Reason::NotSafe || reason == Reason::TemplateStays)
                withFailures(w, out, o);
            else
                out.push_back(o);
        }
    }
    withFailures(w, out, make(Operation::Repair, Result::NotDone, Reason::Failed), w.rests);
    for (const std::string& rest : w.rests) {
        Outcome o = make(Operation::Repair, Result::NotDone, Reason::NameTaken);
        o.file = rest;
        out.push_back(o);
        o = make(Operation::Repair, Result::Done, Reason::None);
        o.file = rest;
        for (long long pages : {1, kNumber}) {
            o.count = pages;
            out.push_back(o);
        }
    }
    for (const std::string& list : w.lists) {
        Outcome o = make(Operation::Repair, Result::Done, Reason::Sound);
        o.list = list;
        out.push_back(o);
    }
}

// Export and copy: what each list can make them say.
void transfers(const Widest& w, Out& out) {
    for (Operation op : {Operation::Export, Operation::Copy}) {
        for (const std::string& list : w.lists) {
            for (Reason reason :
                 {Reason::None, Reason::NoLine, Reason::LineGone, Reason::ChangedSince}) {
                Outcome o =
                    make(op, reason == Reason::None ? Result::Done : Result::NotDone, reason);
                o.list = list;
                o.line = kNumber;
                out.push_back(o);
            }
            Outcome unreadable = make(op, Result::NotDone, Reason::Unreadable);
            unreadable.list = list;
            withFailures(w, out, unreadable);
        }
        withFailures(w, out, make(op, Result::NotDone, Reason::Failed));
        withFailures(w, out, make(op, Result::Later, Reason::Failed));
        withRecoveries(w, out, make(op, Result::NotDone, Reason::Unfinished));
    }
}

// Import, the data check and the duplicates, beyond what every change of a list says.
void importCheckDuplicates(const Widest& w, Out& out) {
    out.push_back(make(Operation::Import, Result::NotDone, Reason::NothingToImport));
    withFailures(w, out, make(Operation::Import, Result::NotDone, Reason::Unreadable));
    out.push_back(make(Operation::Check, Result::Done, Reason::None));
    withFailures(w, out, make(Operation::Check, Result::NotDone, Reason::Failed));
    for (Reason reason : {Reason::Failed, Reason::NotSafe})
        withFailures(w, out, make(Operation::Check, Result::DoneBut, reason));
    withRecoveries(w, out, make(Operation::Check, Result::NotDone, Reason::Unfinished));
    for (const std::string& list : w.lists) {
        Outcome o = make(Operation::Duplicates, Result::NotDone, Reason::ChangedSince);
        o.list = list;
        out.push_back(o);
    }
    Outcome o = make(Operation::Duplicates, Result::Done, Reason::None);
    o.count = kNumber;
    out.push_back(o);
    withFailures(w, out, make(Operation::Duplicates, Result::NotDone, Reason::Unreadable), w.lists);
    o = make(Operation::Duplicates, Result::DoneBut, Reason::Failed);
    o.count = kNumber;
    withFailures(w, out, o);
}

void textFiles(const Widest& w, Out& out) {
    for (const std::string& number : w.numbers) {
        Outcome o = make(Operation::TextFile, Result::Done, Reason::None);
        o.file = pageTextFileName(number, kStamp);
        out.push_back(o);
        o.result = Result::NotDone;
        o.reason = Reason::NameTaken;
        out.push_back(o);
    }
    for (const std::string& number : w.shortNumbers) {
        Outcome o = make(Operation::TextFile, Result::Done, Reason::None);
        o.file = pageTextFileName(number, kStamp);
        o.lost = w.lost;
        out.push_back(o);
    }
    for (Reason reason : {Reason::NumberNotAFileName, Reason::NoProgram, Reason::ProgramNotStarted,
                          Reason::ProgramTooSlow, Reason::ProgramCrashed, Reason::ProgramFailed,
                          Reason::NoResult}) {
        Outcome o = make(Operation::TextFile, Result::NotDone, reason);
        o.count = 255;
        out.push_back(o);
    }
    withFailures(w, out, make(Operation::TextFile, Result::NotDone, Reason::Failed),
                 {pageTextDraftName()});
    for (Reason reason : {Reason::OldResultStays, Reason::NotRenamed})
        withFailures(w, out, make(Operation::TextFile, Result::NotDone, reason));
}

void sheetAndGedcom(const Widest& w, Out& out) {
    for (const std::string& number : w.numbers) {
        for (Reason reason : {Reason::None, Reason::NameTaken, Reason::NotSafe}) {
            Outcome o = make(Operation::Sheet, Result::Done, reason);
            o.file = familySheetFileName(number, kStamp);
            out.push_back(o);
        }
    }
    for (Reason reason : {Reason::NumberNotAFileName, Reason::NotMade})
        out.push_back(make(Operation::Sheet, Result::NotDone, reason));
    withFailures(w, out, make(Operation::Sheet, Result::NotDone, Reason::Failed));
    for (const std::string& number : w.shortNumbers) {
        Outcome o = make(Operation::Print, Result::Done, Reason::None);
        o.file = "/home/benutzer/Dokumente/" + familySheetFileName(number, kStamp);
        out.push_back(o);
    }
    for (Reason reason : {Reason::None, Reason::Cancelled, Reason::NotMade, Reason::NotAPdfFile}) {
        Outcome o = make(Operation::Print, Result::NotDone, reason);
        o.file = "/home/benutzer/Dokumente/holmtex-aktuell.dat";
        out.push_back(o);
    }
    for (ListKind kind : kKinds) {
        Outcome o = make(Operation::Gedcom, Result::Done, Reason::None);
        o.list = dataFileName(kind);
        o.file = gedcomFileName(kind);
        o.count = kNumber;
        out.push_back(o);
        o.reason = Reason::DamagedAfter;
        out.push_back(o);
        o.reason = Reason::NotSafe;
        withFailures(w, out, o);
        for (Reason reason : {Reason::Unreadable, Reason::Failed}) {
            o.result = Result::NotDone;
            o.reason = reason;
            withFailures(w, out, o);
        }
    }
}

// zurück! and wieder!: every change named with its widest lists and line, and every refusal.
void historySteps(const Widest& w, Out& out) {
    const ChangeKind kinds[] = {
        ChangeKind::Save,           ChangeKind::Delete, ChangeKind::DeleteAll,
        ChangeKind::Move,           ChangeKind::Import, ChangeKind::Repair,
        ChangeKind::ReplaceInPlace, ChangeKind::Merge,  ChangeKind::GedcomImport};
    std::vector<std::string> named = w.lists;
    named.push_back(transferFileName());
    for (Operation op : {Operation::TakeBack, Operation::Redo}) {
        Outcome o = make(op, Result::Done, Reason::None);
        o.changedAt = {2026, 12, 31, 23, 59, 59};
        o.line = kNumber;
        for (ChangeKind kind : kinds) {
            o.change = kind;
            for (const std::string& list : w.lists) {
                o.list = list;
                for (const std::string& other : w.lists) {
                    o.file = other;
                    out.push_back(o);
                }
            }
        }
        out.push_back(make(op, Result::NotDone, Reason::NothingRecorded));
        for (Reason reason : {Reason::ChangedSince, Reason::HistoryDamaged}) {
            Outcome refused = make(op, Result::NotDone, reason);
            refused.changedAt = o.changedAt;
            for (const std::string& name : named) {
                refused.list = name;
                out.push_back(refused);
            }
        }
        withFailures(w, out, make(op, Result::NotDone, Reason::Failed));
        withFailures(w, out, make(op, Result::DoneBut, Reason::Failed));
        withRecoveries(w, out, make(op, Result::NotDone, Reason::Unfinished));
    }
}

// zusammenführen! and the notice of a second version beside a list shown anew.
void merges(const Widest& w, Out& out) {
    withFailures(w, out, make(Operation::Merge, Result::NotDone, Reason::Failed));
    withRecoveries(w, out, make(Operation::Merge, Result::NotDone, Reason::Unfinished));
    for (const std::string& list : w.lists) {
        for (Reason reason : {Reason::NothingToMerge, Reason::ChangedSince}) {
            Outcome o = make(Operation::Merge, Result::NotDone, reason);
            o.list = list;
            out.push_back(o);
        }
        Outcome notice = make(Operation::List, Result::DoneBut, Reason::SecondVersion);
        notice.list = list;
        for (long long lacked : {0, 1, kNumber}) {
            notice.count = lacked;
            out.push_back(notice);
        }
    }
    for (const std::string& rest : w.rests) {
        Outcome o = make(Operation::Merge, Result::Done, Reason::None);
        o.count = o.kept = kNumber;
        o.file = rest;
        out.push_back(o);
    }
    Outcome left = make(Operation::Merge, Result::DoneBut, Reason::CopiesLeft);
    left.count = kNumber;
    left.copiesLeft = 99;
    withFailures(w, out, left);
}

// Every change made but not recorded in the history says so under what it says.
void unrecorded(const Widest& w, Out& out) {
    const std::size_t made = out.size();
    for (std::size_t i = 0; i < made; ++i) {
        Outcome o = out[i];
        const Operation op = o.operation;
        const bool changes = op == Operation::Save || op == Operation::Delete ||
                             op == Operation::DeleteAll || op == Operation::Move ||
                             op == Operation::Import || op == Operation::Repair ||
                             op == Operation::TakeBack || op == Operation::Redo ||
                             op == Operation::Merge || op == Operation::GedcomImport;
        if (!changes || !o.done()) continue;
        // The reason is told only where the message has nothing else to say.
        const bool alone = msg::text(o).empty();
        for (int error : w.errors) {
            o.unrecorded = {error, historyFolderName()};
            out.push_back(o);
            if (!alone) break;
        }
    }
}

// A genealogy file read into a list: what the file can make it say, and the append.
void gedcomImports(const Widest& w, Out& out) {
    Outcome o = make(Operation::GedcomImport, Result::Done, Reason::None);
    o.file = "Stammbaum der Familie Schmidt-Müller aus Oberammergau.ged";
    o.count = o.families = o.personsLeft = kNumber;
    o.lost = w.lost;
    for (Reason reason :
         {Reason::None, Reason::FileCut, Reason::DuplicateXrefs, Reason::MissingRecords,
          Reason::OwnAncestor, Reason::BrokenContinuations, Reason::LongLines, Reason::BadLines}) {
        o.result = reason == Reason::None ? Result::Done : Result::DoneBut;
        o.reason = reason;
        out.push_back(o);
    }
    o.result = Result::NotDone;
    for (Reason reason : {Reason::Cancelled, Reason::EmptyFile, Reason::NotGedcom,
                          Reason::NoFamilies, Reason::FileCut}) {
        o.reason = reason;
        out.push_back(o);
    }
    o.reason = Reason::Unreadable;
    for (const char* name : {"Stammbaum der Familie Schmidt.ged", "StammbaumSchmidtMüller.ged"}) {
        o.file = name;
        withFailures(w, out, o, {o.file});
    }
    for (Result result : {Result::NotDone, Result::Later})
        withFailures(w, out, make(Operation::GedcomImport, result, Reason::Failed));
    withRecoveries(w, out, make(Operation::GedcomImport, Result::NotDone, Reason::Unfinished));
    withFailures(w, out, make(Operation::GedcomImport, Result::DoneBut, Reason::ListCut), w.lists);
}

}  // namespace

std::vector<Outcome> widestOutcomes() {
    const Widest w = widest();
    Out out;
    listChanges(w, out);
    listsShown(w, out);
    replaceAndSearch(w, out);
    emptyAndRepair(w, out);
    transfers(w, out);
    importCheckDuplicates(w, out);
    textFiles(w, out);
    sheetAndGedcom(w, out);
    historySteps(w, out);
    merges(w, out);
    unrecorded(w, out);
    gedcomImports(w, out);
    return out;
}

}  // namespace holmtex::test
