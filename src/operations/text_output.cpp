// The page as a readable text file, and the marking of pages with the same number.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Command7_Click() {}
void Holmtex::Command23_Click() {}

}  // namespace holmtex
