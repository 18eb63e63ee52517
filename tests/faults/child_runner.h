#pragma once
// Runs tests/faults/fault_child.cpp (one operation of the window on a folder) with the
// fault library preloaded, and reads back what the window showed.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "record/outcome.h"

namespace holmtex::test {

struct ChildRun {
    bool killed = false;  // died by SIGKILL
    int exitCode = -1;    // when it ended by itself
    bool reachedOperation = false;
    long micros = 0;  // how long the operation took, by the child's clock
    // text5, lines, line, text1, text2, ended as the child printed them (line ends back).
    std::map<std::string, std::string> shown;
    std::vector<std::string> boxes;  // "title|text" of each message box

    const std::string& text5() const { return field("text5"); }
    const std::string& field(const std::string& name) const;
    // What the operation said it did, as far as the child prints it: the operation, result
    // and reason, line, count, file and the step a recovery left undone.
    Outcome outcome() const;
};

struct ChildOptions {
    std::vector<std::string> faults;  // "HOLMTEX_FAULT_...=value"
    std::filesystem::path errors;     // a file for what the child (and its children) print
                                      // to stderr; empty: the test's own stderr
};

// Runs the child on `folder`: LIST, LINE and OPERATION as the child takes them.
ChildRun runChild(const std::filesystem::path& folder, const std::string& list, int line,
                  const std::string& operation, const ChildOptions& options = {});

}  // namespace holmtex::test
