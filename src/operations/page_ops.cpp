// Page operations: saving the page on screen and opening a page from the list.
#include "operations/messages.h"
#include "record/codepage.h"
#include "record/list_append.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// questionMarkLine() for every text of a record.
std::string questionMarkLineOf(const PageRecord& record) {
    std::string texts;
    for (int n = 1; n <= kItemCount; ++n) texts += record.text(n);
    return msg::questionMarkLine(texts);
}

// A page that was last in its file may have got its line end since.
std::string openedBytes(std::string_view raw) {
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
    return std::string(raw);
}

}  // namespace

void Holmtex::Command1_Click() { savePage(); }

bool Holmtex::savePage() {
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

    const std::string lost = questionMarkLineOf(CurrentRecord);
    const ListKind list = selectedList().value_or(ListKind::Aktuell);
    const AppendResult saved = appendToList(list, recordBytes(CurrentRecord));
    if (!saved.ok()) {
        // The page stays on screen; the message says whether the next start saves it.
        Text5.setText(msg::pageNotSaved(saved));
        return false;
    }
    RefreshList();
    // Both notes together leave no room for the error's text.
    if (listReadError())
        Text5.setText(lost.empty() ? msg::savedButListNotWhole(listReadError())
                                   : msg::savedButListNotWholeShort());
    if (!lost.empty()) Text5.setText(Text5.text() + lost);  // under "Listenzeile n"
    return true;
}

void Holmtex::List1_Click() {
    // Every step is skipped when it fails; the next one still runs.
    const int line = List1.listIndex();
    MarkedLine = line;
    // Straight from the record's place when the file is as it was listed; otherwise
    // records 0 to the line are read from the start.
    const auto kind = selectedList();
    std::string raw;  // the line's own record, when it was read
    if (!kind || alwaysReadFromStart ||
        !pageIndex_.readRecord(*kind, filePath(dataFileName(*kind)), line, CurrentRecord, &raw)) {
        FileSource source;
        if (kind && source.open(filePath(dataFileName(*kind)))) {
            RecordReader reader(source);
            int k = 0;
            while (k <= line && reader.next(CurrentRecord) == ReadStatus::Record) ++k;
            if (line >= 0 && k > line) raw = reader.rawRecord();
        }
    }
    openedPage_.reset();
    if (kind && !raw.empty()) openedPage_ = OpenedPage{*kind, line, openedBytes(raw)};

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

    Text5.setText(msg::listLineOpened(line));
    Combo1.setText("");
}

bool Holmtex::isOpenedPage(ListKind list, int line, std::string_view raw) const {
    return openedPage_ && openedPage_->list == list && openedPage_->line == line &&
           openedPage_->bytes == openedBytes(raw);
}

}  // namespace holmtex
