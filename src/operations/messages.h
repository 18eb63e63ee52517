#pragma once
// Every German text the program shows or prints, in one place: the message line Text5,
// the two message boxes, the help texts of the command box, and what the command line
// says. The operations decide what to say; the words are here, so that they can be read
// together, checked against the width of Text5 and, one day, translated.
//
// File names in messages are bare names. A "why" is the end of a message after its first
// words ("der Datenträger ist voll (holmtex-aktuell.dat)."); a "problem" is the same
// without the list's own words.

#include <string>
#include <string_view>
#include <vector>

#include "record/file_names.h"
#include "record/file_result.h"
#include "record/list_append.h"
#include "record/outcome.h"

namespace holmtex::msg {

// ---- Pieces ----

// The text of an errno: "der Datenträger ist voll".
std::string describeError(int error);
// "der Datenträger ist voll (holmtex-aktuell.dat)."
std::string reason(int error, std::string_view file);
// The same, or damagedAtEnd() for kDamagedTail.
std::string reason(const FileResult& failure);
// "holmtex-aktuell.dat ist am Ende beschädigt; reparatur! hilft."
std::string damagedAtEnd(std::string_view file);
// What to put under a message after a UTF-8 text went into a Windows-1252 file: "" when
// every character has a byte there, else a line break and "Als ? gespeichert: " with the
// characters that became '?', each once, in the order they first appear (the first eight,
// then "…"), so that nothing is lost without a word.
std::string questionMarkLine(std::string_view utf8);

// What a message ending in ", nichts …" did not do.
enum class Undone { Saved, Copied, Imported, Exported, Written };
// "Die Datei >holmtex-aktuell.dat< fehlt, nichts exportiert."
std::string fileMissing(std::string_view file, Undone undone);
// "Die Datei >…< kann nicht gelesen werden: <error>, nichts exportiert."
std::string fileUnreadable(std::string_view file, int error, Undone undone);
// "Die Datei >…< ist beschädigt, nichts exportiert."
std::string fileDamaged(std::string_view file, Undone undone);
// The marked line of a list no longer holds the page opened from it: a why, and the
// message of export and copy.
std::string changedSinceOpened(std::string_view list);
std::string fileChangedSinceOpened(std::string_view list, Undone undone);

// ---- The page list, start-up, saving and opening a page ----

// "Die Liste wurde nicht ganz gelesen: " + problem
std::string listNotWhole(const std::string& problem);
std::string appendNotFinished(std::string_view list, int error);
// What finishing an append a crash cut short found that the user must read (a redo file
// set aside, the step of an import or move left undone), or "" when it was quiet or failed.
// An operation that finds one does nothing else and says it.
std::string unfinishedAppendNotice(const Recovery& found);
// The messages of an append that did not go through say so when the next start finishes it
// ("Gespeichert erst beim nächsten Start: …"), or what an earlier one left.
std::string pageNotSaved(const AppendResult& result);
// Saved, but the list read back afterwards was cut short; the short form when a
// questionMarkLine() must fit under it.
std::string savedButListNotWhole(int error);
std::string savedButListNotWholeShort();
std::string listLineOpened(int line);

// ---- Deleting and moving lines, emptying and repairing a list ----

std::string noLineMarked();
// The first words when the list was left as it was, followed by a why.
std::string lineNotDeleted(const std::string& why);
std::string pageNotMoved(const std::string& why);
std::string pageNotMoved(const AppendResult& result);
// The page is in the target; the next start takes it out of its source.
std::string pageMovedAtNextStart(const FileResult& failure);
std::string listNotEmptied(const std::string& why);
std::string listNotRepaired(const std::string& why);
std::string markedLineGone(std::string_view list);
std::string pageInBothLists(const FileResult& failure);

// What went through, although something after it did not.
enum class Done { LineDeleted, PageMoved, ListRepaired, PagesImported };
// "Die Zeile wurde gelöscht, aber nicht sicher geschrieben: <error>."
std::string doneButNotSafe(Done done, int error);
// "Die Zeile wurde gelöscht, aber die Liste nicht ganz gelesen: " + problem
std::string doneButListNotWhole(Done done, const std::string& problem);

// The box before "alle löschen".
std::string dataLossTitle();
std::string dataLossQuestion();
// "alle löschen" moved the list to `backup`; the folder may not be synced, or the
// template may have failed.
std::string listEmptied(std::string_view backup, int syncError, int templateError);
std::string listHadNoFile();

std::string listSound(std::string_view list);
std::string restFileTaken(std::string_view rest);
std::string listRepaired(int pagesKept, std::string_view rest);

// ---- Duplicates ----

std::string pageCount(std::size_t count);
std::string listUnreadable(std::string_view list, int error);
std::string listChangedWhileRead(std::string_view list);
std::string duplicatesMarkedUpTo(std::string_view processNumber);  // into Text1
std::string duplicatesNotWritten(std::size_t count, int error);

// ---- The page as a text file ----

// Why the text file was not saved.
enum class TextFileStop {
    DraftNotWritten,     // value: errno
    OldResultStays,      // value: errno
    NumberNotAFileName,  //
    NoSibling,           //
    SiblingNotStarted,   //
    SiblingTooSlow,      //
    SiblingCrashed,      //
    SiblingFailed,       // value: its exit status
    NoResult,            //
    NameTaken,           // name: the text file's
    NotRenamed,          // value: errno
};
std::string textFileNotSaved(TextFileStop stop, int value = 0, std::string_view name = {});
std::string textFileSaved(std::string_view name, const std::string& lost);

// ---- Search, commands and the transfer file ----

std::string commandHelp();   // "hilfe", into Text1
std::string commandWords();  // "befehl!", into Text1
// What assistive technology says of the command box: every word it takes.
std::string commandBoxDescription();

enum class Transfer { Export, Copy };
std::string transferDone(Transfer transfer);
std::string noTransferLine(Transfer transfer);
std::string transferLineMissing(Transfer transfer, int line, std::string_view list);
std::string transferFileDamaged(Transfer transfer);
std::string transferNotWritten(Transfer transfer, const AppendResult& result);
// fileMissing() and the like with what the transfer did not do.
Undone undone(Transfer transfer);

std::string nothingToImport();
std::string pagesNotImported(const AppendResult& result);
std::string importedButNotRemoved(int error);
std::string importedAndRemoved();
std::string importedButRemovalNotSafe(int error);

std::string checkFoundDamage();
std::string checkNotFinished(int error);  // the list could not be read
std::string checkSoundButNotWritten(int error);
std::string checkSoundButNotSafe(int error);  // check.dat in place, its folder not synced
std::string checkSound();

// ---- Closing ----

std::string rescueTitle();
std::string rescued();
std::string notRescued(int error);

// ---- Family sheet and GEDCOM ----

std::string sheetNumberNotAFileName();
std::string sheetNotMade();
std::string sheetNameTaken(std::string_view name);
std::string sheetNotSaved(int error);
std::string sheetSaved(std::string_view name);
// The sheet is in place, but its folder may not be on the disk yet.
std::string sheetSavedButNotSafe(std::string_view name);
std::string sheetPrinted();
// Printed into a PDF file outside the working folder (inside it: sheetSaved).
std::string sheetPrintedToFile(std::string_view path);
// Printing into a file that is no PDF file would have replaced it.
std::string sheetNotPrintedOver(std::string_view path);
std::string printCancelled();
std::string sheetNotPrinted();
std::string gedcomNotWritten(std::string_view target, int error);
// "12 Seiten als >holmtex-aktuell.ged< exportiert"
std::string pagesExported(int pages, std::string_view target);
std::string pagesExportedThenDamaged(int pages, std::string_view target);

// ---- A second program in the same folder ----

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
// A mistake on the command line, with the way to the help: ends in a line break.
std::string cliMistake(std::string_view what);
std::string cliIncomplete();
std::string cliUnknownOption(std::string_view option);  // "-x", "--ordner"
std::string cliPdfWithGedcom();
std::string cliOneFolderOnly();
// A sentence of the program's own on standard error: "holmtex: " + what, a line break.
std::string cliProblem(std::string_view what);
// Started for the window without a display; ends in a line break.
std::string cliNoDisplay();

// Why a folder cannot be the working folder; `folder` as given, in the system's encoding.
std::string folderNameEmpty();
std::string currentFolderUnreachable();
std::string folderUnreachable(const std::string& folder, int error);
std::string folderMissing(const std::string& folder);
std::string notAFolder(const std::string& folder);
std::string folderNotMade(const std::string& folder, int error);

std::string pdfUsage();
std::string gedcomUsage();
std::string unknownList(std::string_view name);
std::string notALineNumber(std::string_view text);
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

// ---- What an operation did, in words ----

// The message line's text for what an operation did; empty when the operation leaves the
// message line as it is (a list shown anew has said what there is to say).
std::string text(const Outcome& outcome);

// ---- For the test that lays out every message ----

// Every message that Text5 can show, each with the widest arguments it can get: the
// longest list, backup and work file names, every errno text, five-digit numbers, a long
// process number, eight wide characters named under it.
std::vector<std::string> everyText5Message();

}  // namespace holmtex::msg
