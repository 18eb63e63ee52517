// Taking the last change of the lists back and redoing it: the list-file door restores the
// files from the history; the window shows the list anew and leaves the page on screen.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::TakeBackChange() {
    const Outcome taken = lists_.takeBack();
    if (taken.done()) RebuildList();
    say(taken);
}

void Holmtex::RedoChange() {
    const Outcome redone = lists_.redo();
    if (redone.done()) RebuildList();
    say(redone);
}

}  // namespace holmtex
