#include "window/qt/sheet_render.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextLayout>

namespace holmtex {

namespace {

// Margins in millimetres; the page number sits inside the bottom one's share of the area.
const QMarginsF kMargins(20, 15, 15, 12);
constexpr qreal kLabelColumnMm = 30;

QString toQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont sheetFont(qreal points, bool bold = false, bool italic = false) {
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

// The text cut into lines that fit the width; an empty line stays an empty line.
QStringList wrap(const QString& text, const QFont& font, qreal width, QPaintDevice* device) {
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString& paragraph : text.split('\n')) {
        if (paragraph.trimmed().isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font, device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            while (!piece.isEmpty() && piece.back().isSpace()) piece.chop(1);
            lines << piece;
        }
        layout.endLayout();
    }
    return lines;
}

class Layouter {
public:
    Layouter(QPagedPaintDevice& device) : device_(device) {
        const QRect paint = device.pageLayout().paintRectPixels(device.logicalDpiX());
        width_ = paint.width();
        height_ = paint.height();
        mm_ = device.logicalDpiX() / 25.4;
        const QFontMetricsF footer(footerFont(), &device_);
        bottom_ = height_ - footer.lineSpacing() * 2;
        layout_.pages.emplace_back();
    }

    static QFont footerFont() { return sheetFont(9); }

    qreal mm(qreal value) const { return value * mm_; }

    // Room for `height` more on this page, or a new page.
    void need(qreal height) {
        if (y_ > 0 && y_ + height > bottom_) {
            layout_.pages.emplace_back();
            y_ = 0;
        }
    }

    qreal lineHeight(const QFont& font) const {
        return QFontMetricsF(font, &device_).lineSpacing();
    }

    void text(const QString& text, const QFont& font, qreal x = 0) {
        const QFontMetricsF metrics(font, &device_);
        need(metrics.lineSpacing());
        layout_.pages.back().push_back({QPointF(x, y_ + metrics.ascent()), font, text, 0});
        y_ += metrics.lineSpacing();
    }

    void paragraph(const QString& value, const QFont& font, qreal x = 0) {
        for (const QString& line : wrap(value, font, width_ - x, &device_)) text(line, font, x);
    }

    // A label with its value beside it; the value wraps under itself.
    void row(const QString& label, const QString& value) {
        const QFont labelFont = sheetFont(10, true), valueFont = sheetFont(10);
        const qreal column = mm(kLabelColumnMm);
        const QStringList lines = wrap(value, valueFont, width_ - column, &device_);
        const qreal height = lineHeight(valueFont);
        for (int i = 0; i < lines.size(); ++i) {
            need(height);
            const qreal baseline = y_ + QFontMetricsF(valueFont, &device_).ascent();
            if (i == 0) layout_.pages.back().push_back({QPointF(0, baseline), labelFont, label, 0});
            layout_.pages.back().push_back({QPointF(column, baseline), valueFont, lines[i], 0});
            y_ += height;
        }
    }

    void heading(const QString& text, const QFont& font, qreal keepWith) {
        space(mm(4));
        need(lineHeight(font) + mm(1.5) + keepWith);
        this->text(text, font);
        layout_.pages.back().push_back({QPointF(0, y_ + mm(0.5)), QFont(), QString(), width_});
        y_ += mm(1.5);
    }

    void space(qreal height) {
        if (y_ > 0) y_ += height;
    }

