#pragma once
// A genealogy file read into a list: what reading it came to, and its pages appended to the
// list in one piece, so that a list takes all of them or none.

#include <filesystem>

#include "export/gedcom_import.h"
#include "record/data_files.h"
#include "record/list_files.h"
#include "record/outcome.h"

namespace holmtex {

// What reading `file` came to, before anything is appended (Operation::GedcomImport):
// NotDone when nothing of it may go into the list (Unreadable, EmptyFile, NotGedcom,
// Cancelled, NoFamilies, FileCut without a whole family), else Done, or DoneBut with the
// gravest problem the file has (FileCut first: only its whole families are offered). The
// pages, families, persons left out and the letters stored as "?" are counted in it;
// `file` is the file's bare name.
Outcome gedcomReadOutcome(const GedcomImport& read, const std::filesystem::path& file,
                          ListKind list);

// Appends the pages read as one change of the list; `read` is what gedcomReadOutcome said.
// A list that ends inside a page takes nothing.
Outcome appendGedcomPages(ListFiles& lists, ListKind list, const GedcomImport& pages,
                          const Outcome& read);

}  // namespace holmtex
