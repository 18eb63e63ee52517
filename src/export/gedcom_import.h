#pragma once
// A genealogy file (GEDCOM) read into note pages: one page for each family with a husband
// or a wife, in the order of the file, the families of the husband's and the wife's
// parents as families 2 and 4 in the add state. The file streams; what is kept of it is
// the persons and families in a compact form, and the pages.

#include <cstdint>
#include <filesystem>
#include <string>

#include "export/gedcom_lines.h"
#include "record/local_time.h"
#include "record/record_io.h"

namespace holmtex {

// What kept a file from being read, or what was wrong in it although pages came out of
// it. Up to Cancelled nothing is offered; from Truncated on, the pages are offered and
// the problem is a note to them. Graver problems come first.
enum class GedcomProblem {
    None,
    Unreadable,          // the file cannot be opened or read: `error` says why
    Folder,              // the name is that of a folder
    Empty,               // not one line in it
    NotGedcom,           // its first line is not "0 HEAD"
    Cancelled,           // the progress function asked to stop
    Truncated,           // no "0 TRLR": the file is cut; its last record, and the families
                         // that name a record not read, are left out
    DuplicateXref,       // two records with one cross-reference: the second is left out
    MissingRecord,       // a reference to a record the file does not have: left out
    OwnAncestor,         // a family among its own ancestors: the link back is left out
    BrokenContinuation,  // a CONC or CONT line that continues nothing (left out), or a
                         // chain of them longer than kMaxGedcomValue (cut there)
    LongLines,           // lines longer than 255 characters (read; cut at kMaxGedcomValue)
    BadLines,            // lines not of the form "level tag value" (left out)
};

struct GedcomImport {
    GedcomProblem problem = GedcomProblem::None;  // the gravest problem met
    std::uint32_t problems = 0;                   // every problem met: bit 1 << problem
    int error = 0;                                // the errno of Unreadable

    // The pages as a list file stores them: Windows-1252 records, each ending in CR LF,
    // with double quotes as apostrophes, stamped as a save at the given time would.
    std::string records;
    int pages = 0;
    // The characters stored as '?', each once in the order met (at most nine: enough for
    // msg::questionMarkLine).
    std::string lostCharacters;

    int families = 0;                // FAM records read whole
    int familiesWithoutParents = 0;  // with neither husband nor wife: no page
    int familiesLeftOut = 0;         // not whole (of a cut file): no page
    int persons = 0;                 // INDI records read whole
    int personsWithoutFamily = 0;    // in no family at all: on no page
    std::uint64_t bytesRead = 0;

    bool has(GedcomProblem p) const { return (problems >> static_cast<int>(p)) & 1; }
    // The pages may be offered (they may still be none).
    bool readable() const {
        return problem == GedcomProblem::None || problem >= GedcomProblem::Truncated;
    }
};

// Reads a genealogy file from `source`. `progress` is told the bytes read about every
// mebibyte and may stop the reading; it is also asked while the pages are made.
GedcomImport importGedcom(ByteSource& source, const LocalDateTime& stamp,
                          const GedcomProgress& progress = {});
// The same from a file; a folder, a missing or unreadable file gives no pages.
GedcomImport importGedcomFile(const std::filesystem::path& file, const LocalDateTime& stamp,
                              const GedcomProgress& progress = {});

}  // namespace holmtex
