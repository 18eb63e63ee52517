// Deleting lines, moving a line into another list, and mending a list whose file ends
// inside an unfinished page. The list-file door makes the changes; here the window takes
// the marked line, and shows the list and the fields afterwards.
#include <algorithm>
#include <initializer_list>
#include <optional>

#include "operations/messages.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// The list as it is now is shown, when a change did nothing because the marked line may
// hold another page: the list changed since it was opened, or finishing a move took pages
// out of it.
bool listShifted(const Outcome& o) {
    return o.reason == Reason::ChangedSince ||
           (o.reason == Reason::LineGone && !o.found.replaced.empty());
}

enum class Closing { ClearThenRefresh, RefreshThenClear };

// The three moves: the marked page of one of `sources` goes to the end of `target`.
void moveMarkedLine(Holmtex& form, std::initializer_list<ListKind> sources, ListKind target,
                    const char* tag, Closing closing) {
    const std::optional<ListKind> source = form.selectedList();
    if (!source || std::find(sources.begin(), sources.end(), *source) == sources.end()) return;
    const Outcome moved =
        form.lists().move(*source, form.List1.listIndex(), target, tag, form.CurrentRecord);
    if (listShifted(moved)) form.RebuildList();
    if (!moved.done() || moved.reason == Reason::BothLists) return form.say(moved);
    form.List1.clear();
    if (closing == Closing::ClearThenRefresh) {
        form.Command6_Click();
        form.RefreshList();
    } else {
        form.RefreshList();
        form.Command6_Click();
    }
    form.say(form.afterShown(moved));
}

}  // namespace

// "markierte Zeile löschen"
void Holmtex::Command2_Click() {
    const std::optional<ListKind> kind = selectedList();
    if (!kind) return;
    const Outcome deleted =
        lists_.rewrite(Operation::Delete, *kind, List1.listIndex(), std::nullopt, CurrentRecord);
    if (listShifted(deleted)) RebuildList();
    if (!deleted.done()) return say(deleted);
    RefreshList();
    Command6_Click();
    lists_.forgetOpened();
    say(afterShown(deleted));
}

// "alle löschen"
void Holmtex::Command3_Click() {
    if (!platform_.askYesNo(msg::dataLossTitle(), msg::dataLossQuestion())) return;
    const std::optional<ListKind> kind = selectedList();
    if (kind) {
        const Outcome emptied = lists_.empty(*kind);
        if (listShifted(emptied)) RebuildList();
        say(emptied);
        // Refused, the list is as it was, so it keeps showing as it was.
        if (!emptied.done()) return;
    }
    List1.clear();
    Command6_Click();
    lists_.forgetOpened();
}

// "reparatur!"
void Holmtex::RepairList() {
    const std::optional<ListKind> kind = selectedList();
    // The page on screen stays as it was typed, for "Speichern" to save once the list is whole.
    PageRecord last;
    const std::optional<Outcome> repaired =
        kind ? std::optional(lists_.repair(*kind, last)) : std::nullopt;
    RebuildList();
    if (repaired) say(*repaired);
}

void Holmtex::Command19_Click() {
    moveMarkedLine(*this, {ListKind::Aktuell}, ListKind::Archiv, "arch", Closing::ClearThenRefresh);
}

void Holmtex::Command21_Click() {
    // Refreshed before the clear: the page fields end up empty.
    moveMarkedLine(*this, {ListKind::Archiv, ListKind::Allgemein}, ListKind::Aktuell, "aktu",
                   Closing::RefreshThenClear);
}

void Holmtex::Command22_Click() {
    moveMarkedLine(*this, {ListKind::Aktuell, ListKind::Archiv}, ListKind::Allgemein, "grun",
                   Closing::ClearThenRefresh);
}

}  // namespace holmtex
