// The message catalogue: the texts of the errors, and what each kind of outcome says.
#include "operations/messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace holmtex::msg {
namespace {

TEST(Messages, ErrorsReadInGerman) {
    const std::pair<int, const char*> cases[] = {
        {ENAMETOOLONG, "der Name ist zu lang"},
        {ENOSPC, "der Datenträger ist voll"},
        {EACCES, "keine Berechtigung"},
        {EROFS, "der Datenträger ist schreibgeschützt"},
        {ENOTDIR, "ein Teil des Pfades ist kein Ordner"},
        {EMFILE, "zu viele offene Dateien"},
        {EEXIST, "die Datei gibt es schon"},
        {ELOOP, "zu viele symbolische Verknüpfungen"},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(describeError(error), text) << error;
    EXPECT_EQ(describeError(EBADMSG).rfind("Fehler ", 0), 0u);
    EXPECT_EQ(reason({kDamagedTail, "holmtex-archiv.dat"}),
              "holmtex-archiv.dat ist am Ende beschädigt; reparatur! hilft.");
}

Outcome outcome(Operation op, Result result = Result::Done, Reason reason = Reason::None) {
    return Outcome(op, result, reason);
}

Outcome with(Outcome o, const std::string& list, const std::string& file, long long count = -1,
             int line = -1) {
    o.list = list;
    o.file = file;
    o.count = count;
    o.line = line;
    return o;
}

Outcome failed(Outcome o, int error, const std::string& file) {
    o.failure = {error, file};
    return o;
}

// What an operation says when it went through, when it went through only in part, and when
// the next start finishes it: the outcomes the fault sweep and the operation tests judge.
TEST(Messages, OutcomesSayWhatWasDone) {
    const char* const list = "holmtex-aktuell.dat";
    Outcome saved = with(outcome(Operation::Save), "", "", -1, 7);
    saved.lost = "Ł ř";
    Outcome replaced =
        failed(with(outcome(Operation::Replace, Result::DoneBut, Reason::NotSafe), list, "", -1, 3),
               EIO, list);
    replaced.lost = "Ł";
    const std::pair<Outcome, std::string> cases[] = {
        {saved, "Listenzeile 7\r\nAls ? gespeichert: Ł ř"},
        {replaced, "Ersetzt, aber nicht sicher geschrieben.\r\nAls ? gespeichert: Ł"},
        {with(outcome(Operation::Delete), list, ""), ""},
        {failed(outcome(Operation::Delete, Result::DoneBut, Reason::NotSafe), EIO, list),
         "Die Zeile wurde gelöscht, aber nicht sicher geschrieben: Ein-/Ausgabefehler."},
        {failed(outcome(Operation::Move, Result::DoneBut, Reason::BothLists), ENOSPC, list),
         "Die Seite steht nun in beiden Listen: der Datenträger ist voll (holmtex-aktuell.dat)."},
        {failed(outcome(Operation::Move, Result::Later, Reason::Failed), EIO, list),
         "Verschoben erst beim nächsten Start: Ein-/Ausgabefehler (holmtex-aktuell.dat)."},
        {with(outcome(Operation::DeleteAll), list, "holmtex-aktuell.bak"),
         "Die Datei wurde gelöscht und unter holmtex-aktuell.bak gespeichert"},
        {with(outcome(Operation::Repair), list, "holmtex-aktuell-rest-2612061403.txt", 3),
         "3 Seiten blieben in der Liste, der Rest steht in holmtex-aktuell-rest-2612061403.txt."},
        {with(outcome(Operation::Repair, Result::Done, Reason::Sound), list, ""),
         "Die Liste holmtex-aktuell.dat ist in Ordnung; es wurde nichts geändert."},
        {outcome(Operation::Export),
         "Die Inhalte der Datenzeile in Datei >holmtex-trans.txt< gespeichert."},
        {outcome(Operation::Copy),
         "Die Inhalte der Datenzeile in Datei >holmtex-trans.txt< kopiert."},
        {outcome(Operation::Import),
         "Die Datei >holmtex-trans.txt< wurde importiert und gelöscht."},
        {failed(outcome(Operation::Import, Result::DoneBut, Reason::NotRemoved), EACCES, ""),
         "Die Seiten wurden importiert, aber >holmtex-trans.txt< nicht gelöscht: keine "
         "Berechtigung."},
        {outcome(Operation::Import, Result::NotDone, Reason::NothingToImport),
         "keine Datei zum Import vorhanden"},
        {outcome(Operation::Check), "Prüfung erfolgt, Daten sind in Ordnung"},
        {failed(outcome(Operation::Check, Result::NotDone, Reason::Failed), kDamagedTail, list),
         "Prüfung erfolgt, Daten gestört"},
        {with(outcome(Operation::Duplicates), list, "", 12), "12"},
        {with(outcome(Operation::TextFile), "", "Text_4711_2612061403.txt"),
         "Datei im Programmordner als Text_4711_2612061403.txt gespeichert"},
        {with(outcome(Operation::Sheet), "", "Familienblatt_4711_2612061403.pdf"),
         "Familienblatt im Programmordner als Familienblatt_4711_2612061403.pdf gespeichert"},
        {with(outcome(Operation::Gedcom), list, "holmtex-aktuell.ged", 1),
         "1 Seite als >holmtex-aktuell.ged< exportiert"},
        {failed(with(outcome(Operation::Gedcom, Result::DoneBut, Reason::NotSafe), list,
                     "holmtex-aktuell.ged", 2),
                EIO, "holmtex-aktuell.ged"),
         "2 Seiten als >holmtex-aktuell.ged< exportiert, aber nicht sicher geschrieben: "
         "Ein-/Ausgabefehler."},
        {outcome(Operation::Rescue),
         "Die letzte Information wurde in der Datei >holmtex-letzter Eintrag.txt< im "
         "Programmordner gespeichert"},
    };
    for (const auto& [made, wanted] : cases) EXPECT_EQ(text(made), wanted);
}

// An outcome of zurück! or wieder! about a change made at 14:03.
Outcome step(Operation op, Reason reason, ChangeKind kind, const std::string& list,
             const std::string& other = "", int line = -1) {
    Outcome o = with(outcome(op, reason == Reason::None ? Result::Done : Result::NotDone, reason),
                     list, other, -1, line);
    o.change = kind;
    o.changedAt = {2026, 6, 12, 14, 3, 5};
    return o;
}

// zurück! and wieder!, and the note under a change the history could not record.
TEST(Messages, StepsBackAndForthSayWhatChanged) {
    const char* const aktuell = "holmtex-aktuell.dat";
    const char* const archiv = "holmtex-archiv.dat";
    Outcome unrecorded = with(outcome(Operation::Delete), aktuell, "");
    unrecorded.unrecorded = {EIO, "holmtex-verlauf"};
    Outcome saved = with(outcome(Operation::Save), "", "", -1, 7);
    saved.unrecorded = unrecorded.unrecorded;
    const std::pair<Outcome, std::string> cases[] = {
        {step(Operation::TakeBack, Reason::None, ChangeKind::Delete, aktuell, "", 12),
         "Zurückgenommen: Zeile 12 aus AKTUELL gelöscht (14:03)"},
        {step(Operation::Redo, Reason::None, ChangeKind::Move, aktuell, archiv, 3),
         "Wiederholt: Zeile 3 von AKTUELL nach ARCHIV verschoben (14:03)"},
        {step(Operation::TakeBack, Reason::None, ChangeKind::DeleteAll, archiv),
         "Zurückgenommen: alle Zeilen aus ARCHIV gelöscht (14:03)"},
        {step(Operation::TakeBack, Reason::NothingRecorded, ChangeKind::Save, ""),
         "Nichts zurückzunehmen."},
        {step(Operation::Redo, Reason::NothingRecorded, ChangeKind::Save, ""),
         "Nichts zu wiederholen."},
        {step(Operation::TakeBack, Reason::ChangedSince, ChangeKind::Save, aktuell),
         "Nichts zurückgenommen: AKTUELL wurde seit 14:03 geändert."},
        {step(Operation::Redo, Reason::HistoryDamaged, ChangeKind::Save, "holmtex-trans.txt"),
         "Nichts wiederholt: der Verlauf zu holmtex-trans.txt ist beschädigt."},
        {failed(step(Operation::TakeBack, Reason::Failed, ChangeKind::Save, ""), ENOSPC,
                "holmtex-verlauf"),
         "Nichts zurückgenommen: der Datenträger ist voll (holmtex-verlauf)."},
        {unrecorded, "Der Verlauf wurde nicht geschrieben: Ein-/Ausgabefehler (holmtex-verlauf)."},
        {saved, "Listenzeile 7\r\nDer Verlauf wurde nicht geschrieben."},
    };
    for (const auto& [o, text] : cases) EXPECT_EQ(msg::text(o), text);
    // A change not done needs no note.
    unrecorded.result = Result::NotDone;
    unrecorded.reason = Reason::NoLine;
    EXPECT_EQ(msg::text(unrecorded), "Keine Zeile markiert.");
}

// A second version of a list, noticed and merged: never a page deleted without a word.
TEST(Messages, MergesSayWhatTheyTookAndWhatTheyKept) {
    const char* const list = "holmtex-archiv.dat";
    Outcome merged = with(outcome(Operation::Merge), list, "", 3);
    merged.kept = 2;
    Outcome damagedCopy = with(merged, list, "holmtex-archiv-rest-2612061403.txt", 1);
    damagedCopy.kept = 1;
    Outcome left =
        failed(with(outcome(Operation::Merge, Result::DoneBut, Reason::CopiesLeft), list, "", 0),
               EACCES, "holmtex-archiv (conflicted copy 2026-12-07 101010).dat");
    left.copiesLeft = 1;
    const std::pair<Outcome, std::string> cases[] = {
        {with(outcome(Operation::List, Result::DoneBut, Reason::SecondVersion), list, "", 2),
         "Zweite Fassung gefunden: 2 Seiten fehlen in ARCHIV; zusammenführen! holt sie."},
        {merged, "3 Seiten übernommen; 2 Seiten nur in der Liste: nicht gelöscht."},
        {damagedCopy,
         "1 Seite übernommen; 1 Seite nur in der Liste: nicht gelöscht. Rest in "
         "holmtex-archiv-rest-2612061403.txt."},
        {left, "0 Seiten übernommen; 1 zweite Fassung bleibt: keine Berechtigung."},
        {with(outcome(Operation::Merge, Result::NotDone, Reason::NothingToMerge), list, ""),
         "Keine zweite Fassung von ARCHIV gefunden."},
    };
    for (const auto& [made, wanted] : cases) EXPECT_EQ(text(made), wanted);
}

// What the start (or an operation) says of an append a crash cut short, and what a failed
// append says when the next start finishes it.
TEST(Messages, UnfinishedAppendsSayWhereThePagesAre) {
    Recovery setAside, importLeft, moveLeft;
    setAside.setAside = "holmtex-aktuell.dat.anhang-unbenutzt-2612061403";
    importLeft.list = moveLeft.list = "holmtex-archiv.dat";
    importLeft.leftFile = "holmtex-trans.txt";
    importLeft.leftStep = redo::Step::Remove;
    moveLeft.leftFile = "holmtex-aktuell.dat";
    moveLeft.leftStep = redo::Step::Replace;
    moveLeft.page = "06.12.2026 14:03:59 4711 M\xfcller";
    const auto found = [](Operation op, const Recovery& r) {
        Outcome o(op, Result::NotDone, Reason::Unfinished);
        o.found = r;
        return o;
    };
    const auto later = [](Operation op) {
        return failed(outcome(op, Result::Later, Reason::Failed), EIO, "holmtex-aktuell.dat");
    };
    const std::pair<Outcome, std::string> cases[] = {
        {found(Operation::Start, setAside),
         "Unterbrochenes Speichern gefunden, nicht nachgeholt; die Daten stehen in "
         "holmtex-aktuell.dat.anhang-unbenutzt-2612061403."},
        {found(Operation::Import, importLeft),
         "Die Seiten aus >holmtex-trans.txt< stehen schon in holmtex-archiv.dat; die Datei wurde "
         "seither geändert."},
        {found(Operation::Delete, moveLeft),
         "Die Seite 06.12.2026 14:03:59 4711 Müller steht in holmtex-aktuell.dat und in "
         "holmtex-archiv.dat."},
        {later(Operation::Save),
         "Gespeichert erst beim nächsten Start: Ein-/Ausgabefehler (holmtex-aktuell.dat)."},
        {later(Operation::Import),
         "Importiert erst beim nächsten Start: Ein-/Ausgabefehler (holmtex-aktuell.dat)."},
        {later(Operation::Copy),
         "Erst beim nächsten Start in >holmtex-trans.txt<: Ein-/Ausgabefehler."},
    };
    for (const auto& [made, wanted] : cases) EXPECT_EQ(text(made), wanted);
}

}  // namespace
}  // namespace holmtex::msg
