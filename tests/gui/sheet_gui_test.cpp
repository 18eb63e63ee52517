// The family sheet laid out and drawn by Qt: every field on the page, page numbers, a
// PDF that text tools read back with its fonts embedded, and Ctrl+P in the window.
#include <QBuffer>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <functional>

#include "gui_fixture.h"
#include "window/qt/sheet_render.h"

namespace holmtex {
namespace {

using test::runCommand;
using test::toolInstalled;

// A page in the add state with all four families filled: field n holds "<label>-<n>".
PageContent fullPage() {
    PageContent content;
    for (int f = 1; f <= 4; ++f) {
        const std::string d = std::to_string(f);
        for (int c = 1; c <= 6; ++c)
            content.page.set(childItem(c, f), "Kind" + std::to_string(c) + "-F" + d + " Weiß");
        content.page.set(fatherItem(f), "Vater-F" + d + " Müller");
        content.page.set(motherItem(f), "Mutter-F" + d + " geb. Groß");
        content.page.set(dateItem(f), "1" + d + ".03.1890 in Ülm");
        content.page.set(remarkItem(f), "Bemerkung-F" + d + "\r\nzweite Zeile-F" + d);
    }
    content.page.set(PageText, "Schluss mit Äpfeln, Öl und Straße\r\nletzte Zeile");
    content.page.set(ProcessNumber, "4711");
    content.addState = true;
    content.origin = PageOrigin{ListKind::Archiv, 3, "06.12.2026", "14:03:00", false};
    return content;
}

// Every text a sheet must show, whatever the layout does with lines.
std::vector<std::string> expectedTexts(const FamilySheet& sheet) {
    std::vector<std::string> texts = {sheet.title};
    texts.insert(texts.end(), sheet.facts.begin(), sheet.facts.end());
    for (const auto& block : sheet.blocks) {
        texts.push_back(block.heading);
        if (!block.link.empty()) texts.push_back(block.link);
        for (const auto& row : block.rows) {
            texts.push_back(row.label);
            std::size_t at = 0;
            for (std::size_t nl; (nl = row.value.find('\n', at)) != std::string::npos; at = nl + 1)
                texts.push_back(row.value.substr(at, nl - at));
            texts.push_back(row.value.substr(at));
        }
    }
    texts.push_back(sheet.textHeading);
    return texts;
}

std::string collapse(const std::string& text) {
    return QString::fromStdString(text).simplified().toStdString();
}

struct Laid {
    SheetLayout layout;
    qreal width = 0, height = 0;
};

Laid layOut(const FamilySheet& sheet) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    setUpSheetPage(writer);
    const QRect area = writer.pageLayout().paintRectPixels(300);
    return {layoutSheet(sheet, writer), qreal(area.width()), qreal(area.height())};
}

std::string allText(const SheetLayout& layout) {
    std::string text;
    for (const auto& page : layout.pages) text += pageText(page).toStdString();
    return text;
}

// Writes the sheet as a PDF into the folder and gives its path.
std::filesystem::path writePdf(const FamilySheet& sheet, const test::TempDir& dir) {
    std::string pdf;
    EXPECT_TRUE(renderSheetPdf(sheet, pdf));
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    test::writeFile(dir / "blatt.pdf", pdf);
    return dir / "blatt.pdf";
}

TEST(SheetLayout, ShowsEveryFieldOfAFourFamilyPageInTheAddState) {
    const FamilySheet sheet = buildFamilySheet(fullPage());
    ASSERT_EQ(sheet.blocks.size(), 4u);
    const Laid laid = layOut(sheet);
    const std::string text = allText(laid.layout);
    for (const std::string& expected : expectedTexts(sheet))
        EXPECT_NE(text.find(expected + "\n"), std::string::npos) << expected;
    for (int f = 1; f <= 4; ++f)
        for (int c = 1; c <= 6; ++c)
            EXPECT_NE(text.find("Kind" + std::to_string(c) + "-F" + std::to_string(f) + " Weiß"),
                      std::string::npos);
    EXPECT_NE(text.find("Eltern des Vaters (Familie 2)\nKind 1 dieser Familie ist der Vater"),
              std::string::npos);
    EXPECT_NE(text.find("Eltern der Mutter (Familie 4)\nKind 1 dieser Familie ist die Mutter"),
              std::string::npos);
    const int pages = static_cast<int>(laid.layout.pages.size());
    EXPECT_EQ(
        pageText(laid.layout.pages.back())
            .toStdString()
            .ends_with("Seite " + std::to_string(pages) + " von " + std::to_string(pages) + "\n"),
        true);
}

TEST(SheetLayout, ALongTextRunsOnOverNumberedPagesInsideThePrintableArea) {
    PageContent content;
    std::string text;
    for (int i = 1; i <= 150; ++i) text += "Zeile " + std::to_string(i) + "\r\n";
    for (int i = 0; i < 400; ++i) text += "Wort" + std::to_string(i) + " ";
    text += "\r\nEnde";
    content.page.set(PageText, text);
    content.page.set(fatherItem(1), "Otto");
    const Laid laid = layOut(buildFamilySheet(content));
    const int count = static_cast<int>(laid.layout.pages.size());
    EXPECT_GE(count, 3);

    std::string all;
    for (int k = 1; k <= count; ++k) {
        const auto& page = laid.layout.pages[k - 1];
        ASSERT_FALSE(page.empty());
        EXPECT_EQ(page.back().text.toStdString(),
                  "Seite " + std::to_string(k) + " von " + std::to_string(count));
        for (const SheetItem& item : page) {
            EXPECT_GE(item.at.y(), 0);
            EXPECT_LE(item.at.y(), laid.height);
            if (!item.text.isEmpty()) {
                QBuffer buffer;
                QPdfWriter device(&buffer);
                device.setResolution(300);
                const qreal right =
                    item.at.x() + QFontMetricsF(item.font, &device).horizontalAdvance(item.text);
                EXPECT_LE(right, laid.width + 1) << item.text.toStdString();
            }
        }
        all += pageText({page.begin(), page.end() - 1}).toStdString();  // without the footer
    }
    // The lines come in their order, none lost, and the last word of the long paragraph.
    std::size_t at = 0;
    for (int i = 1; i <= 150; ++i) {
        at = all.find("\nZeile " + std::to_string(i) + "\n", at);
        ASSERT_NE(at, std::string::npos) << i;
    }
    EXPECT_NE(collapse(all).find("Wort398 Wort399 Ende"), std::string::npos);

    if (!toolInstalled("pdfinfo"))
        GTEST_SKIP() << "pdfinfo (poppler-utils) fehlt: Seitenzahl der PDF-Datei nicht geprüft";
    test::TempDir dir;
    const std::string info =
        runCommand("pdfinfo '" + writePdf(buildFamilySheet(content), dir).string() + "'");
    const std::size_t pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pages + 6)), count) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
}

