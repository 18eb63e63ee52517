// The message catalogue: the texts of the errors, and the pieces messages are made of.
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
    AppendResult pending;
    pending.failure = {EIO, "holmtex-aktuell.dat"};
    pending.pending = true;
    AppendResult refused;
    refused.unfinished = setAside;
    const std::pair<std::string, std::string> cases[] = {
        {unfinishedAppendNotice(setAside),
         "Unterbrochenes Speichern gefunden, nicht nachgeholt; die Daten stehen in "
         "holmtex-aktuell.dat.anhang-unbenutzt-2612061403."},
        {unfinishedAppendNotice(importLeft),
         "Die Seiten aus >holmtex-trans.txt< stehen schon in holmtex-archiv.dat; die Datei wurde "
         "seither geändert."},
        {unfinishedAppendNotice(moveLeft),
         "Die Seite 06.12.2026 14:03:59 4711 Müller steht in holmtex-aktuell.dat und in "
         "holmtex-archiv.dat."},
        {pageNotSaved(refused), unfinishedAppendNotice(setAside)},
        {pageNotSaved(pending),
         "Gespeichert erst beim nächsten Start: Ein-/Ausgabefehler (holmtex-aktuell.dat)."},
        {pageNotMoved(pending),
         "Verschoben erst beim nächsten Start: Ein-/Ausgabefehler (holmtex-aktuell.dat)."},
        {pagesNotImported(pending),
         "Importiert erst beim nächsten Start: Ein-/Ausgabefehler (holmtex-aktuell.dat)."},
        {transferNotWritten(Transfer::Copy, pending),
         "Erst beim nächsten Start in >holmtex-trans.txt<: Ein-/Ausgabefehler."},
    };
    for (const auto& [made, wanted] : cases) EXPECT_EQ(made, wanted);
}

}  // namespace
}  // namespace holmtex::msg
