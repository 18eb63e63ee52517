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
    if (!readListPage(filePath(dataFileName(*list)), line, stored, false).found) return content;
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
    if (!fitsAFileName(number)) {
        Text5.setText(msg::sheetNumberNotAFileName());
        return;
    }
    const std::string name = familySheetFileName(number, fileNameStamp(platform_.now()));
    std::string pdf;
    if (!platform_.sheetPdf(buildFamilySheet(pageOnScreen()), pdf)) {
        Text5.setText(msg::sheetNotMade());
        return;
    }
    const ReplaceResult written = writeNewFile(filePath(name), pdf);
    if (written.replaced && written.failure.error)
        Text5.setText(msg::sheetSavedButNotSafe(name));
    else if (written.failure.error == EEXIST)
        Text5.setText(msg::sheetNameTaken(name));
    else if (written.failure.error)
        Text5.setText(msg::sheetNotSaved(written.failure.error));
    else
        Text5.setText(msg::sheetSaved(name));
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
    const std::string file = inFolder ? printed.file.filename().string() : printed.file.string();
    switch (printed.outcome) {
        case PrintOutcome::Printed:
            Text5.setText(msg::sheetPrinted());
            break;
        case PrintOutcome::PrintedToFile:
            Text5.setText(inFolder ? msg::sheetSaved(file) : msg::sheetPrintedToFile(file));
            break;
        case PrintOutcome::Cancelled:
            Text5.setText(msg::printCancelled());
            break;
        case PrintOutcome::Failed:
            Text5.setText(msg::sheetNotPrinted());
            break;
        case PrintOutcome::NotPrintedOver:
            Text5.setText(msg::sheetNotPrintedOver(file));
            break;
    }
}

void Holmtex::ExportGedcom() {
    const ListKind list = selectedList().value_or(ListKind::Aktuell);
    const std::string source = dataFileName(list), target = gedcomFileName(list);
    const GedcomExport result = exportListAsGedcom(filePath(source), list, filePath(target),
                                                   platform_.now(), LinkRule::Replace);
    using msg::Undone;
    if (result.readError == ENOENT)
        Text5.setText(msg::fileMissing(source, Undone::Exported));
    else if (result.readError)
        Text5.setText(msg::fileUnreadable(source, result.readError, Undone::Exported));
    else if (result.damaged && result.pages == 0)
        Text5.setText(msg::fileDamaged(source, Undone::Exported));
    else if (result.writeError)
        Text5.setText(msg::gedcomNotWritten(target, result.writeError));
    else if (result.damaged)
        Text5.setText(msg::pagesExportedThenDamaged(result.pages, target));
    else
        Text5.setText(msg::pagesExported(result.pages, target));
}

}  // namespace holmtex
