#pragma once
// The window's outside world for tests: a fixed clock, prepared answers and a log of what
// was shown. Started programs are faked, or really run where a test needs the sibling.

#include <atomic>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "window/platform.h"

namespace holmtex {

class ScriptedPlatform : public Platform {
public:
    struct Shown {
        std::string kind;  // "yesno", "ok", "open" (text: the filter) or "progress"
        std::string title, text;
    };

    LocalDateTime clock{2026, 12, 6, 14, 3, 59};
    std::deque<bool> answers;  // used front first; Yes when empty
    std::vector<Shown> shown;
    std::vector<std::filesystem::path> started;
    bool startSucceeds = true;
    bool runPrograms = false;  // really run started programs (a test of the sibling)
    // Without runPrograms: what a started program does in its folder, and how it ends.
    std::function<void(const std::filesystem::path& folder)> fakeProgram;
    ProgramEnd fakeEnd;
    bool ended = false;
    std::vector<FamilySheet> pdfSheets, printedSheets;  // every sheet asked for
    bool pdfSucceeds = true;
    std::string pdfBytes = "%PDF-1.4 (scripted)\n";
    PrintOutcome printOutcome = PrintOutcome::Printed;
    std::filesystem::path printFile;  // the file the user chooses; empty: the one proposed
    std::vector<std::filesystem::path> printProposals;
    // The file the user chooses in the dialog for opening a file; empty: cancelled.
    std::filesystem::path fileToOpen;
    std::vector<std::filesystem::path> openFolders;  // where each dialog opened
    // Each step a progress was told, done and total; the step numbered cancelAtStep (from 1)
    // is cancelled.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progressSteps;
    std::size_t cancelAtStep = 0;
    // Work aside is kept until doAsideWork() does it here; what it posts waits for
    // runPosted(). Without runsAside the caller does such work itself.
    bool runsAside = false;
    std::function<void(const std::atomic<bool>& stop)> asideWork;
    std::deque<std::function<void()>> posted;

    LocalDateTime now() override { return clock; }
    bool askYesNo(const std::string& title, const std::string& text) override;
    void showMessage(const std::string& title, const std::string& text) override;
    bool startProgram(const std::filesystem::path& program,
                      const std::filesystem::path& folder) override;
    ProgramEnd waitForProgram(int timeoutMs) override;
    void endProgram() override { ended = true; }
    bool sheetPdf(const FamilySheet& sheet, std::string& pdf) override;
    PrintResult printSheet(const FamilySheet& sheet,
                           const std::filesystem::path& fileProposal) override;
    std::filesystem::path chooseFileToOpen(const std::string& title,
                                           const std::filesystem::path& folder,
                                           const std::string& filter) override;
    std::unique_ptr<Progress> startProgress(const std::string& title, const std::string& text,
                                            const std::string& cancel) override;
    bool runAside(std::function<void(const std::atomic<bool>& stop)> work) override;
    void post(std::function<void()> task) override { posted.push_back(std::move(task)); }
    void waitUntil(const std::function<bool()>& done) override;
    void doAsideWork();
    // The first `count` tasks posted, in order.
    void runPosted(std::size_t count = SIZE_MAX);

private:
    int child_ = -1;
};

}  // namespace holmtex