TEST(SheetPdf, TextToolsReadEveryFieldBackAndTheFontsAreEmbedded) {
    if (!toolInstalled("pdftotext") || !toolInstalled("pdffonts"))
        GTEST_SKIP() << "pdftotext/pdffonts (poppler-utils) fehlen: PDF-Text nicht geprüft";
    const FamilySheet sheet = buildFamilySheet(fullPage());
    test::TempDir dir;
    const std::string file = writePdf(sheet, dir).string();
    int status = 0;
    const std::string text = collapse(runCommand("pdftotext -enc UTF-8 '" + file + "' -", &status));
    ASSERT_EQ(status, 0);
    for (const std::string& expected : expectedTexts(sheet))
        EXPECT_NE(text.find(collapse(expected)), std::string::npos) << expected;
    EXPECT_NE(text.find("Schluss mit Äpfeln, Öl und Straße"), std::string::npos);
    EXPECT_NE(text.find("Seite 1 von"), std::string::npos);

    // Every font is embedded: text stays text, the same on every computer.
    const std::string fonts = runCommand("pdffonts '" + file + "'", &status);
    ASSERT_EQ(status, 0);
    int rows = 0;
    const QStringList lines = QString::fromStdString(fonts).split('\n', Qt::SkipEmptyParts);
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList columns = lines[i].split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        ASSERT_GE(columns.size(), 5) << lines[i].toStdString();
        EXPECT_EQ(columns[columns.size() - 5], "yes") << lines[i].toStdString();  // "emb"
        ++rows;
    }
    EXPECT_GE(rows, 1) << fonts;
}

