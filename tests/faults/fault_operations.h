#pragma once
// The operations the fault tests run in the child, each named once: what the user does
// before it, what starts it, and what the outcome it ends with must say.

#include <array>
#include <optional>
#include <string_view>

#include "record/file_names.h"
#include "record/outcome.h"

namespace holmtex::test {

// What the user does before the operation, after the line was clicked.
enum class Before {
    Nothing,
    TypePage,  // types a new page into the fields
    EditPage,  // edits the page text and the process number
};

struct FaultOperation {
    const char* name;
    Before before;
    // What starts it: "Command2" clicks that button; a command word is typed into Combo1.
    const char* start;
    Operation answers;               // the operation of the outcome it ends with
    std::optional<ListKind> target;  // a move: the list the page goes to
    bool readsLists = false;         // it only reads the lists
    // What is done first, each in a start of its own and without faults: the change that
    // zurück! takes back, and the step back that wieder! redoes.
    std::array<const char*, 2> earlier{};
};

inline constexpr FaultOperation kFaultOperations[] = {
    {"save", Before::TypePage, "Command1", Operation::Save, {}, false},
    {"close", Before::TypePage, "Command5", Operation::Save, {}, false},
    {"rescue", Before::EditPage, "Command9", Operation::Rescue, {}, true},
    {"text", Before::Nothing, "Command7", Operation::TextFile, {}, true},
    {"duplicates", Before::Nothing, "Command23", Operation::Duplicates, {}, true},
    {"delete", Before::Nothing, "Command2", Operation::Delete, {}, false},
    {"replace", Before::EditPage, "ersetzen!", Operation::Replace, {}, false},
    {"all", Before::Nothing, "Command3", Operation::DeleteAll, {}, false},
    {"archiv", Before::Nothing, "Command19", Operation::Move, ListKind::Archiv, false},
    {"aktuell", Before::Nothing, "Command21", Operation::Move, ListKind::Aktuell, false},
    {"allgemein", Before::Nothing, "Command22", Operation::Move, ListKind::Allgemein, false},
    {"import", Before::Nothing, "import!", Operation::Import, {}, false},
    {"export", Before::Nothing, "export!", Operation::Export, {}, true},
    {"copy", Before::Nothing, "kopie!", Operation::Copy, {}, true},
    {"datacheck", Before::Nothing, "datacheck!", Operation::Check, {}, true},
    {"repair", Before::Nothing, "reparatur!", Operation::Repair, {}, false},
    {"pdf", Before::Nothing, "pdf!", Operation::Sheet, {}, true},
    {"gedcom", Before::Nothing, "gedcom!", Operation::Gedcom, {}, true},
    {"backdelete", Before::Nothing, "zurück!", Operation::TakeBack, {}, false, {"delete"}},
    {"backall", Before::Nothing, "zurück!", Operation::TakeBack, {}, false, {"all"}},
    {"backarchiv", Before::Nothing, "zurück!", Operation::TakeBack, {}, false, {"archiv"}},
    {"backimport", Before::Nothing, "zurück!", Operation::TakeBack, {}, false, {"import"}},
    {"againarchiv",
     Before::Nothing,
     "wieder!",
     Operation::Redo,
     {},
     false,
     {"archiv", "backarchiv"}},
    {"merge", Before::Nothing, "zusammenführen!", Operation::Merge, {}, false},
    // Chooses the genealogy file the child puts in the folder (kGedcomToImport).
    {"gedcom_import", Before::Nothing, "gedcom-import!", Operation::GedcomImport, {}, false},
    // Only the start-up, with its faults counted from its beginning.
    {"start", Before::Nothing, "", Operation::Start, {}, false},
};

// The file gedcom-import! reads: two families, the second with the first's husband's parents.
inline constexpr const char* kGedcomToImport = "familien.ged";
inline constexpr const char* kGedcomImportBytes =
    "0 HEAD\n1 CHAR UTF-8\n"
    "0 @I1@ INDI\n1 NAME Otto /Kahl/\n1 BIRT\n2 DATE 3 MAR 1860\n2 PLAC Jena\n1 FAMC @F2@\n"
    "0 @I2@ INDI\n1 NAME Emma /Rau/\n0 @I3@ INDI\n1 NAME Karl /Kahl/\n"
    "0 @I4@ INDI\n1 NAME Zoë /Kahl/\n"
    "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 MARR\n2 DATE ABT 1890\n"
    "0 @F2@ FAM\n1 HUSB @I3@\n1 WIFE @I4@\n1 CHIL @I1@\n0 TRLR\n";

inline const FaultOperation* faultOperation(std::string_view name) {
    for (const FaultOperation& op : kFaultOperations)
        if (name == op.name) return &op;
    return nullptr;
}

}  // namespace holmtex::test
