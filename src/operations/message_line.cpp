// The message line: what an operation did, in words.
#include "operations/messages.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::say(const Outcome& outcome) {
    outcome_ = outcome;
    if (const std::string text = msg::text(outcome); !text.empty()) Text5.setText(text);
}

Outcome Holmtex::afterShown(Outcome outcome) const {
    if (outcome.reason == Reason::None && !listShown_.failure.ok()) {
        outcome.result = Result::DoneBut;
        outcome.reason = Reason::ListCut;
        outcome.failure = listShown_.failure;
    }
    return outcome;
}

}  // namespace holmtex
