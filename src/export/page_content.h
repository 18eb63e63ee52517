#pragma once
// A page as the family sheet and the genealogy export see it: its texts, whether the
// add state holds, and where it came from.

#include <optional>
#include <string>
#include <string_view>

#include "record/data_files.h"
#include "record/page_record.h"

namespace holmtex {

// The page of a list it was taken from, as stored there.
struct PageOrigin {
    ListKind list = ListKind::Aktuell;
    int line = 0;  // from 0, as in the page list
    std::string saveDate, saveTime;
    bool changedSince = false;  // the texts differ from the stored page (typed, not saved)
};

struct PageContent {
    // Items 8 (page text), 9 (process number) and 10 to 49 (the four families) hold the
    // texts to put out; the other items are not used.
    PageRecord page;
    // Father 1 is child 1 of family 2, mother 1 child 1 of family 4.
    bool addState = false;
    std::optional<PageOrigin> origin;
};

// "AKTUELL", "ARCHIV", "ALLGEMEIN": the names the list headings use.
const char* listCaption(ListKind kind);
// "holmtex-aktuell.ged", "holmtex-archiv.ged", "holmtex-grund.ged": beside the list file.
std::string gedcomFileName(ListKind kind);

// True when the text holds anything but blanks and line breaks.
bool hasText(std::string_view text);
// Any of the ten fields of family f (1 to 4) has text.
bool familyHasEntry(const PageRecord& page, int f);

// The text with every line break made "\n" and the blanks and line breaks at either
// end dropped.
std::string plainLines(std::string_view text);

}  // namespace holmtex
