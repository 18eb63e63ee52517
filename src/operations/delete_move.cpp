// Deleting lines and moving a line into another list.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Command2_Click() {}
void Holmtex::Command3_Click() {}
void Holmtex::Command19_Click() {}
void Holmtex::Command21_Click() {}
void Holmtex::Command22_Click() {}

}  // namespace holmtex
