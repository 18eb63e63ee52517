// A long list shown while it is read: its last page at once, its lines as they come, every
// line number sure when shown. The lines are read on another thread and come back through
// the platform's event loop, so the window changes only on its own thread.
#include "operations/messages.h"
#include "window/holmtex.h"

namespace holmtex {

bool Holmtex::showListReadAside(ListKind list) {
    // Start-up shows its list twice: the second time it is being read, its last page open,
    // and nothing can have changed since, as every change waits for the read.
    if (aside_ && aside_->list == list && List1.shows(aside_->lines.get())) return true;
    if (!startingUp_ || aside_) return false;
    std::shared_ptr<const LineList> lines = lists_.readAside(
        list, CurrentRecord,
        [this](std::shared_ptr<const ListFiles::Piece> piece) {
            platform_.post([this, piece] { linesRead(*piece); });
        },
        [this](ListFiles::AsideWork work) { return platform_.runAside(std::move(work)); });
    if (!lines) return false;
    aside_ = Aside{list, lines};
    // The last line is shown once its number is known: no line is selected till then.
    List1.showLines(std::move(lines));
    showPage();
    listShown_ = Outcome(Operation::List);
    listShown_.list = dataFileName(list);
    return true;
}

void Holmtex::linesRead(const ListFiles::Piece& piece) {
    const ListFiles::Taken taken = lists_.takeLines(piece);
    const bool shown = aside_ && List1.shows(aside_->lines.get());
    // A line the user selected meanwhile stays selected.
    if (taken.added && shown) List1.linesAdded();
    if (!piece.last || !aside_) return;
    aside_.reset();
    if (!shown || !taken.ended) return;
    listShown_.line = taken.pages - 1;
    listShown_.failure = taken.problem;
    if (!taken.problem.ok()) {
        listShown_.result = Result::DoneBut;
        listShown_.reason = Reason::ListCut;
    }
    // The page open since the start is the last line's: it is selected, not opened again,
    // so that what was typed meanwhile stays. Unless the user opened another line.
    const bool untouched = List1.listIndex() < 0;
    if (untouched && taken.lastOpen) {
        List1.showSelected(taken.pages - 1);
        MarkedLine = taken.pages - 1;
    }
    if (Text5.text() != msg::listBeingRead()) return;
    Text5.setText(untouched && !taken.lastOpen ? msg::pageNotLastLine() : "");
    say(listShown_);
}

void Holmtex::settleLists() {
    if (aside_) platform_.waitUntil([this] { return !aside_; });
}

}  // namespace holmtex
