#pragma once
// Everything the window needs from the outside world besides files.

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace holmtex {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

std::string germanDate(const LocalDateTime& t);  // "dd.MM.yyyy"
std::string germanTime(const LocalDateTime& t);  // "HH:mm:ss"

// How the program started last has ended, as far as a wait for it found out.
struct ProgramEnd {
    bool ended = true;      // false: still running when the wait ran out
    bool succeeded = true;  // it ended by itself with exit status 0
    int exitStatus = 0;     // its exit status; -1 when it was killed or crashed
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
};

// For tests: a fixed clock, prepared answers and a log of what was shown.
class ScriptedPlatform : public Platform {
public:
    struct Shown {
        std::string kind;  // "yesno" or "ok"
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

    LocalDateTime now() override { return clock; }
    bool askYesNo(const std::string& title, const std::string& text) override;
    void showMessage(const std::string& title, const std::string& text) override;
    bool startProgram(const std::filesystem::path& program,
                      const std::filesystem::path& folder) override;
    ProgramEnd waitForProgram(int timeoutMs) override;
    void endProgram() override { ended = true; }

private:
    int child_ = -1;
};

}  // namespace holmtex
