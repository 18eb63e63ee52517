// The two- and four-family views.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Text2_Change() { CurrentRecord[ProcessNumber] = Text2.text(); }

}  // namespace holmtex