// Runs `act` on the print dialog once it is up.
void whenTheDialogIsUp(QTimer& poll, const std::function<void(QDialog&)>& act) {
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&poll, act] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll.stop();
            act(*dialog);
        }
    });
    poll.start();
}

TEST(SheetPrint, ThePrintDialogCanBeLeftWithoutPrinting) {
    QString title;
    QTimer poll;
    whenTheDialogIsUp(poll, [&](QDialog& dialog) {
        title = dialog.windowTitle();
        dialog.close();
    });
    EXPECT_EQ(printSheetWithDialog(buildFamilySheet(fullPage()), {}, nullptr).outcome,
              PrintOutcome::Cancelled);
    EXPECT_EQ(title, "Familienblatt drucken");
}

TEST(SheetPrint, PrintingIntoAFileTakesTheNameProposedAndKeepsFilesThatAreNoPdf) {
    test::TempDir dir;
    const std::filesystem::path proposal = dir / "Familienblatt_4711_2612061403.pdf";
    test::writeFile(dir / "holmtex-aktuell.dat", "Liste");
    QString offered;
    QTimer poll;
    // The proposal, printed as offered: the dialog's own button checks the file first.
    whenTheDialogIsUp(poll, [&](QDialog& dialog) {
        auto* printers = dialog.findChild<QComboBox*>("printers");
        printers->setCurrentIndex(printers->count() - 1);  // into a PDF file
        offered = dialog.findChild<QLineEdit*>("filename")->text();
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    PrintResult result = printSheetWithDialog(buildFamilySheet(fullPage()), proposal, nullptr);
    EXPECT_EQ(offered.toStdString(), proposal.string());
    EXPECT_EQ(result.outcome, PrintOutcome::PrintedToFile);
    EXPECT_EQ(result.file, proposal);
    EXPECT_EQ(test::readFile(proposal).rfind("%PDF", 0), 0u);

    // A list file chosen instead, its replacement granted: it stays a list file.
    QTimer secondPoll;
    whenTheDialogIsUp(secondPoll, [&](QDialog& dialog) {
        auto* printers = dialog.findChild<QComboBox*>("printers");
        printers->setCurrentIndex(printers->count() - 1);
        dialog.findChild<QLineEdit*>("filename")
            ->setText(QString::fromStdString((dir / "holmtex-aktuell.dat").string()));
        dialog.accept();
    });
    result = printSheetWithDialog(buildFamilySheet(fullPage()), proposal, nullptr);
    EXPECT_EQ(result.outcome, PrintOutcome::NotPrintedOver);
    EXPECT_EQ(result.file, dir / "holmtex-aktuell.dat");
    EXPECT_EQ(test::readFile(dir / "holmtex-aktuell.dat"), "Liste");
}

using SheetWindow = test::GuiTest;

TEST_F(SheetWindow, CtrlPPrintsThePageOnScreenAsDruckenDoes) {
    writePages({"11", "12"});
    form->Form_Load();
    showAndActivate();
    form->Combo1.setText("Suchtext");
    form->v1t.setText("getippt");
    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(platform.printedSheets.size(), 1u);
    const FamilySheet& sheet = platform.printedSheets[0];
    EXPECT_EQ(sheet.facts.at(0), "Vorgang Nr. 12");
    EXPECT_EQ(sheet.blocks.at(0).rows.at(0).value, "getippt");
    EXPECT_EQ(form->Text5.text(), "Das Familienblatt wurde an den Drucker gegeben.");
    EXPECT_EQ(platform.printProposals.at(0), dir / "Familienblatt_12_2612061403.pdf");
    EXPECT_EQ(form->Combo1.text(), "Suchtext");  // Ctrl+P is no command word in the box
}

}  // namespace
}  // namespace holmtex
