#include "support/scripted_platform.h"

#include <sys/wait.h>
#include <unistd.h>

#include <utility>

namespace holmtex {

bool ScriptedPlatform::askYesNo(const std::string& title, const std::string& text) {
    shown.push_back({"yesno", title, text});
    if (answers.empty()) return true;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

bool ScriptedPlatform::runAside(std::function<void(const std::atomic<bool>& stop)> work) {
    if (!runsAside) return false;
    asideWork = std::move(work);
    return true;
}

void ScriptedPlatform::doAsideWork() {
    const std::atomic<bool> stop{false};
    if (const auto work = std::exchange(asideWork, {})) work(stop);
}

void ScriptedPlatform::runPosted(std::size_t count) {
    for (; count > 0 && !posted.empty(); --count) {
        const auto task = std::move(posted.front());
        posted.pop_front();
        task();
    }
}

void ScriptedPlatform::waitUntil(const std::function<bool()>& done) {
    while (!done() && (asideWork || !posted.empty())) {
        doAsideWork();
        runPosted(1);
    }
}

void ScriptedPlatform::showMessage(const std::string& title, const std::string& text) {
    shown.push_back({"ok", title, text});
}

bool ScriptedPlatform::sheetPdf(const FamilySheet& sheet, std::string& pdf) {
    pdfSheets.push_back(sheet);
    if (!pdfSucceeds) return false;
    pdf = pdfBytes;
    return true;
}

PrintResult ScriptedPlatform::printSheet(const FamilySheet& sheet,
                                         const std::filesystem::path& fileProposal) {
    printedSheets.push_back(sheet);
    printProposals.push_back(fileProposal);
    return {printOutcome, printFile.empty() ? fileProposal : printFile};
}

std::filesystem::path ScriptedPlatform::chooseFileToOpen(const std::string& title,
                                                         const std::filesystem::path& folder,
                                                         const std::string& filter) {
    shown.push_back({"open", title, filter});
    openFolders.push_back(folder);
    return fileToOpen;
}

namespace {

class ScriptedProgress : public Progress {
public:
    explicit ScriptedProgress(ScriptedPlatform& platform) : platform_(platform) {}
    bool step(std::uint64_t done, std::uint64_t total) override {
        platform_.progressSteps.emplace_back(done, total);
        return platform_.progressSteps.size() != platform_.cancelAtStep;
    }

private:
    ScriptedPlatform& platform_;
};

}  // namespace

std::unique_ptr<Progress> ScriptedPlatform::startProgress(const std::string& title,
                                                          const std::string& text,
                                                          const std::string&) {
    shown.push_back({"progress", title, text});
    return std::make_unique<ScriptedProgress>(*this);
}

bool ScriptedPlatform::startProgram(const std::filesystem::path& program,
                                    const std::filesystem::path& folder) {
    started.push_back(program);
    if (!startSucceeds) return false;
    if (!runPrograms) {
        if (fakeProgram) fakeProgram(folder);
        return true;
    }
    if (::access(program.c_str(), X_OK) != 0) return false;
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (::chdir(folder.c_str()) == 0) ::execl(program.c_str(), program.c_str(), nullptr);
        ::_exit(127);
    }
    child_ = pid;
    return true;
}

ProgramEnd ScriptedPlatform::waitForProgram(int timeoutMs) {
    if (!runPrograms) return fakeEnd;
    ProgramEnd end;
    if (child_ < 0) return end;
    for (int waited = 0;; waited += 5) {
        int status = 0;
        if (::waitpid(child_, &status, WNOHANG) == child_) {
            child_ = -1;
            end.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            end.succeeded = end.exitStatus == 0;
            return end;
        }
        if (waited >= timeoutMs) {
            end.ended = end.succeeded = false;
            return end;
        }
        ::usleep(5000);
    }
}

}  // namespace holmtex
