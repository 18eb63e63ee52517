// Ending the program, with or without saving the page on screen.
#include "operations/messages.h"
#include "record/data_files.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// The work files of the page as text go with the program, whatever keeps them.
void removeTextWorkFiles(const Holmtex& form) {
    removeFile(form.filePath(pageTextResultName()));
    removeFile(form.filePath(pageTextDraftName()));
}

}  // namespace

void Holmtex::Command5_Click() {
    // A page that could not be saved keeps the program open, so it is not lost.
    if (!savePage()) return;
    removeTextWorkFiles(*this);
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
    Outcome rescued(Operation::Rescue);
    rescued.file = rescueFileName();
    rescued.failure =
        writeWholeFile(filePath(rescueFileName()), recordBytes(CurrentRecord)).failure;
    if (!rescued.failure.ok()) {
        rescued.result = Result::NotDone;
        rescued.reason = Reason::Failed;
    }
    outcome_ = rescued;
    // Said in a box: the window is about to go.
    platform_.showMessage(msg::rescueTitle(), msg::text(rescued));
    removeTextWorkFiles(*this);
    platform_.endProgram();
}

}  // namespace holmtex
