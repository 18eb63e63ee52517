#pragma once
// The family sheet laid out on A4 pages and drawn with Qt: into a PDF file's bytes or
// onto a printer the user chooses.

#include <QFont>
#include <QPointF>
#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "export/family_sheet.h"
#include "window/platform.h"

class QPagedPaintDevice;
class QWidget;

namespace holmtex {

// One thing drawn on a page, in device units from the top left of the printable area.
struct SheetItem {
    QPointF at;       // text: the left end of the baseline; rule: its left end
    QFont font;       // text only
    QString text;     // empty for a rule
    qreal width = 0;  // rule only
};

struct SheetLayout {
    std::vector<std::vector<SheetItem>> pages;  // each page ends with "Seite k von n"
};

// Gives the device the sheet's page: A4 portrait with the sheet's margins.
void setUpSheetPage(QPagedPaintDevice& device);

// Lays the sheet out for the device's page and resolution.
SheetLayout layoutSheet(const FamilySheet& sheet, QPagedPaintDevice& device);

// The texts of one page in drawing order, one per line.
QString pageText(const std::vector<SheetItem>& page);

// The sheet as a PDF file: A4 portrait, fonts embedded. False when it could not be made.
bool renderSheetPdf(const FamilySheet& sheet, std::string& pdf);

// The system's print dialog for the sheet, then the printing. Printing into a file proposes
// `fileProposal` (none when empty) and never writes over a file that is no PDF file.
PrintResult printSheetWithDialog(const FamilySheet& sheet,
                                 const std::filesystem::path& fileProposal, QWidget* parent);

}  // namespace holmtex
