#pragma once
// The words the command box takes, one row each, in the order they are tested. The
// dispatcher (Combo1_Change), isCommandWord, the lines the help text adds and the message-fit
// test come from this table: a new word is one more row, its operation and its test.

#include <optional>
#include <span>
#include <string>

#include "record/outcome.h"
#include "window/holmtex.h"

namespace holmtex {

// What becomes of the command box after its word has run.
enum class BoxAfter {
    Keeps,             // the word stays in the box
    OperationEmpties,  // the operation empties it on its way (the transfer words)
    Emptied,           // it is emptied once the operation has run
};

struct CommandWord {
    const char* word;
    void (Holmtex::*run)();
    BoxAfter box;
    std::optional<Operation> operation;  // what it answers with; none: it only writes Text1
    std::string (*help)();  // its line under the help text; none for the window's own words
    const char* option;     // the command-line option that does the same without a window
};

std::span<const CommandWord> commandTable();

}  // namespace holmtex
