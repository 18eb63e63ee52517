#pragma once
// Command-line uses that write a page as a family sheet or a list as a genealogy file and
// end, with no window and no display. Messages go to stderr, in German.
//
//   holmtex --pdf LISTE ZEILE AUSGABE.pdf
//   holmtex --gedcom LISTE AUSGABE.ged
//   holmtex --gedcom-import DATEI.ged LISTE [ORDNER]
//
// LISTE is aktuell, archiv or allgemein; ZEILE counts from 0 as the page list does.
// Exit status: 0 done; 1 not done, or done only in part because the list is damaged
// (the message says which); 2 the arguments are wrong. Nothing is read while a window has
// the folder or a list has an append a crash cut short, and no window starts there while
// the lists are read.

#include <filesystem>
#include <string>
#include <vector>

namespace holmtex {

// `args` are the words after "--pdf"; relative names are taken in workDir.
int runPdfCommand(const std::vector<std::string>& args, const std::filesystem::path& workDir);
// `args` are the words after "--gedcom".
int runGedcomCommand(const std::vector<std::string>& args, const std::filesystem::path& workDir);
// Reads `file` into the list named `list` of `workDir`, as gedcom-import! does, while no
// window works in the folder; a cut file gives its whole families. Exit status 1 also when
// the file was not read whole.
int runGedcomImportCommand(const std::filesystem::path& file, const std::string& list,
                           const std::filesystem::path& workDir);

}  // namespace holmtex
