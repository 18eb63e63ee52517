#pragma once
// Every German text the program shows or prints, in one place: the message line Text5,
// the two message boxes, the help texts of the command box, and what the command line
// says. The operations say what they did as an Outcome; the words are here, so that they
// can be read together, checked against the width of Text5 and, one day, translated.
//
// File names in messages are bare names. A "why" is the end of a message after its first
// words ("der Datenträger ist voll (holmtex-aktuell.dat).").

#include <string>
#include <string_view>
#include <vector>

#include "record/file_names.h"
#include "record/file_result.h"
#include "record/history.h"
#include "record/outcome.h"

namespace holmtex::msg {

// ---- What an operation did, in words ----

// The message line's text for what an operation did; empty when the operation leaves the
// message line as it is (a list shown anew has said what there is to say). For the rescue,
// the text of its message box.
std::string text(const Outcome& outcome);

// ---- Pieces ----

// The text of an errno: "der Datenträger ist voll".
std::string describeError(int error);
// "der Datenträger ist voll (holmtex-aktuell.dat)."
std::string reason(int error, std::string_view file);
// The same, or "holmtex-aktuell.dat ist am Ende beschädigt; reparatur! hilft." for
// kDamagedTail.
std::string reason(const FileResult& failure);

// What a message ending in ", nichts …" did not do.
enum class Undone { Saved, Copied, Imported, Exported, Written };
// "Die Datei >holmtex-aktuell.dat< fehlt, nichts exportiert."
std::string fileMissing(std::string_view file, Undone undone);
// "Die Datei >…< kann nicht gelesen werden: <error>, nichts exportiert."
std::string fileUnreadable(std::string_view file, int error, Undone undone);
// "Die Datei >…< ist beschädigt, nichts exportiert."
std::string fileDamaged(std::string_view file, Undone undone);

// ---- Fixed texts: the message boxes and the help texts ----

// The box before "alle löschen".
std::string dataLossTitle();
std::string dataLossQuestion();
// The box of "Schließen, ohne Speichern".
std::string rescueTitle();
// What "Duplikate löschen" puts into Text1.
std::string duplicatesMarkedUpTo(std::string_view processNumber);

// "hilfe" puts the paragraph into Text1, and under it one line for each command word added
// since, as the table of command words names them.
std::string commandHelp();
std::string repairHelp();  // "Eingabe von >reparatur!< repariert …"
std::string mergeHelp();   // "Eingabe von >zusammenführen!< …"
std::string pdfHelp();
std::string printHelp();
std::string gedcomHelp();
std::string takeBackHelp();  // history_messages.cpp, as the rest on the history
std::string redoHelp();
std::string replaceHelp();
std::string gedcomImportHelp();
std::string commandWords();  // "befehl!", into Text1
// What assistive technology says of the command box: every word it takes.
std::string commandBoxDescription();

// The tooltip of a list line: a line for each family whose father or mother is filled in,
// then the first line of the page text, when there is one.
struct TipFamily {
    int family;  // 1 to 4
    std::string_view father, mother;
};
std::string lineTip(const std::vector<TipFamily>& families, std::string_view firstLine);
// gedcom-import!: the file dialog, the progress dialog, the box before a cut file's pages.
std::string gedcomImportTitle();
std::string gedcomFileFilter();  // as the file dialog takes it: "GEDCOM-Dateien (*.ged …)"
std::string gedcomProgressTitle();
std::string gedcomProgressText(std::string_view file);
std::string cancelButton();
std::string gedcomCutTitle();
std::string gedcomCutQuestion(std::string_view file, long long pages);
// A long list is still being read at start-up, its last page open already.
std::string listBeingRead();
// It has been read, and ends in another page than the one found at its end at start-up.
std::string pageNotLastLine();

// A second program in the same folder.
std::string doubleStartTitle();
std::string doubleStart();

// ---- The command line (standard output and error) ----

std::string cliUsageHeading();
// How the program can be called, one line each.
std::vector<std::string> cliUsages();
std::string cliAbout();
std::string cliFolderHelp();
std::string cliOptionsHeading();
std::string cliHelpOption();
std::string cliVersionOption();
std::string cliPdfOption();
std::string cliGedcomOption();
std::string cliMergeOption();
std::string cliMergeAlone();
// holmtex --zusammenfuehren: the window has the folder; nothing found; what it did with a
// list ("AKTUELL: 3 Seiten übernommen.", without a line break).
std::string cliMergeBusy();
std::string cliNothingToMerge();
std::string cliMerged(const Outcome& merged);
std::string cliGedcomImportOption();
// A mistake on the command line, with the way to the help: ends in a line break.
std::string cliMistake(std::string_view what);
std::string cliIncomplete();
std::string cliUnknownOption(std::string_view option);  // "-x", "--ordner"
std::string cliPdfWithGedcom();
std::string cliImportWithExport();
std::string cliOneFolderOnly();
// A sentence of the program's own on standard error: "holmtex: " + what, a line break.
std::string cliProblem(std::string_view what);
// Started for the window without a display; ends in a line break.
std::string cliNoDisplay();
// Words after an option that ends the program at once ("--version extra").
std::string cliNothingAfter(std::string_view option, std::string_view word);

// Why a folder cannot be the working folder; `folder` as given, in the system's encoding.
std::string folderNameEmpty();
std::string currentFolderUnreachable();
std::string folderUnreachable(const std::string& folder, int error);
std::string folderMissing(const std::string& folder);
std::string notAFolder(const std::string& folder);
std::string folderNotMade(const std::string& folder, int error);

std::string pdfUsage();
std::string gedcomUsage();
std::string gedcomImportUsage();
// --gedcom-import while a window works in the folder.
std::string folderBusyNothingImported();
std::string unknownList(std::string_view name);
std::string notALineNumber(std::string_view text);
// A window has the working folder: its lists may change at any moment.
std::string folderInUse();
// A list (or the list a move or import went to) has an append a crash cut short.
std::string listAppendUnfinished(std::string_view file);
std::string outputWouldReplaceList(std::string_view list);
std::string outputWouldReplaceKeptFile(std::string_view file);
// `caption` is the list's as the sheet shows it ("AKTUELL"); `line` as given.
std::string listDamagedBeforeLine(std::string_view caption, int wholePages, std::string_view line);
std::string listHasNoLine(std::string_view caption, std::string_view line, int pages);
std::string sheetNotMadeNothingWritten();
std::string outputNotWritten(std::string_view output, int error);
std::string listDamagedAfterLine(std::string_view caption, int wholePages, std::string_view line,
                                 std::string_view output);
std::string sheetWritten(std::string_view output);
std::string pagesExportedThenListDamaged(int pages, std::string_view output,
                                         std::string_view caption);
std::string pagesExportedLine(int pages, std::string_view output);

// ---- The history of the lists: history_messages.cpp ----

// What zurück! and wieder! did, for text(): "Zurückgenommen: Zeile 12 aus AKTUELL gelöscht
// (14:03)", or why they did nothing.
std::string stepText(const Outcome& outcome);
// `said` with what an operation's message says when the history could not record it.
std::string withUnrecorded(const std::string& said, const FileResult& unrecorded);

std::string cliHistoryOption();
std::string cliHistoryAlone();
// holmtex --verlauf: a heading, one line for each recorded change, newest first, and a line
// for each entry that cannot be read.
std::string historyHeading(const std::string& folder);
std::string historyLine(const RecordedChange& change, const RecordedChange& operation);
std::string historyEmpty();
std::string historyEntryUnreadable(std::string_view entry);
std::string historyUnreadable(int error);

// ---- What an operation did, in words ----

// The message line's text for what an operation did; empty when the operation leaves the
// message line as it is (a list shown anew has said what there is to say).
std::string text(const Outcome& outcome);

}  // namespace holmtex::msg
