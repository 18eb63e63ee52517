// The search: every page of the chosen list in file order, each line marked as a hit or a
// miss, so that the lines stay those of the list.
#include "record/codepage.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Command8_Click() {
    List1.clear();
    Text5.setText("");
    // A missing list searches as a list without pages; a damaged end shows the whole pages
    // before it.
    LineList lines;
    if (const auto kind = selectedList())
        lines = lists_.search(*kind, utf8ToCp1252(Combo1.text()), CurrentRecord);
    List1.setLines(std::move(lines));
}

}  // namespace holmtex
