// The page on screen as a family-group sheet (PDF file and printer) and the selected list
// as a genealogy file.
#include <cerrno>

#include "export/family_sheet.h"
#include "export/list_export.h"
#include "operations/messages.h"
#include "record/data_files.h"
#include "window/holmtex.h"

namespace holmtex {

PageContent Holmtex::pageOnScreen() {
    // Also from Ctrl+P: the line of the page on screen is sure only once the list is whole.
    settleLists();
    PageContent content;
    content.page.set(PageText, Text1.text());
    content.page.set(ProcessNumber, Text2.text());
    for (int n = 10; n <= kItemCount; ++n) content.page.set(n, fieldForItem(n).text());
    content.addState = Line1.visible();

    // The page counts as opened from a list when
    // - the list line selected now is the one the last opening took (MarkedLine; a search
    //   leaves no line selected),
    // - the buffer still holds that line's page: the list file has a page with the
    //   buffer's save date and time on that line (reading other pages into the buffer, or
    //   another list file, changes them),
    // - the process number on screen is that page's: the number names the page in the
    //   list, and "Felder löschen", which keeps the line selected, empties it,
    // - and the window is not blank.
    // Other fields typed since are printed as they are, with a note that they changed.
    const auto list = selectedList();
    const int line = List1.listIndex();
    bool blank = !hasText(Text1.text()) && !hasText(Text2.text());
    for (int n = 10; n <= kItemCount && blank; ++n) blank = !hasText(fieldForItem(n).text());
    if (!list || line < 0 || line != MarkedLine || blank) return content;
    PageRecord stored;
    if (!lists_.page(*list, line, stored).found) return content;
    if (stored.text(SaveDate) != CurrentRecord.text(SaveDate) ||
        stored.text(SaveTime) != CurrentRecord.text(SaveTime) ||
        stored.text(ProcessNumber) != Text2.text())
        return content;
    content.origin = PageOrigin{*list, line, std::string(stored.text(SaveDate)),
                                std::string(stored.text(SaveTime)), false};
    for (int n = PageText; n <= kItemCount; ++n)
        if (stored.text(n) != content.page.text(n)) content.origin->changedSince = true;
    return content;
}

void Holmtex::WriteFamilySheetPdf() {
    const std::string number = Text2.text();
    Outcome o(Operation::Sheet, Result::NotDone, Reason::NumberNotAFileName);
    if (!fitsAFileName(number)) return say(o);
    o.file = familySheetFileName(number, fileNameStamp(platform_.now()));
    std::string pdf;
    o.reason = Reason::NotMade;
    if (!platform_.sheetPdf(buildFamilySheet(pageOnScreen()), pdf)) return say(o);
    const ReplaceResult written = writeNewFile(filePath(o.file), pdf);
    o.failure = written.failure;
    if (written.replaced) {
        o.result = written.failure.ok() ? Result::Done : Result::DoneBut;
        o.reason = written.failure.ok() ? Reason::None : Reason::NotSafe;
    } else {
        o.reason = written.failure.error == EEXIST ? Reason::NameTaken : Reason::Failed;
    }
    say(o);
}

void Holmtex::PrintFamilySheet() {
    // A print into a file is offered the name and folder that pdf! gives the sheet.
    const std::string number = Text2.text();
    const std::string proposal =
        familySheetFileName(fitsAFileName(number) ? number : "", fileNameStamp(platform_.now()));
    const PrintResult printed =
        platform_.printSheet(buildFamilySheet(pageOnScreen()), filePath(proposal));
    // In the working folder a file is named by its bare name, as everywhere in the window.
    const bool inFolder = printed.file.parent_path() == filePath(proposal).parent_path();
    Outcome o(Operation::Print, Result::NotDone);
    if (printed.outcome == PrintOutcome::PrintedToFile ||
        printed.outcome == PrintOutcome::NotPrintedOver)
        o.file = inFolder ? printed.file.filename().string() : printed.file.string();
    switch (printed.outcome) {
        case PrintOutcome::Printed:
        case PrintOutcome::PrintedToFile:
            o.result = Result::Done;
            break;
        case PrintOutcome::Cancelled:
            o.reason = Reason::Cancelled;
            break;
        case PrintOutcome::Failed:
            o.reason = Reason::NotMade;
            break;
        case PrintOutcome::NotPrintedOver:
            o.reason = Reason::NotAPdfFile;
            break;
    }
    say(o);
}

void Holmtex::ExportGedcom() {
    const ListKind list = selectedList().value_or(ListKind::Aktuell);
    Outcome o(Operation::Gedcom, Result::NotDone, Reason::Unreadable);
    o.list = dataFileName(list);
    o.file = gedcomFileName(list);
    const GedcomExport result =
        exportListAsGedcom(lists_, list, filePath(o.file), platform_.now(), LinkRule::Replace);
    o.count = result.pages;
    if (!result.readFailure.ok() || (result.damaged && result.pages == 0)) {
        o.failure = result.readFailure.ok() ? FileResult{kDamagedTail, o.list} : result.readFailure;
    } else if (!result.writeFailure.ok() && !result.written) {
        o.reason = Reason::Failed;
        o.failure = result.writeFailure;
    } else if (!result.writeFailure.ok()) {
        // In place, but its folder may not be on the disk yet.
        o.result = Result::DoneBut;
        o.reason = Reason::NotSafe;
        o.failure = result.writeFailure;
    } else {
        o.result = result.damaged ? Result::DoneBut : Result::Done;
        o.reason = result.damaged ? Reason::DamagedAfter : Reason::None;
    }
    say(o);
}

}  // namespace holmtex
