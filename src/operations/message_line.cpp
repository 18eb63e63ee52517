// The message line: what an operation did, in words.
#include "operations/messages.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::say(const Outcome& outcome) {
    outcome_ = outcome;
    if (const std::string text = msg::text(outcome); !text.empty()) Text5.setText(text);
}

}  // namespace holmtex
