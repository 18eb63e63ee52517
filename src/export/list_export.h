#pragma once
// Pages taken out of a list for the family sheet and the genealogy file.

#include <filesystem>

#include "export/page_content.h"
#include "record/data_files.h"
#include "record/list_files.h"
#include "record/local_time.h"

namespace holmtex {

// The page of a list as the sheet and the genealogy file take it.
PageContent listPageContent(const PageRecord& record, ListKind list, int line);

struct GedcomExport {
    FileResult readFailure;   // the list cannot be read (ENOENT: missing); nothing written
    int pages = 0;            // whole pages written
    bool damaged = false;     // the list ends inside a record after those pages
    FileResult writeFailure;  // the file could not be written whole; it is as it was, unless
    bool written = false;     // it holds the new content, its folder perhaps not on the disk
};

// Writes every whole page of a list into `target` through an atomic replacement (or a
// stream, as `rule` allows). A list that is damaged before its first whole page writes
// nothing.
GedcomExport exportListAsGedcom(const ListFiles& lists, ListKind list,
                                const std::filesystem::path& target, const LocalDateTime& now,
                                LinkRule rule = LinkRule::Replace);

}  // namespace holmtex
