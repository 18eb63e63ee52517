// Search, the command box with its help text, the transfer file and the data check.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Text1_Change() { CurrentRecord[PageText] = Text1.text(); }

void Holmtex::Combo1_Change() {}
void Holmtex::Command8_Click() {}
void Holmtex::ImportTransfer() {}
void Holmtex::ExportTransfer() {}
void Holmtex::CopyTransfer() {}
void Holmtex::CheckData() {}

}  // namespace holmtex
