// The page list and the choice of list, and what a list line's tooltip says of its page.
#include <optional>
#include <string_view>
#include <vector>

#include "operations/messages.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::RefreshList() { showList(true); }

void Holmtex::RebuildList() { showList(false); }

void Holmtex::showList(bool openLast) {
    const auto kind = selectedList();
    if (!kind) {
        List1.clear();
        listShown_ = Outcome(Operation::List);
        return;
    }
    if (showListReadAside(*kind)) return;
    // A missing file lists as an empty list; a damaged tail lists the whole pages before
    // it. A file that is as it was last read is not read again, and after our own append
    // only the new pages are. Without opening a line the buffer keeps the page on screen.
    PageRecord last;
    ListFiles::Listing listing = lists_.lines(*kind, openLast ? CurrentRecord : last);
    if (List1.shows(listing.lines.get()))
        List1.linesAppended();  // the lines shown, perhaps with new ones at the end
    else
        List1.showLines(std::move(listing.lines));
    if (openLast && List1.listCount() > 0) List1.setListIndex(List1.listCount() - 1);
    Outcome shown(Operation::List);
    shown.list = dataFileName(*kind);
    shown.line = List1.listIndex();
    shown.failure = listing.problem;
    shown.found = listing.found;
    // A list cut short by a read error must not pass for the whole list; what finishing an
    // append found is said over that.
    if (!listing.problem.ok()) shown.reason = Reason::ListCut;
    if (listing.found.ok() && !listing.found.quiet()) shown.reason = Reason::Unfinished;
    // A second version of the list beside it costs one read of the folder to notice.
    if (shown.reason == Reason::None) {
        const ListFiles::SecondVersions second = lists_.secondVersions(*kind);
        shown.reason = second.copies > 0 ? Reason::SecondVersion : Reason::None;
        shown.count = static_cast<long long>(second.lacked);
    }
    if (shown.reason != Reason::None) shown.result = Result::DoneBut;
    listShown_ = shown;
    say(shown);
}

namespace {

// A field counts as filled when it holds more than blanks; a text that starts with empty
// lines is named by its first line with letters.
std::string_view filled(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// The first line of a text, cut to a tooltip's width at a whole letter.
std::string firstLineOf(std::string_view text) {
    constexpr std::size_t kLetters = 80;
    text = text.substr(0, text.find_first_of("\r\n"));
    std::size_t letters = 0, at = 0;
    for (; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && ++letters > kLetters) break;
    return at < text.size() ? std::string(text.substr(0, at)) + "…" : std::string(text);
}

}  // namespace

std::string Holmtex::lineTip(int line) {
    const std::optional<ListKind> kind = selectedList();
    PageRecord page;
    if (!kind || !lists_.glance(*kind, line, page)) return "";
    std::vector<msg::TipFamily> families;
    for (int f = 1; f <= 4; ++f) {
        const msg::TipFamily family{f, filled(page.text(fatherItem(f))),
                                    filled(page.text(motherItem(f)))};
        if (!family.father.empty() || !family.mother.empty()) families.push_back(family);
    }
    return msg::lineTip(families, firstLineOf(filled(page.text(PageText))));
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
