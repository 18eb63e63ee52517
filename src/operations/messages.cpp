#include "operations/messages.h"

#include <algorithm>
#include <cerrno>

#include "export/page_content.h"
#include "record/codepage.h"
#include "record/list_append.h"

namespace holmtex::msg {

namespace {

// What went through, although something after it did not.
enum class Done { LineDeleted, PageMoved, ListRepaired, PagesImported, PageReplaced };

struct ErrorText {
    int error;
    const char* text;
};

// clang-format off
const ErrorText kErrorTexts[] = {
    {0, "kein Fehler"},
    {ENOSPC, "der Datenträger ist voll"},
    {EDQUOT, "das Speicherkontingent ist erschöpft"},
    {EFBIG, "die Datei ist zu groß"},
    {EACCES, "keine Berechtigung"},
    {EPERM, "keine Berechtigung"},
    {EROFS, "der Datenträger ist schreibgeschützt"},
    {ENOENT, "die Datei fehlt"},
    {EISDIR, "der Name gehört einem Ordner"},
    {EIO, "Ein-/Ausgabefehler"},
    {EBUSY, "die Datei ist belegt"},
    {ETXTBSY, "die Datei ist belegt"},
    {ENAMETOOLONG, "der Name ist zu lang"},
    {ENOTDIR, "ein Teil des Pfades ist kein Ordner"},
    {ELOOP, "zu viele symbolische Verknüpfungen"},
    {EEXIST, "die Datei gibt es schon"},
    {ENOTEMPTY, "der Ordner ist nicht leer"},
    {EMFILE, "zu viele offene Dateien"},
    {ENFILE, "zu viele offene Dateien"},
    {ENOMEM, "zu wenig Arbeitsspeicher"},
    {EXDEV, "die Datei liegt auf einem anderen Datenträger"},
    {EAGAIN, "die Datei ist gesperrt"},
    {ESTALE, "die Verbindung zum Netzlaufwerk ist gestört"},
    {ENOTCONN, "die Verbindung zum Netzlaufwerk ist gestört"},
    {ETIMEDOUT, "die Verbindung zum Netzlaufwerk ist gestört"},
    {EHOSTUNREACH, "die Verbindung zum Netzlaufwerk ist gestört"},
    {ENXIO, "das Gerät fehlt"},
    {ENODEV, "das Gerät fehlt"},
    {EINVAL, "ungültiger Name oder Aufruf"},
    {EOVERFLOW, "die Datei ist zu groß für dieses Programm"},
    {kNotAPlainFile, "der Name gehört keiner gewöhnlichen Datei"},
};
// clang-format on

// In the order of Undone.
const char* const kUndoneWords[] = {"gespeichert", "kopiert", "importiert", "exportiert",
                                    "geschrieben"};

const char* undoneWord(Undone undone) { return kUndoneWords[static_cast<int>(undone)]; }

// ", nichts exportiert."
std::string nothing(Undone undone) { return std::string(", nichts ") + undoneWord(undone) + "."; }

// ">holmtex-trans.txt<"
std::string marked(std::string_view file) {
    std::string name = ">";
    return name.append(file).append("<");
}

// In the order of Done.
const char* const kDoneTexts[] = {"Die Zeile wurde gelöscht", "Die Seite wurde verschoben",
                                  "Die Liste wurde repariert", "Die Seiten wurden importiert",
                                  "Die Seite wurde ersetzt"};

const char* doneText(Done done) { return kDoneTexts[static_cast<int>(done)]; }

std::string counted(int count, const char* one, const char* more) {
    return std::to_string(count) + (count == 1 ? one : more);
}

std::string listNamed(std::string_view caption) { return "Die Liste " + std::string(caption); }

// „Forschung/Müller“
std::string quoted(const std::string& folder) { return "„" + folder + "“"; }

std::string damagedAtEnd(std::string_view file) {
    return std::string(file) + " ist am Ende beschädigt; reparatur! hilft.";
}

}  // namespace

// ---- Pieces ----

std::string describeError(int error) {
    for (const ErrorText& known : kErrorTexts)
        if (known.error == error) return known.text;
    return "Fehler " + std::to_string(error);
}

std::string reason(int error, std::string_view file) {
    return describeError(error) + " (" + std::string(file) + ").";
}

std::string reason(const FileResult& failure) {
    if (failure.error == kDamagedTail) return damagedAtEnd(failure.file);
    return reason(failure.error, failure.file);
}

std::string fileMissing(std::string_view file, Undone undone) {
    return "Die Datei " + marked(file) + " fehlt" + nothing(undone);
}

std::string fileUnreadable(std::string_view file, int error, Undone undone) {
    return "Die Datei " + marked(file) + " kann nicht gelesen werden: " + describeError(error) +
           nothing(undone);
}

std::string fileDamaged(std::string_view file, Undone undone) {
    return "Die Datei " + marked(file) + " ist beschädigt" + nothing(undone);
}

// ---- The words of the message line, put together by text() below ----

namespace {

enum class Transfer { Export, Copy };

// What fileMissing() and the like say the transfer did not do.
Undone undone(Transfer transfer) {
    return transfer == Transfer::Export ? Undone::Saved : Undone::Copied;
}

std::string changedSinceOpened(std::string_view list) {
    return std::string(list) + " wurde seit dem Öffnen geändert; Liste neu gelesen.";
}

std::string fileChangedSinceOpened(std::string_view list, Undone undone) {
    return "Die Datei " + marked(list) + " wurde seit dem Öffnen geändert" + nothing(undone) +
           " Liste neu gelesen.";
}

std::string listNotWhole(const std::string& problem) {
    return "Die Liste wurde nicht ganz gelesen: " + problem;
}

std::string appendNotFinished(std::string_view list, int error) {
    return "Unterbrochenes Speichern in " + std::string(list) +
           " konnte nicht beendet werden: " + describeError(error) + ".";
}

std::string unfinishedAppendNotice(const Recovery& found) {
    if (!found.ok()) return "";
    if (!found.setAside.empty())
        return "Unterbrochenes Speichern gefunden, nicht nachgeholt; die Daten stehen in " +
               found.setAside + ".";
    if (found.leftStep == redo::Step::Remove)
        return "Die Seiten aus " + marked(found.leftFile) + " stehen schon in " + found.list +
               "; die Datei wurde seither geändert.";
    if (found.leftStep == redo::Step::Replace)
        return "Die Seite " + cp1252ToUtf8(found.page) + " steht in " + found.leftFile +
               " und in " + found.list + ".";
    return "";
}

std::string savedButListNotWhole(int error) {
    return "Die Seite wurde gespeichert, aber die Liste nicht ganz gelesen: " +
           describeError(error) + ".";
}

std::string savedButListNotWholeShort() {
    return "Gespeichert, aber die Liste nicht ganz gelesen.";
}

std::string listLineOpened(int line) { return "Listenzeile " + std::to_string(line); }

std::string noLineMarked() { return "Keine Zeile markiert."; }

std::string markedLineGone(std::string_view list) {
    return "Die markierte Zeile steht nicht mehr in " + std::string(list) +
           "; es wurde nichts geändert.";
}

std::string pageInBothLists(const FileResult& failure) {
    return "Die Seite steht nun in beiden Listen: " + reason(failure);
}

std::string doneButNotSafe(Done done, int error) {
    return std::string(doneText(done)) +
           ", aber nicht sicher geschrieben: " + describeError(error) + ".";
}

std::string doneButListNotWhole(Done done, const std::string& problem) {
    return std::string(doneText(done)) + ", aber die Liste nicht ganz gelesen: " + problem;
}

std::string listEmptied(std::string_view backup, int syncError, int templateError) {
    std::string message =
        "Die Datei wurde gelöscht und unter " + std::string(backup) + " gespeichert";
    if (syncError) return message + " (nicht sicher: " + describeError(syncError) + ").";
    if (templateError)
        return message + "; " + emptyListTemplateName() + ": " + describeError(templateError) + ".";
    return message;
}

std::string listHadNoFile() { return "Die Liste hatte keine Datei; es wurde nichts gesichert."; }

std::string listSound(std::string_view list) {
    return "Die Liste " + std::string(list) + " ist in Ordnung; es wurde nichts geändert.";
}

std::string restFileTaken(std::string_view rest) {
    return "die Datei " + std::string(rest) + " gibt es schon.";
}

std::string listRepaired(int pagesKept, std::string_view rest) {
    return counted(pagesKept, " Seite blieb", " Seiten blieben") +
           " in der Liste, der Rest steht in " + std::string(rest) + ".";
}

std::string pageCount(std::size_t count) { return std::to_string(count); }

std::string listUnreadable(std::string_view list, int error) {
    return "Die Datei " + std::string(list) +
           " konnte nicht gelesen werden: " + describeError(error) + ".";
}

std::string listChangedWhileRead(std::string_view list) {
    return "Die Datei " + std::string(list) + " hat sich beim Lesen geändert; " +
           pageTextResultName() + " wurde nicht geschrieben.";
}

std::string duplicatesNotWritten(std::size_t count, int error) {
    return std::to_string(count) + " – die Datei " + pageTextResultName() +
           " konnte nicht geschrieben werden: " + describeError(error) + ".";
}

std::string textFileSaved(std::string_view name, const std::string& lost) {
    return "Datei im Programmordner als " + std::string(name) + " gespeichert" + lost;
}

std::string transferDone(Transfer transfer) {
    return "Die Inhalte der Datenzeile in Datei " + marked(transferFileName()) + " " +
           undoneWord(undone(transfer)) + ".";
}

std::string noTransferLine(Transfer transfer) {
    return "Keine Listenzeile markiert" + nothing(undone(transfer));
}

std::string transferLineMissing(Transfer transfer, int line, std::string_view list) {
    return "Listenzeile " + std::to_string(line) + " fehlt in der Datei " + marked(list) +
           nothing(undone(transfer));
}

std::string transferFileDamaged(Transfer transfer) {
    return "Die Datei " + marked(transferFileName()) + " ist am Ende beschädigt" +
           nothing(undone(transfer));
}

std::string nothingToImport() { return "keine Datei zum Import vorhanden"; }

std::string importedButNotRemoved(int error) {
    return "Die Seiten wurden importiert, aber " + marked(transferFileName()) +
           " nicht gelöscht: " + describeError(error) + ".";
}

std::string importedAndRemoved() {
    return "Die Datei " + marked(transferFileName()) + " wurde importiert und gelöscht.";
}

std::string importedButRemovalNotSafe(int error) {
    return "Importiert, aber " + marked(transferFileName()) +
           " ist nicht sicher gelöscht: " + describeError(error) + ".";
}

std::string checkFoundDamage() { return "Prüfung erfolgt, Daten gestört"; }

std::string checkNotFinished(int error) {
    return "Prüfung nicht beendet, Lesefehler: " + reason(error, dataFileName(ListKind::Aktuell));
}

std::string checkSoundButNotWritten(int error) {
    return std::string("Prüfung erfolgt, Daten in Ordnung; ") + checkFileName() +
           " nicht geschrieben: " + describeError(error) + ".";
}

std::string checkSoundButNotSafe(int error) {
    return std::string("Prüfung erfolgt, Daten in Ordnung, ") + checkFileName() +
           " aber nicht sicher gespeichert: " + describeError(error) + ".";
}

std::string checkSound() { return "Prüfung erfolgt, Daten sind in Ordnung"; }

std::string rescued() {
    return "Die letzte Information wurde in der Datei " + marked(rescueFileName()) +
           " im Programmordner gespeichert";
}

std::string notRescued(int error) {
    return "Die letzte Information konnte nicht in der Datei " + marked(rescueFileName()) +
           " gerettet werden: " + describeError(error) + ".";
}

std::string sheetNumberNotAFileName() {
    return "Kein Familienblatt: Die Vorgangsnummer hat ein Zeichen, das in keinem Dateinamen "
           "stehen darf.";
}

std::string sheetNotMade() { return "Das Familienblatt konnte nicht erstellt werden."; }

std::string sheetNameTaken(std::string_view name) {
    return "Kein Familienblatt gespeichert: " + std::string(name) + " gibt es schon.";
}

std::string sheetNotSaved(int error) {
    return "Kein Familienblatt gespeichert: " + describeError(error) + ".";
}

std::string sheetSaved(std::string_view name) {
    return "Familienblatt im Programmordner als " + std::string(name) + " gespeichert";
}

std::string sheetSavedButNotSafe(std::string_view name) {
    return std::string(name) + " im Programmordner, aber nicht sicher gespeichert.";
}

std::string sheetPrinted() { return "Das Familienblatt wurde an den Drucker gegeben."; }

std::string sheetPrintedToFile(std::string_view path) {
    return "Familienblatt als PDF-Datei gespeichert: " + std::string(path);
}

std::string sheetNotPrintedOver(std::string_view path) {
    return "Nichts gedruckt: " + std::string(path) +
           " ist keine PDF-Datei und bleibt, wie sie ist.";
}

std::string printCancelled() { return "Drucken abgebrochen, nichts gedruckt."; }

std::string sheetNotPrinted() { return "Das Familienblatt konnte nicht gedruckt werden."; }

std::string gedcomNotWritten(std::string_view target, int error) {
    return "Nichts exportiert: " + marked(target) +
           " kann nicht geschrieben werden: " + describeError(error) + ".";
}

std::string pagesExported(int pages, std::string_view target) {
    return counted(pages, " Seite", " Seiten") + " als " + marked(target) + " exportiert";
}

std::string pagesExportedThenDamaged(int pages, std::string_view target) {
    return pagesExported(pages, target) + "; danach ist die Liste beschädigt.";
}

// A file name the user chose, short enough for the message line: "Stammbaum der…".
std::string chosenName(std::string_view file) {
    constexpr std::size_t kLetters = 13;
    std::size_t letters = 0, at = 0;
    for (; at < file.size(); ++at) {
        if ((static_cast<unsigned char>(file[at]) & 0xC0) == 0x80) continue;
        if (letters++ == kLetters) break;
    }
    return at < file.size() ? std::string(file.substr(0, at)) + "…" : std::string(file);
}

std::string gedcomFileIs(std::string_view file, const char* what) {
    return "Die Datei " + marked(chosenName(file)) + " " + what + nothing(Undone::Imported);
}

// What else a genealogy file had, after its pages were taken.
const char* gedcomNote(Reason reason) {
    switch (reason) {
        case Reason::FileCut:
            return "Datei abgeschnitten: nur ganze Familien";
        case Reason::DuplicateXrefs:
            return "doppelte Kennungen übergangen";
        case Reason::MissingRecords:
            return "Verweise ins Leere übergangen";
        case Reason::OwnAncestor:
            return "eine Familie ist ihr eigener Vorfahr";
        case Reason::BrokenContinuations:
            return "fehlerhafte CONC/CONT-Zeilen";
        case Reason::LongLines:
            return "Zeilen über 255 Zeichen";
        case Reason::BadLines:
            return "unlesbare Zeilen übergangen";
        default:
            return nullptr;
    }
}

// "12 Seiten importiert; 3 Personen ohne Familie nicht übernommen." The message line holds
// three lines: beside the file's gravest fault and the letters stored as "?", the persons
// left out give way.
std::string gedcomImported(const Outcome& o) {
    std::string text = counted(static_cast<int>(o.count), " Seite", " Seiten") + " importiert";
    const char* note = gedcomNote(o.reason);
    if (o.personsLeft > 0 && !(note && !o.lost.empty()))
        text += "; " + counted(static_cast<int>(o.personsLeft), " Person", " Personen") +
                " ohne Familie nicht übernommen";
    if (note) text.append("; ").append(note);
    return text + ".";
}

}  // namespace

// ---- Fixed texts: the message boxes and the help texts ----

std::string dataLossTitle() { return "  D A T E N V E R L U S T   "; }

std::string dataLossQuestion() { return "Sollen die Daten der Liste wirklich gelöscht werden?"; }

std::string rescueTitle() { return "  D A T E N R E T T U N G   "; }

std::string duplicatesMarkedUpTo(std::string_view processNumber) {
    return "liste einmal durch mit " + std::string(processNumber);
}

std::string commandHelp() {
    std::string text;
    for (const char* piece : {
             "Es gibt folgende Befehle für Funktionen: ",
             "Eingabe von >export!< speichert den Inhalt jener Merkseite in die Datei "
             ">holmtex-trans.txt< im ",
             "Programmverzeichnis, die in der Liste 'Gespeicherte Seiten' markiert ist. Es "
             "können hintereinander ",
             "mehrere Zeilen in der Liste markiert und gespeichert (exportiert) werden. Die "
             "Eingabe von >import< liest die Datei >holmtex-trans.txt<",
             "aus dem Programmverzeichnis ein und fügt die Inhalte zur bestehenden Liste hinzu. "
             "Danach wird die Datei ",
             ">holmtex-trans.txt< aus dem Verzeichnis gelöscht. Diese beiden Funktionen dienen "
             "zum Übertrag von Merkseiten ",
             " auf einen anderen Computer, mit Hilfe der Datei >holmtex-trans.txt<. Die Eingabe "
             "von >datachek< löst eine Überprüfung der ",
             "gespeicherten Daten aus und gibt das Ergebnis im großen Textfenster bekannt. Bei "
             "eine Fehlermeldung ",
             "bitte an ",
             "den Betreuer dieses Programms",
             " melden und die Datei >holmtex-aktuell.dat< aus dem Programmverzeichnis als Anhang "
             "mitsenden.  ",
             "Mit den Schaltflächen redcht unten '4 Familien' oder '2 Familien' wird die Größe "
             "dieses Textfensters eingestellt und damit werden ",
             "zwei Familien-Fenster freigegeben oder durch das Textfeld verdeckt.",
         })
        text += piece;
    return text;
}

std::string repairHelp() {
    return "Eingabe von >reparatur!< repariert die gewählte Liste, wenn ihr letzter Eintrag "
           "unvollständig ist: die ganzen Seiten bleiben, der Rest kommt in eine eigene Datei.";
}

std::string mergeHelp() {
    return "Eingabe von >zusammenführen!< holt die Seiten aus der zweiten Fassung der gewählten "
           "Liste (der Konfliktkopie eines Sync-Programms) in die Liste; gelöscht wird nichts.";
}

std::string pdfHelp() {
    return "Eingabe von >pdf!< speichert die Merkseite als Familienblatt (PDF-Datei) im "
           "Programmverzeichnis.";
}

std::string printHelp() {
    return "Eingabe von >drucken!< (oder Strg+P) druckt die Merkseite als Familienblatt.";
}

std::string gedcomHelp() {
    return "Eingabe von >gedcom!< speichert die gewählte Liste als GEDCOM-Datei für "
           "Ahnenprogramme.";
}

std::string replaceHelp() {
    return "Eingabe von >ersetzen!< (oder Strg+Umschalt+S) setzt die Merkseite an die Stelle "
           "der zuletzt geöffneten Seite der Liste; die anderen Seiten bleiben, wie sie sind.";
}

std::string lineTip(const std::vector<TipFamily>& families, std::string_view firstLine) {
    std::string tip;
    for (const TipFamily& f : families) {
        if (!tip.empty()) tip += "\r\n";
        tip += "Familie " + std::to_string(f.family) + ": ";
        if (!f.father.empty()) tip.append("Vater ").append(f.father);
        if (!f.father.empty() && !f.mother.empty()) tip += ", ";
        if (!f.mother.empty()) tip.append("Mutter ").append(f.mother);
    }
    if (tip.empty()) tip = "keine Eltern eingetragen";
    if (!firstLine.empty()) tip.append("\r\nText: ").append(firstLine);
    return tip;
}

std::string gedcomImportHelp() {
    return "Eingabe von >gedcom-import!< liest eine GEDCOM-Datei eines Ahnenprogramms als "
           "Merkseiten in die gewählte Liste ein, eine Seite je Familie.";
}

std::string gedcomImportTitle() { return "GEDCOM-Datei importieren"; }
std::string gedcomFileFilter() { return "GEDCOM-Dateien (*.ged *.GED)"; }
std::string gedcomProgressTitle() { return "GEDCOM-Import"; }

std::string gedcomProgressText(std::string_view file) {
    return "Die Datei " + marked(file) + " wird gelesen …";
}

std::string cancelButton() { return "Abbrechen"; }
std::string gedcomCutTitle() { return "  D A T E N I M P O R T   "; }

std::string gedcomCutQuestion(std::string_view file, long long pages) {
    return "Die Datei " + marked(file) +
           " ist abgeschnitten: ihr Ende fehlt. Sollen die ganzen Familien darin als " +
           counted(static_cast<int>(pages), " Seite", " Seiten") + " importiert werden?";
}

std::string commandWords() {
    return "folgende Befehle werden angenommen:  hilfe, export!, import!, befehl!, kopie!";
}

std::string commandBoxDescription() {
    return "Suchtext, oder einer der Befehle hilfe, befehl!, export!, kopie!, import!, "
           "datacheck!, reparatur!, ersetzen!, pdf!, drucken!, gedcom!, zurück!, wieder!, "
           "zusammenführen!, gedcom-import!";
}

std::string doubleStartTitle() { return "  D O P P E L S T A R T   "; }

std::string listBeingRead() { return "Liste wird gelesen …"; }

std::string pageNotLastLine() {
    return "Die Liste ist gelesen, aber vor ihrem Ende beschädigt: die Seite im Fenster ist "
           "nicht ihre letzte Zeile. Bitte eine Zeile wählen.";
}

std::string doubleStart() {
    return "Dieser Programmordner ist schon in einem anderen Holmtex-Fenster geöffnet. Bitte "
           "dort weiterarbeiten.";
}

// ---- The command line ----

std::string cliUsageHeading() { return "Aufruf:\n"; }

std::vector<std::string> cliUsages() {
    return {
        "holmtex [ORDNER]",
        "holmtex --help | --version",
        "holmtex --pdf LISTE ZEILE AUSGABE.pdf",
        "holmtex --gedcom LISTE AUSGABE.ged",
        "holmtex --verlauf [ORDNER]",
        "holmtex --zusammenfuehren [ORDNER]",
        "holmtex --gedcom-import DATEI.ged LISTE [ORDNER]",
    };
}

std::string cliAbout() { return "\nHolmtex Notiz: Merkseiten über Familien, in drei Listen.\n\n"; }

std::string cliFolderHelp() {
    return "  ORDNER           der Ordner mit den Listen und allen anderen Dateien.\n"
           "                   Ohne ORDNER gilt der aktuelle Ordner; ist das der persönliche\n"
           "                   Ordner (so starten Menüs), dann der Ordner „Holmtex Notiz“ im\n"
           "                   Dokumente-Ordner, der beim ersten Start angelegt wird.\n"
           "  LISTE            aktuell, archiv oder allgemein; ZEILE zählt ab 0.\n"
           "                   --pdf und --gedcom lesen die Listen im Ordner wie ohne\n"
           "                   ORDNER und brauchen keinen Bildschirm; solange dort ein\n"
           "                   Holmtex-Fenster offen ist, lesen sie nichts.\n";
}

std::string cliOptionsHeading() { return "\nOptionen:\n"; }
std::string cliHelpOption() { return "zeigt diese Hilfe an"; }
std::string cliVersionOption() { return "zeigt die Versionsnummer an"; }
std::string cliPdfOption() { return "schreibt Zeile ZEILE der Liste als Familienblatt (PDF)"; }
std::string cliGedcomOption() { return "schreibt die Liste als GEDCOM-Datei für Ahnenprogramme"; }
std::string cliGedcomImportOption() {
    return "liest DATEI.ged als Seiten in die Liste ein (im ORDNER)";
}

std::string cliMergeOption() {
    return "holt die Seiten aus den zweiten Fassungen der Listen hinein";
}
std::string cliMergeAlone() {
    return "--zusammenfuehren geht nicht mit --pdf, --gedcom oder --verlauf.";
}
std::string cliMergeBusy() {
    return "Der Ordner ist in einem Holmtex-Fenster geöffnet; nichts zusammengeführt.";
}
std::string cliNothingToMerge() { return "Keine zweite Fassung einer Liste gefunden.\n"; }
std::string cliMerged(const Outcome& merged) {
    std::string list = merged.list;
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        if (merged.list == dataFileName(kind)) list = listCaption(kind);
    return list + ": " + text(merged);
}

std::string cliMistake(std::string_view what) {
    return cliProblem(what) + "Mehr dazu: holmtex --help\n";
}

std::string cliIncomplete() { return "Der Aufruf ist unvollständig."; }

std::string cliUnknownOption(std::string_view option) {
    return "Die Option „" + std::string(option) + "“ gibt es nicht.";
}

std::string cliPdfWithGedcom() { return "--pdf und --gedcom gehen nicht zusammen."; }
std::string cliImportWithExport() {
    return "--gedcom-import geht nicht mit --pdf oder --gedcom zusammen.";
}
std::string cliOneFolderOnly() { return "Es geht nur ein ORDNER."; }

std::string cliProblem(std::string_view what) { return "holmtex: " + std::string(what) + "\n"; }

std::string cliNoDisplay() {
    return cliProblem(
        "Holmtex Notiz braucht eine grafische Oberfläche, es ist aber keine da (DISPLAY ist "
        "nicht gesetzt); ohne Bildschirm so starten: xvfb-run -a holmtex");
}

std::string cliNothingAfter(std::string_view option, std::string_view word) {
    return "Nach " + std::string(option) + " folgt nichts mehr, auch nicht „" + std::string(word) +
           "“.";
}

std::string folderNameEmpty() { return "Der Ordnername ist leer."; }

std::string currentFolderUnreachable() { return "Der aktuelle Ordner ist nicht erreichbar."; }

std::string folderUnreachable(const std::string& folder, int error) {
    return "Der Ordner " + quoted(folder) + " ist nicht erreichbar: " + describeError(error) + ".";
}

std::string folderMissing(const std::string& folder) {
    return "Den Ordner " + quoted(folder) + " gibt es nicht.";
}

std::string notAFolder(const std::string& folder) { return quoted(folder) + " ist kein Ordner."; }

std::string folderNotMade(const std::string& folder, int error) {
    return "Der Ordner " + quoted(folder) +
           " konnte nicht angelegt werden: " + describeError(error) + ".";
}

std::string pdfUsage() {
    return "Aufruf: holmtex --pdf LISTE ZEILE AUSGABE.pdf (LISTE: aktuell, archiv oder "
           "allgemein; ZEILE ab 0)";
}

std::string gedcomUsage() {
    return "Aufruf: holmtex --gedcom LISTE AUSGABE.ged (LISTE: aktuell, archiv oder allgemein)";
}

std::string gedcomImportUsage() {
    return "Aufruf: holmtex --gedcom-import DATEI.ged LISTE [ORDNER] (LISTE: aktuell, archiv "
           "oder allgemein)";
}

std::string folderBusyNothingImported() {
    return "Der Ordner ist in einem Holmtex-Fenster geöffnet, nichts importiert; dort mit "
           "gedcom-import! importieren oder das Fenster schließen.";
}

std::string unknownList(std::string_view name) {
    return "Unbekannte Liste " + marked(name) + ": erlaubt sind aktuell, archiv und allgemein.";
}

std::string notALineNumber(std::string_view text) {
    return "Zeile muss eine Zahl ab 0 sein, nicht " + marked(text) + ".";
}

std::string folderInUse() {
    return "Ein Holmtex-Fenster hat den Ordner geöffnet; dort gibt es pdf! und gedcom!, oder "
           "erst das Fenster schließen.";
}

std::string listAppendUnfinished(std::string_view file) {
    return "In " + marked(file) +
           " ist ein Speichern nicht zu Ende gekommen; erst das Fenster öffnen, es holt das "
           "nach. Nichts geschrieben.";
}

std::string outputWouldReplaceList(std::string_view list) {
    return "Die Ausgabe darf keine Liste überschreiben: " + marked(list) + ".";
}

std::string outputWouldReplaceKeptFile(std::string_view file) {
    return "Die Ausgabe darf keine Datei des Programms überschreiben: " + marked(file) + ".";
}

std::string listDamagedBeforeLine(std::string_view caption, int wholePages, std::string_view line) {
    return listNamed(caption) + " ist ab Zeile " + std::to_string(wholePages) +
           " beschädigt; Zeile " + std::string(line) + " ist nicht ganz, nichts geschrieben.";
}

std::string listHasNoLine(std::string_view caption, std::string_view line, int pages) {
    return listNamed(caption) + " hat keine Zeile " + std::string(line) + " (sie hat " +
           std::to_string(pages) + " Seiten), nichts geschrieben.";
}

std::string sheetNotMadeNothingWritten() {
    return "Das Familienblatt konnte nicht erstellt werden, nichts geschrieben.";
}

std::string outputNotWritten(std::string_view output, int error) {
    return "Die Datei " + marked(output) +
           " kann nicht geschrieben werden: " + describeError(error) + ".";
}

std::string listDamagedAfterLine(std::string_view caption, int wholePages, std::string_view line,
                                 std::string_view output) {
    return listNamed(caption) + " ist ab Zeile " + std::to_string(wholePages) +
           " beschädigt; Zeile " + std::string(line) + " ist ganz und steht in " + marked(output) +
           ".";
}

std::string sheetWritten(std::string_view output) {
    return "Familienblatt als " + marked(output) + " gespeichert.";
}

std::string pagesExportedThenListDamaged(int pages, std::string_view output,
                                         std::string_view caption) {
    return pagesExported(pages, output) + "; danach ist die Liste " + std::string(caption) +
           " beschädigt.";
}

std::string pagesExportedLine(int pages, std::string_view output) {
    return pagesExported(pages, output) + ".";
}

// ---- What an operation did, in words ----

namespace {

// What finishing an append found, when the user must read it.
bool noticed(const Recovery& found) { return !unfinishedAppendNotice(found).empty(); }

// "\r\nAls ? gespeichert: Ł ř", under a message, or nothing.
std::string lostLine(const std::string& lost) {
    return lost.empty() ? "" : "\r\nAls ? gespeichert: " + lost;
}

// What the list, read anew after an operation, showed: what finishing an append found, the
// line it opened, or nothing.
std::string shown(const Outcome& o) {
    if (noticed(o.found)) return unfinishedAppendNotice(o.found);
    return o.line >= 0 ? listLineOpened(o.line) : "";
}

// The words of an operation that changes a list: how it says it did not, or not yet.
struct ChangeWords {
    const char* notDone;
    const char* later;
};

std::string refused(const Outcome& o, const ChangeWords& words) {
    if (o.result == Result::Later) return words.later + reason(o.failure);
    switch (o.reason) {
        case Reason::Unfinished:
            return unfinishedAppendNotice(o.found);
        case Reason::NoLine:
            return noLineMarked();
        case Reason::LineGone:
            return markedLineGone(o.list);
        case Reason::ChangedSince:
            return words.notDone + changedSinceOpened(o.list);
        case Reason::NameTaken:
            return words.notDone + restFileTaken(o.file);
        default:
            return words.notDone + reason(o.failure);
    }
}

// Done, with what went amiss after it, or nothing more to say.
std::string doneBut(const Outcome& o, Done done) {
    if (o.reason == Reason::NotSafe) return doneButNotSafe(done, o.failure.error);
    if (o.reason == Reason::ListCut) return doneButListNotWhole(done, reason(o.failure));
    return "";
}

// "AKTUELL" for a list's file.
std::string captionOf(std::string_view file) {
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        if (file == dataFileName(kind)) return listCaption(kind);
    return std::string(file);
}

// The list shown anew has a second version beside it.
std::string secondVersionNotice(const Outcome& o) {
    const std::string list = captionOf(o.list);
    if (o.count <= 0)
        return "Zweite Fassung von " + list +
               " gefunden, ohne neue Seiten; zusammenführen! legt sie ab.";
    return "Zweite Fassung gefunden: " +
           counted(static_cast<int>(o.count), " Seite fehlt", " Seiten fehlen") + " in " + list +
           "; zusammenführen! holt sie.";
}

std::string mergeText(const Outcome& o) {
    if (o.reason == Reason::NothingToMerge)
        return "Keine zweite Fassung von " + captionOf(o.list) + " gefunden.";
    if (o.reason == Reason::ChangedSince)
        return "Nichts zusammengeführt: " + captionOf(o.list) +
               " änderte sich beim Lesen; bitte noch einmal.";
    if (!o.done()) return refused(o, {"Nichts zusammengeführt: ", ""});
    std::string text =
        counted(static_cast<int>(o.count), " Seite übernommen", " Seiten übernommen");
    if (o.reason == Reason::CopiesLeft) {
        text += "; " + counted(static_cast<int>(o.copiesLeft), " zweite Fassung bleibt",
                               " zweite Fassungen bleiben");
        return text + (o.failure.ok() ? "." : ": " + describeError(o.failure.error) + ".");
    }
    if (o.kept > 0)
        text += "; " + counted(static_cast<int>(o.kept), " Seite nur in der Liste: nicht gelöscht",
                               " Seiten nur in der Liste: nicht gelöscht");
    text += ".";
    return o.file.empty() ? text : text + " Rest in " + o.file + ".";
}

std::string startText(const Outcome& o) {
    if (o.reason == Reason::Failed) return appendNotFinished(o.list, o.failure.error);
    if (o.reason == Reason::Unfinished) return unfinishedAppendNotice(o.found);
    return o.reason == Reason::ListCut ? listNotWhole(reason(o.failure)) : "";
}

std::string saveText(const Outcome& o) {
    if (!o.done())
        return refused(
            o, {"Die Seite wurde nicht gespeichert: ", "Gespeichert erst beim nächsten Start: "});
    // Both notes together leave no room for the error's text.
    if (o.reason == Reason::ListCut)
        return (o.lost.empty() ? savedButListNotWhole(o.failure.error)
                               : savedButListNotWholeShort()) +
               lostLine(o.lost);
    const std::string text = shown(o);
    return text.empty() && o.lost.empty() ? "" : text + lostLine(o.lost);
}

std::string replaceText(const Outcome& o) {
    if (o.result == Result::NotDone && o.reason == Reason::NoLine)
        return "Nichts ersetzt: Es wurde keine Listenzeile geöffnet.";
    // The page stays on screen, and the list as it is shown.
    if (o.result == Result::NotDone && o.reason == Reason::ChangedSince)
        return "Die Seite wurde nicht ersetzt: " + o.list + " wurde seit dem Öffnen geändert.";
    if (!o.done()) return refused(o, {"Die Seite wurde nicht ersetzt: ", ""});
    if (o.reason == Reason::None)
        return "Seite in Listenzeile " + std::to_string(o.line) + " ersetzt" + lostLine(o.lost);
    // Both notes together leave no room for the error's text.
    if (o.lost.empty()) return doneBut(o, Done::PageReplaced);
    return (o.reason == Reason::NotSafe ? "Ersetzt, aber nicht sicher geschrieben."
                                        : "Ersetzt, aber die Liste nicht ganz gelesen.") +
           lostLine(o.lost);
}

std::string searchText(const Outcome& o) {
    if (o.reason == Reason::LastHit) return "letzter Treffer";
    if (o.reason == Reason::FirstHit) return "erster Treffer";
    return o.count > 0 ? std::to_string(o.count) + " Treffer" : "kein Treffer";
}

std::string listChangeText(const Outcome& o) {
    switch (o.operation) {
        case Operation::Delete:
            if (o.done()) return doneBut(o, Done::LineDeleted);
            return refused(o, {"Die Zeile wurde nicht gelöscht: ", ""});
        case Operation::Move:
            if (o.reason == Reason::BothLists) return pageInBothLists(o.failure);
            if (o.done()) return doneBut(o, Done::PageMoved);
            return refused(
                o, {"Die Seite wurde nicht verschoben: ", "Verschoben erst beim nächsten Start: "});
        case Operation::DeleteAll:
            if (!o.done()) return refused(o, {"Die Liste konnte nicht geleert werden: ", ""});
            if (o.reason == Reason::NoFile) return listHadNoFile();
            return listEmptied(o.file, o.reason == Reason::NotSafe ? o.failure.error : 0,
                               o.reason == Reason::TemplateStays ? o.failure.error : 0);
        default:  // Repair
            if (!o.done()) return refused(o, {"Die Liste wurde nicht repariert: ", ""});
            if (o.reason == Reason::Sound) return listSound(o.list);
            if (o.reason == Reason::NotSafe)
                return doneButNotSafe(Done::ListRepaired, o.failure.error);
            return listRepaired(static_cast<int>(o.count), o.file);
    }
}

std::string transferText(const Outcome& o) {
    const Transfer t = o.operation == Operation::Export ? Transfer::Export : Transfer::Copy;
    const std::string_view trans = transferFileName();
    if (o.result == Result::Later)
        return "Erst beim nächsten Start in " + marked(trans) + ": " +
               describeError(o.failure.error) + ".";
    switch (o.reason) {
        case Reason::None:
            return transferDone(t);
        case Reason::NoLine:
            return noTransferLine(t);
        case Reason::Unfinished:
            return unfinishedAppendNotice(o.found);
        case Reason::LineGone:
            return transferLineMissing(t, o.line, o.list);
        case Reason::ChangedSince:
            return fileChangedSinceOpened(o.list, undone(t));
        case Reason::Unreadable:
            if (o.failure.error == ENOENT) return fileMissing(o.list, undone(t));
            if (o.failure.error == kDamagedTail) return fileDamaged(o.list, undone(t));
            return fileUnreadable(o.list, o.failure.error, undone(t));
        default:
            if (o.failure.error == kDamagedTail) return transferFileDamaged(t);
            return "In " + marked(trans) + " nichts " + undoneWord(undone(t)) + ": " +
                   describeError(o.failure.error) + ".";
    }
}

std::string importText(const Outcome& o) {
    if (o.reason == Reason::NothingToImport) return nothingToImport();
    if (o.reason == Reason::Unreadable)
        return o.failure.error == kDamagedTail
                   ? fileDamaged(transferFileName(), Undone::Imported)
                   : fileUnreadable(transferFileName(), o.failure.error, Undone::Imported);
    if (!o.done())
        return refused(
            o, {"Die Seiten wurden nicht importiert: ", "Importiert erst beim nächsten Start: "});
    if (o.reason == Reason::NotRemoved) return importedButNotRemoved(o.failure.error);
    if (o.reason == Reason::NotSafe) return importedButRemovalNotSafe(o.failure.error);
    if (o.reason == Reason::ListCut)
        return doneButListNotWhole(Done::PagesImported, reason(o.failure));
    const std::string text = shown(o);
    return text.empty() ? importedAndRemoved() : text;
}

std::string checkText(const Outcome& o) {
    if (o.reason == Reason::Unfinished) return unfinishedAppendNotice(o.found);
    if (o.result == Result::NotDone)
        return o.failure.error == ENOENT || o.failure.error == kDamagedTail
                   ? checkFoundDamage()
                   : checkNotFinished(o.failure.error);
    if (o.reason == Reason::NotSafe) return checkSoundButNotSafe(o.failure.error);
    if (o.reason == Reason::Failed) return checkSoundButNotWritten(o.failure.error);
    return checkSound();
}

std::string duplicatesText(const Outcome& o) {
    if (o.reason == Reason::Unreadable) return listUnreadable(o.failure.file, o.failure.error);
    if (o.reason == Reason::ChangedSince) return listChangedWhileRead(o.list);
    if (o.reason == Reason::Failed)
        return duplicatesNotWritten(static_cast<std::size_t>(o.count), o.failure.error);
    return pageCount(static_cast<std::size_t>(o.count));
}

// Why the text file was not saved.
std::string textFileProblem(const Outcome& o) {
    const std::string sibling = "das Programm krumo-34";
    switch (o.reason) {
        case Reason::OldResultStays:
            return std::string("die alte Datei ") + pageTextResultName() + " bleibt (" +
                   describeError(o.failure.error) + ")";
        case Reason::NumberNotAFileName:
            return "die Vorgangsnummer enthält / \\ : * ? \" < > | oder ein Steuerzeichen";
        case Reason::NoProgram:
            return sibling + " fehlt";
        case Reason::ProgramNotStarted:
            return sibling + " ließ sich nicht starten";
        case Reason::ProgramTooSlow:
            return sibling + " ist nach zehn Sekunden noch nicht fertig";
        case Reason::ProgramCrashed:
            return sibling + " ist abgestürzt";
        case Reason::ProgramFailed:
            return sibling + " meldet den Fehler " + std::to_string(o.count);
        case Reason::NoResult:
            return std::string("es gibt keine Datei ") + pageTextResultName();
        case Reason::NameTaken:
            return "die Datei " + o.file + " gibt es schon";
        case Reason::NotRenamed:
            return describeError(o.failure.error);
        default:  // the draft could not be written
            return describeError(o.failure.error) + " (" + o.failure.file + ")";
    }
}

std::string textFileText(const Outcome& o) {
    if (!o.done()) return "Die Textdatei wurde nicht gespeichert: " + textFileProblem(o) + ".";
    return textFileSaved(o.file, lostLine(o.lost));
}

std::string sheetText(const Outcome& o) {
    switch (o.reason) {
        case Reason::NumberNotAFileName:
            return sheetNumberNotAFileName();
        case Reason::NotMade:
            return sheetNotMade();
        case Reason::NameTaken:
            return sheetNameTaken(o.file);
        case Reason::Failed:
            return sheetNotSaved(o.failure.error);
        case Reason::NotSafe:
            return sheetSavedButNotSafe(o.file);
        default:
            return sheetSaved(o.file);
    }
}

std::string printText(const Outcome& o) {
    if (o.reason == Reason::Cancelled) return printCancelled();
    if (o.reason == Reason::NotMade) return sheetNotPrinted();
    if (o.reason == Reason::NotAPdfFile) return sheetNotPrintedOver(o.file);
    if (o.file.empty()) return sheetPrinted();
    // In the working folder a file is named by its bare name, as everywhere in the window.
    return o.file.find('/') == std::string::npos ? sheetSaved(o.file) : sheetPrintedToFile(o.file);
}

std::string gedcomImportText(const Outcome& o) {
    switch (o.reason) {
        case Reason::Cancelled:
            return "Import abgebrochen, nichts importiert.";
        case Reason::Unreadable:
            if (o.failure.error == ENOENT) return fileMissing(chosenName(o.file), Undone::Imported);
            return fileUnreadable(chosenName(o.file), o.failure.error, Undone::Imported);
        case Reason::EmptyFile:
            return gedcomFileIs(o.file, "ist leer");
        case Reason::NotGedcom:
            return gedcomFileIs(o.file, "ist keine GEDCOM-Datei");
        case Reason::NoFamilies:
            return gedcomFileIs(o.file, "hat keine Familie mit Vater oder Mutter");
        case Reason::FileCut:
            if (!o.done()) return gedcomFileIs(o.file, "ist abgeschnitten, ohne ganze Familie");
            break;
        default:
            break;
    }
    if (!o.done())
        return refused(
            o, {"Die Seiten wurden nicht importiert: ", "Importiert erst beim nächsten Start: "});
    if (o.reason == Reason::ListCut)
        return doneButListNotWhole(Done::PagesImported, reason(o.failure));
    return gedcomImported(o) + lostLine(o.lost);
}

std::string gedcomText(const Outcome& o) {
    if (o.reason == Reason::Unreadable) {
        if (o.failure.error == ENOENT) return fileMissing(o.list, Undone::Exported);
        if (o.failure.error == kDamagedTail) return fileDamaged(o.list, Undone::Exported);
        return fileUnreadable(o.list, o.failure.error, Undone::Exported);
    }
    if (o.reason == Reason::Failed) return gedcomNotWritten(o.file, o.failure.error);
    const int pages = static_cast<int>(o.count);
    if (o.reason == Reason::DamagedAfter) return pagesExportedThenDamaged(pages, o.file);
    if (o.reason == Reason::NotSafe)
        return pagesExported(pages, o.file) +
               ", aber nicht sicher geschrieben: " + describeError(o.failure.error) + ".";
    return pagesExported(pages, o.file);
}

std::string operationText(const Outcome& o) {
    switch (o.operation) {
        case Operation::Start:
            return startText(o);
        case Operation::List:
            if (o.reason == Reason::Unfinished) return unfinishedAppendNotice(o.found);
            if (o.reason == Reason::SecondVersion) return secondVersionNotice(o);
            return o.reason == Reason::ListCut ? listNotWhole(reason(o.failure)) : "";
        case Operation::Open:
            return listLineOpened(o.line);
        case Operation::Search:
            return searchText(o);
        case Operation::Save:
            return saveText(o);
        case Operation::Replace:
            return replaceText(o);
        case Operation::Delete:
        case Operation::Move:
        case Operation::DeleteAll:
        case Operation::Repair:
            return listChangeText(o);
        case Operation::Export:
        case Operation::Copy:
            return transferText(o);
        case Operation::Import:
            return importText(o);
        case Operation::Check:
            return checkText(o);
        case Operation::Duplicates:
            return duplicatesText(o);
        case Operation::TextFile:
            return textFileText(o);
        case Operation::Sheet:
            return sheetText(o);
        case Operation::Print:
            return printText(o);
        case Operation::Gedcom:
            return gedcomText(o);
        case Operation::Rescue:
            return o.done() ? rescued() : notRescued(o.failure.error);
        case Operation::TakeBack:
        case Operation::Redo:
            return o.reason == Reason::Unfinished ? unfinishedAppendNotice(o.found) : stepText(o);
        case Operation::Merge:
            return mergeText(o);
        case Operation::GedcomImport:
            return gedcomImportText(o);
    }
    return "";
}

}  // namespace

std::string text(const Outcome& o) {
    const std::string said = operationText(o);
    return o.done() && !o.unrecorded.ok() ? withUnrecorded(said, o.unrecorded) : said;
}

}  // namespace holmtex::msg
