#pragma once
// Everything the window needs from the outside world besides files.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "export/family_sheet.h"
#include "record/local_time.h"

namespace holmtex {

enum class PrintOutcome {
    Printed,        // given to a printer
    PrintedToFile,  // written as a PDF file
    Cancelled,
    Failed,
    NotPrintedOver,  // the file chosen is no PDF file; it stays as it is
};

struct PrintResult {
    PrintOutcome outcome = PrintOutcome::Cancelled;
    std::filesystem::path file;  // PrintedToFile, NotPrintedOver: the file chosen
};

// How the program started last has ended, as far as a wait for it found out.
struct ProgramEnd {
    bool ended = true;      // false: still running when the wait ran out
    bool succeeded = true;  // it ended by itself with exit status 0
    int exitStatus = 0;     // its exit status; -1 when it was killed or crashed
};

// The progress of a long operation, shown to the user once it has taken a second.
class Progress {
public:
    virtual ~Progress() = default;
    // `done` of `total` units; false once the user has cancelled.
    virtual bool step(std::uint64_t done, std::uint64_t total) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual LocalDateTime now() = 0;
    // A modal box with Yes (the default) and No and no icon; true for Yes.
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    // A modal box with one OK button and no icon.
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
    // Starts a program in a folder without waiting for it; false when it cannot start.
    virtual bool startProgram(const std::filesystem::path& program,
                              const std::filesystem::path& folder) = 0;
    // Waits at most timeoutMs for the program started last to end, keeping the window
    // painted, and tells how it ended.
    virtual ProgramEnd waitForProgram(int timeoutMs) = 0;
    // Ends the program once the running operation has returned.
    virtual void endProgram() = 0;
    // The bytes of a PDF file of the family sheet (A4, text with its fonts embedded);
    // false when it could not be made.
    virtual bool sheetPdf(const FamilySheet& sheet, std::string& pdf) = 0;
    // Lets the user choose a printer in the system's print dialog and prints the sheet;
    // printing into a file proposes `fileProposal`.
    virtual PrintResult printSheet(const FamilySheet& sheet,
                                   const std::filesystem::path& fileProposal) = 0;
    // Lets the user choose a file to read in the system's dialog, which opens in `folder` and
    // shows the files `filter` names ("GEDCOM-Dateien (*.ged)"); empty when cancelled.
    virtual std::filesystem::path chooseFileToOpen(const std::string& title,
                                                   const std::filesystem::path& folder,
                                                   const std::string& filter) = 0;
    // A progress dialog with a cancel button, shown once the operation has run a second and
    // closed when the object goes.
    virtual std::unique_ptr<Progress> startProgress(const std::string& title,
                                                    const std::string& text,
                                                    const std::string& cancel) = 0;

    // Work done aside while the window goes on (a long list read at start-up). It hands its
    // results to the window with post(); the window itself is only ever changed on its own
    // thread, by the tasks posted.
    // Starts `work` on a thread of its own; false when this platform has none, and then the
    // caller does the work itself. The work ends early once `stop` is set.
    virtual bool runAside(std::function<void(const std::atomic<bool>& stop)> /*work*/) {
        return false;
    }
    // Runs `task` on the window's thread, later, from its event loop, in the order posted;
    // may be called from any thread.
    virtual void post(std::function<void()> /*task*/) {}
    // Runs posted tasks until `done` says so, keeping the window painted but holding back
    // clicks and keys, which come after it as they came.
    virtual void waitUntil(const std::function<bool()>& /*done*/) {}
};

}  // namespace holmtex
