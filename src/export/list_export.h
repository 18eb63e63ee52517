#pragma once
// Pages taken out of a list file for the family sheet and the genealogy file.

#include <filesystem>

#include "export/page_content.h"
#include "record/data_files.h"
#include "record/local_time.h"

namespace holmtex {

struct ListPageRead {
    int openError = 0;     // why the list cannot be read; ENOENT when it is missing
    bool found = false;    // the line is a whole record of the list
    bool damaged = false;  // the list ends inside a record (as far as it was read)
    int wholePages = 0;    // whole records read
};

// Reads record `line` (from 0) of a list file into `into`, leaving `into` as it was when
// the line is not a whole record. With toEnd the rest of the list is read as well, so
// that wholePages and damaged speak of the whole list.
ListPageRead readListPage(const std::filesystem::path& listFile, int line, PageRecord& into,
                          bool toEnd);

// The page of a list as the sheet and the genealogy file take it.
PageContent listPageContent(const PageRecord& record, ListKind list, int line);

struct GedcomExport {
    int readError = 0;     // the list cannot be read (ENOENT: missing); nothing written
    int pages = 0;         // whole pages written
    bool damaged = false;  // the list ends inside a record after those pages
    int writeError = 0;    // the file could not be written whole; it is as it was
};

// Writes every whole page of a list file into `target` through an atomic replacement (or a
// stream, as `rule` allows). A list that is damaged before its first whole page writes
// nothing.
GedcomExport exportListAsGedcom(const std::filesystem::path& listFile, ListKind list,
                                const std::filesystem::path& target, const LocalDateTime& now,
                                LinkRule rule = LinkRule::Replace);

}  // namespace holmtex
