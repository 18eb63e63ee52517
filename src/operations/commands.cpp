// The change operations of the free text and the command box.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Text1_Change() { CurrentRecord[PageText] = Text1.text(); }

void Holmtex::Combo1_Change() {
    // Command words are tested here; none is known yet.
}

}  // namespace holmtex
