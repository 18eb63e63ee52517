#pragma once
// The bare names of every file the program keeps in its working folder. Nothing outside
// record/ spells one out.

#include <filesystem>
#include <string>
#include <string_view>

namespace holmtex {

enum class ListKind { Aktuell, Archiv, Allgemein };

// "holmtex-aktuell.dat", "holmtex-archiv.dat", "holmtex-grund.dat".
const char* dataFileName(ListKind kind);
// "holmtex-aktuell.bak", "holmtex-archiv.bak", "holmtex-grund.bak".
const char* backupFileName(ListKind kind);
// The list file's name without ".dat": "holmtex-aktuell", the stem of its other files.
std::string_view listStem(ListKind kind);

// "holmtex-trans.txt", the file that carries pages to another computer.
const char* transferFileName();
// "holmtex-leer.dat", the empty list a user may leave for "alle löschen" to use up.
const char* emptyListTemplateName();
// "fam-erg3.txt", the work file that takes the records that stay while a line is deleted
// or moved.
const char* listWorkFileName();
// "check.dat", the records the data check read.
const char* checkFileName();
// "holmtex-letzter Eintrag.txt", the page in memory when the program closed without saving.
const char* rescueFileName();
// "zzz.txt", the page as text for the sibling program, and "z1.txt", what the sibling makes
// of it; the duplicate marking writes z1.txt too.
const char* pageTextDraftName();
const char* pageTextResultName();
// "holmtex.lock", the lock that keeps a second program out of the folder.
const char* folderLockName();
// "holmtex-verlauf", the folder that keeps the changes of the lists.
const char* historyFolderName();

// The work file beside `target` that a whole new content goes into first: "check.dat.neu".
std::filesystem::path workFileFor(const std::filesystem::path& target);

// Where the unfinished end of a list goes: "holmtex-aktuell-rest-2612061403.txt" for the
// stamp "2612061403" (yymmddhhmm).
std::string restFileName(ListKind kind, std::string_view stamp);
// The name a merged conflict copy is set aside under, so that it never counts as one
// again: "holmtex-aktuell (conflicted copy 2026-12-07 101010).dat.zusammengefuehrt".
std::string mergedCopyName(std::string_view copyName);
// False when the text holds a character no file name may hold here or on the other
// computers the file may reach: / \ : * ? " < > | and control characters.
bool fitsAFileName(std::string_view text);
// The page as readable text: "Text_4711_2612061403.txt".
std::string pageTextFileName(std::string_view processNumber, std::string_view stamp);
// The page as a family sheet: "Familienblatt_4711_2612061403.pdf".
std::string familySheetFileName(std::string_view processNumber, std::string_view stamp);

}  // namespace holmtex
