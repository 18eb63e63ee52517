#pragma once
// The whole program behind main(): the command line, the working folder, the window and its
// event loop.

#include <functional>

class QWidget;

namespace holmtex {

// Runs the program as its command line asks and gives its exit status. `shown` is called
// with the window just before it is shown for the first time.
int runProgram(int argc, char** argv, const std::function<void(QWidget&)>& shown = {});

}  // namespace holmtex
