// The page list and the choice of list.

#include "operations/messages.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::RefreshList() {
    const auto kind = selectedList();
    if (!kind) {
        List1.clear();
        listShown_ = Outcome(Operation::List);
        return;
    }
    if (showListReadAside(*kind)) return;
    // A missing file lists as an empty list; a damaged tail lists the whole pages before
    // it. A file that is as it was last read is not read again, and after our own append
    // only the new pages are.
    ListFiles::Listing listing = lists_.lines(*kind, CurrentRecord);
    if (List1.shows(listing.lines.get()))
        List1.linesAppended();  // the lines shown, perhaps with new ones at the end
    else
        List1.showLines(std::move(listing.lines));
    if (List1.listCount() > 0) List1.setListIndex(List1.listCount() - 1);
    Outcome shown(Operation::List);
    shown.list = dataFileName(*kind);
    shown.line = List1.listIndex();
    shown.failure = listing.problem;
    shown.found = listing.found;
    // A list cut short by a read error must not pass for the whole list; what finishing an
    // append found is said over that.
    if (!listing.problem.ok()) shown.reason = Reason::ListCut;
    if (listing.found.ok() && !listing.found.quiet()) shown.reason = Reason::Unfinished;
    if (shown.reason != Reason::None) shown.result = Result::DoneBut;
    listShown_ = shown;
    say(shown);
}

void Holmtex::Option1_Click() {
    Command19.setVisible(true);
    Command21.setVisible(false);
    Command22.setVisible(true);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten AKTUELL");
    RefreshList();
}

void Holmtex::Option2_Click() {
    Command19.setVisible(false);
    Command21.setVisible(true);
    Command22.setVisible(true);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten ARCHIV");
    RefreshList();
}

void Holmtex::Option3_Click() {
    Command19.setVisible(false);
    Command21.setVisible(true);
    Command22.setVisible(false);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten ALLGEMEIN");
    RefreshList();
}

}  // namespace holmtex
