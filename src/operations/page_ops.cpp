// Page operations: saving the page on screen, putting it in the place of the page opened,
// and opening a page from the list.
#include <optional>

#include "operations/messages.h"
#include "record/codepage.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// Every text of a page, for the letters it stores as "?".
std::string textsOf(const PageRecord& page) {
    std::string texts;
    for (int n = 1; n <= kItemCount; ++n) texts += page.text(n);
    return texts;
}

}  // namespace

void Holmtex::Command1_Click() { savePage(); }

void Holmtex::stampPage() {
    // The five free-text fields show the replacement; Text1 comes first.
    for (TextBox* field : {&Text1, &bem1t, &bem2t, &bem3t, &bem4t})
        if (field->text().find('"') != std::string::npos)
            field->setText(withoutQuotes(field->text()));

    const LocalDateTime now = platform_.now();
    CurrentRecord.set(ViewMarker, "->");
    CurrentRecord.set(SaveDate, germanDate(now));
    CurrentRecord.set(SaveTime, germanTime(now));
    CurrentRecord.set(PageText, Text1.text());
    // A quote in any other field would end its item early when read back.
    CurrentRecord.set(ProcessNumber, withoutQuotes(Text2.text()));
    CurrentRecord.set(ListTag, "aktu");
    for (int n = 10; n <= kItemCount; ++n)
        CurrentRecord.set(n, withoutQuotes(fieldForItem(n).text()));
    if (Text1.height() == kFourFamilyText.height) CurrentRecord.set(ViewMarker, "->4");
    if (Text1.height() == kTwoFamilyText.height) CurrentRecord.set(ViewMarker, "->2");
    CurrentRecord.set(AddMarker, Line1.visible() ? "add" : "");
}

bool Holmtex::savePage() {
    stampPage();
    const std::string texts = textsOf(CurrentRecord);
    const ListKind list = selectedList().value_or(ListKind::Aktuell);
    Outcome saved = lists_.append(list, recordBytes(CurrentRecord), Operation::Save);
    // A page that was not saved stays on screen; the message says whether the next start
    // saves it.
    if (saved.done()) {
        RefreshList();
        // Under what the list showed: the letters stored as "?".
        const FileResult unrecorded = saved.unrecorded;
        saved = listShown_;
        saved.operation = Operation::Save;
        saved.unrecorded = unrecorded;
        saved.result = saved.failure.ok() ? Result::Done : Result::DoneBut;
        saved.reason = saved.failure.ok() ? Reason::None : Reason::ListCut;
        saved.lost = lostLetters(texts);
    }
    say(saved);
    return saved.done();
}

void Holmtex::ReplacePage() {
    settleLists();  // Ctrl+Shift+S may come while a long list is still being read
    const std::optional<ListKind> kind = selectedList();
    if (!kind) return say(Outcome(Operation::Replace, Result::NotDone, Reason::NoLine));
    stampPage();
    const std::string texts = textsOf(CurrentRecord);
    const int line = MarkedLine;
    // Refused, the page stays on screen as it is, and the buffer with it.
    PageRecord last;
    Outcome replaced =
        lists_.rewrite(Operation::Replace, *kind, line, recordBytes(CurrentRecord), last);
    if (!replaced.done()) return say(replaced);
    // The list shown anew, and the page opened again from its place.
    RefreshList();
    List1.setListIndex(line);
    replaced = afterShown(replaced);
    replaced.lost = lostLetters(texts);
    say(replaced);
}

void Holmtex::List1_Click() {
    // Every step is skipped when it fails; the next one still runs.
    const int line = List1.listIndex();
    MarkedLine = line;
    // Straight from the page's place when the file is as it was listed; otherwise pages
    // 0 to the line are read from the start.
    if (const auto kind = selectedList()) lists_.open(*kind, line, CurrentRecord);
    showPage();

    Outcome opened(Operation::Open);
    opened.line = line;
    say(opened);
    Combo1.setText("");
}

void Holmtex::showPage() {
    const std::string marker(CurrentRecord.text(ViewMarker));
    if (!marker.empty() && marker.back() == '2') placeText1(kTwoFamilyText);
    if (!marker.empty() && marker.back() == '4') placeText1(kFourFamilyText);
    if (CurrentRecord.text(AddMarker) == "add")
        Line1.setVisible(Line2.visible());
    else
        Line1.setVisible(false);

    // The change operations of Text1 and Text2 may read records themselves, so each
    // field takes the buffer's item as it stands at that moment.
    Text1.setText(CurrentRecord.text(PageText));
    Text2.setText(CurrentRecord.text(ProcessNumber));
    for (int n = 10; n <= kItemCount; ++n) fieldForItem(n).setText(CurrentRecord.text(n));
}

}  // namespace holmtex
