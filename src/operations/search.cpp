// The search: every page of the chosen list in file order, each line marked as a hit or a
// miss, so that the lines stay those of the list; and F3 from one hit line to the next.
#include <string_view>

#include "record/codepage.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

bool isHit(std::string_view line) { return line.starts_with('>'); }

// The line of the first hit from `from` on, going by `step`; -1 when there is none.
int hitFrom(const LineList& lines, int from, int step) {
    for (int at = from; at >= 0 && at < static_cast<int>(lines.size()); at += step)
        if (isHit(lines[static_cast<std::size_t>(at)])) return at;
    return -1;
}

// F3 (step 1) and Shift+F3 (step -1). With no line selected, from the list's start or end.
void goToHit(Holmtex& form, int step) {
    const LineList& lines = form.List1.lines();
    const int selected = form.List1.listIndex();
    const int from = selected >= 0 ? selected + step : step > 0 ? 0 : form.List1.listCount() - 1;
    if (const int hit = hitFrom(lines, from, step); hit >= 0) return form.List1.setListIndex(hit);
    // None further: the selection stays.
    Outcome none(Operation::Search);
    none.count = 0;
    if (hitFrom(lines, 0, 1) >= 0) {
        none.result = Result::NotDone;
        none.reason = step > 0 ? Reason::LastHit : Reason::FirstHit;
    }
    form.say(none);
}

}  // namespace

void Holmtex::Command8_Click() {
    List1.clear();
    Text5.setText("");
    // A missing list searches as a list without pages; a damaged end shows the whole pages
    // before it.
    LineList lines;
    if (const auto kind = selectedList())
        lines = lists_.search(*kind, utf8ToCp1252(Combo1.text()), CurrentRecord);
    Outcome found(Operation::Search);
    found.count = 0;
    for (std::string_view line : lines) found.count += isHit(line) ? 1 : 0;
    const int first = hitFrom(lines, 0, 1);
    List1.setLines(std::move(lines));
    // In sight, and not selected: the search opens nothing.
    if (first >= 0) List1.scrollTo(first);
    say(found);
}

void Holmtex::NextHit() { goToHit(*this, 1); }

void Holmtex::PreviousHit() { goToHit(*this, -1); }

}  // namespace holmtex