    SheetLayout finish() {
        const QFont font = footerFont();
        const QFontMetricsF metrics(font, &device_);
        const int count = static_cast<int>(layout_.pages.size());
        for (int k = 1; k <= count; ++k) {
            const QString footer = QString("Seite %1 von %2").arg(k).arg(count);
            const qreal x = (width_ - metrics.horizontalAdvance(footer)) / 2;
            layout_.pages[k - 1].push_back(
                {QPointF(x, height_ - metrics.descent()), font, footer, 0});
        }
        return std::move(layout_);
    }

private:
    QPagedPaintDevice& device_;
    SheetLayout layout_;
    qreal width_ = 0, height_ = 0, bottom_ = 0, mm_ = 1, y_ = 0;
};

bool paint(const SheetLayout& layout, QPagedPaintDevice& device, QPainter& painter) {
    for (std::size_t p = 0; p < layout.pages.size(); ++p) {
        if (p > 0 && !device.newPage()) return false;
        for (const SheetItem& item : layout.pages[p]) {
            if (item.text.isEmpty() && item.width > 0) {
                painter.setPen(QPen(Qt::black, device.logicalDpiX() / 200.0));
                painter.drawLine(item.at, item.at + QPointF(item.width, 0));
            } else if (!item.text.isEmpty()) {
                painter.setFont(item.font);
                painter.setPen(Qt::black);
                painter.drawText(item.at, item.text);
            }
        }
    }
    return true;
}

bool layOutAndPaint(const FamilySheet& sheet, QPagedPaintDevice& device) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const bool painted = paint(layoutSheet(sheet, device), device, painter);
    return painter.end() && painted;
}

// The file a print to a file writes, filled in; the system's printer stays the dialog's
// first choice where there is one.
void proposeFile(QPrinter& printer, const std::filesystem::path& file) {
    if (file.empty()) return;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    printer.setOutputFileName(QFile::decodeName(absolute.c_str()));  // a PDF file now
    printer.setOutputFormat(QPrinter::NativeFormat);  // stays a PDF file without a printer
}

}  // namespace

void setUpSheetPage(QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, kMargins,
                                     QPageLayout::Millimeter));
}

SheetLayout layoutSheet(const FamilySheet& sheet, QPagedPaintDevice& device) {
    Layouter out(device);
    out.text(toQt(sheet.title), sheetFont(18, true));
    out.space(out.mm(1));
    for (const std::string& fact : sheet.facts) out.paragraph(toQt(fact), sheetFont(10));
    const QFont headingFont = sheetFont(13, true);
    for (const SheetBlock& block : sheet.blocks) {
        out.heading(toQt(block.heading), headingFont, out.lineHeight(sheetFont(10)) * 2);
        if (!block.link.empty()) out.paragraph(toQt(block.link), sheetFont(10, false, true));
        for (const SheetRow& row : block.rows) out.row(toQt(row.label), toQt(row.value));
    }
    if (!sheet.textHeading.empty()) {
        out.heading(toQt(sheet.textHeading), headingFont, out.lineHeight(sheetFont(10)));
        out.paragraph(toQt(sheet.text), sheetFont(10));
    }
    return out.finish();
}

QString pageText(const std::vector<SheetItem>& page) {
    QString text;
    for (const SheetItem& item : page)
        if (!item.text.isEmpty()) text += item.text + '\n';
    return text;
}

bool renderSheetPdf(const FamilySheet& sheet, std::string& pdf) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setTitle(toQt(sheet.documentTitle));
        writer.setCreator("Holmtex Notiz 2.45");
        setUpSheetPage(writer);
        if (!layOutAndPaint(sheet, writer)) return false;
    }
    pdf.assign(buffer.data().constData(), static_cast<std::size_t>(buffer.data().size()));
    return pdf.rfind("%PDF", 0) == 0;
}

PrintResult printSheetWithDialog(const FamilySheet& sheet,
                                 const std::filesystem::path& fileProposal, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(toQt(sheet.documentTitle));
    printer.setCreator("Holmtex Notiz 2.45");
    setUpSheetPage(printer);
    proposeFile(printer, fileProposal);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle("Familienblatt drucken");
    if (dialog.exec() != QDialog::Accepted) return {PrintOutcome::Cancelled, {}};
    if (printer.outputFormat() != QPrinter::PdfFormat)
        return {layOutAndPaint(sheet, printer) ? PrintOutcome::Printed : PrintOutcome::Failed, {}};
    std::filesystem::path file = QFile::encodeName(printer.outputFileName()).toStdString();
    // In the folder proposed, the file is named as the caller names that folder.
    std::error_code ec;
    if (!fileProposal.empty() &&
        file.parent_path() == std::filesystem::absolute(fileProposal, ec).parent_path())
        file = fileProposal.parent_path() / file.filename();
    // The dialog asks before it replaces a file; a PDF would still take the place of a
    // list or a text the user meant to keep.
    if (std::filesystem::exists(file) && file.extension().string() != ".pdf" &&
        file.extension().string() != ".PDF")
        return {PrintOutcome::NotPrintedOver, file};
    return {layOutAndPaint(sheet, printer) ? PrintOutcome::PrintedToFile : PrintOutcome::Failed,
            file};
}

}  // namespace holmtex
