#pragma once
// What a printed family-group sheet of a page shows, in reading order, without any
// layout: the toolkit lays it out on A4 pages.

#include <string>
#include <vector>

#include "export/page_content.h"

namespace holmtex {

struct SheetRow {
    std::string label;  // "Vater", "Mutter", "Heirat", "Kind 1" … "Kind 6", "Bemerkung"
    std::string value;  // lines separated by "\n"
};

struct SheetBlock {
    std::string heading;  // "Familie 1", or "Eltern des Vaters (Familie 2)" in the add state
    std::string link;     // in the add state, how the block joins family 1; else empty
    std::vector<SheetRow> rows;
};

struct FamilySheet {
    std::string title;               // "Familienblatt"
    std::vector<std::string> facts;  // process number, list, line, save date and time
    std::vector<SheetBlock> blocks;  // the families that have an entry, in order
    std::string textHeading;         // "Text der Merkseite" when there is a text
    std::string text;                // the page text, lines separated by "\n"
    std::string documentTitle;       // for the file's properties
};

FamilySheet buildFamilySheet(const PageContent& content);

}  // namespace holmtex
