#include "export/family_sheet.h"

namespace holmtex {

FamilySheet buildFamilySheet(const PageContent& content) {
    const PageRecord& page = content.page;
    FamilySheet sheet;
    sheet.title = "Familienblatt";
    const std::string number = plainLines(page.text(ProcessNumber));
    sheet.documentTitle = number.empty() ? sheet.title : sheet.title + " " + number;
    if (hasText(number)) sheet.facts.push_back("Vorgang Nr. " + number);
    if (content.origin) {
        const PageOrigin& o = *content.origin;
        sheet.facts.push_back(std::string("Liste ") + listCaption(o.list) + ", Zeile " +
                              std::to_string(o.line) + ", gespeichert am " + o.saveDate + " um " +
                              o.saveTime);
        if (o.changedSince) sheet.facts.push_back("Seither geändert und nicht gespeichert");
    }

    for (int f = 1; f <= 4; ++f) {
        if (!familyHasEntry(page, f)) continue;
        SheetBlock block;
        const std::string family = "Familie " + std::to_string(f);
        block.heading = family;
        if (content.addState && f == 2) {
            block.heading = "Eltern des Vaters (" + family + ")";
            block.link = "Kind 1 dieser Familie ist der Vater der Familie 1.";
        } else if (content.addState && f == 4) {
            block.heading = "Eltern der Mutter (" + family + ")";
            block.link = "Kind 1 dieser Familie ist die Mutter der Familie 1.";
        }
        auto row = [&](std::string label, int item) {
            if (hasText(page.text(item)))
                block.rows.push_back({std::move(label), plainLines(page.text(item))});
        };
        row("Vater", fatherItem(f));
        row("Mutter", motherItem(f));
        row("Heirat", dateItem(f));
        for (int c = 1; c <= 6; ++c) row("Kind " + std::to_string(c), childItem(c, f));
        row("Bemerkung", remarkItem(f));
        sheet.blocks.push_back(std::move(block));
    }

    if (hasText(page.text(PageText))) {
        sheet.textHeading = "Text der Merkseite";
        sheet.text = plainLines(page.text(PageText));
    }
    return sheet;
}

}  // namespace holmtex
