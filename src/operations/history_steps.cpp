// Taking the last change of the lists back and redoing it: the list-file door restores the
// files from the history; the window shows the list anew and leaves the page on screen. A
// merge of a list's second versions is such a change too.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::TakeBackChange() {
    settleLists();  // Ctrl+Z may come while a long list is still being read
    const Outcome taken = lists_.takeBack();
    if (taken.done()) RebuildList();
    say(taken);
}

void Holmtex::MergeSecondVersions() {
    const auto kind = selectedList();
    if (!kind) return;
    const Outcome merged = lists_.merge(*kind);
    if (merged.done()) RebuildList();
    say(merged);
}

void Holmtex::RedoChange() {
    settleLists();
    const Outcome redone = lists_.redo();
    if (redone.done()) RebuildList();
    say(redone);
}

}  // namespace holmtex
