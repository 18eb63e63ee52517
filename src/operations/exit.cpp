// Ending the program, with or without saving the page on screen.
#include <unistd.h>

#include "record/data_files.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

constexpr const char* kRescueFile = "holmtex-letzter Eintrag.txt";
constexpr const char* kRescueTitle = "  D A T E N R E T T U N G   ";

}  // namespace

void Holmtex::Command5_Click() {
    // A page that could not be saved keeps the program open, so it is not lost.
    if (!savePage()) return;
    ::unlink(filePath("z1.txt").c_str());
    ::unlink(filePath("zzz.txt").c_str());
    ending_ = true;
    platform_.endProgram();
}

void Holmtex::Command9_Click() { rescueAndEnd(); }

void Holmtex::WindowClosing() {
    // Closing through the window system rescues the page like "Schließen, ohne Speichern".
    if (!ending_) rescueAndEnd();
}

void Holmtex::rescueAndEnd() {
    ending_ = true;
    // The new rescue file takes the old one's place only once it is written whole.
    const int error = writeWholeFile(filePath(kRescueFile), recordBytes(CurrentRecord)).error;
    if (error == 0)
        platform_.showMessage(kRescueTitle, std::string("Die letzte Information wurde in der Datei >") +
                                                kRescueFile + "< im Programmordner gespeichert");
    else
        platform_.showMessage(kRescueTitle,
                              std::string("Die letzte Information konnte nicht in der Datei >") +
                                  kRescueFile + "< gerettet werden: " + describeError(error) + ".");
    ::unlink(filePath("z1.txt").c_str());
    ::unlink(filePath("zzz.txt").c_str());
    platform_.endProgram();
}

}  // namespace holmtex
