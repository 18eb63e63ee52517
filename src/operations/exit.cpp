// Ending the program, with or without saving the page on screen.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Command5_Click() {}
void Holmtex::Command9_Click() {}
void Holmtex::WindowClosing() {}

}  // namespace holmtex
