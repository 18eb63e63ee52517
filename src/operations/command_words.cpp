// The command box: the words it takes, and the word "datacheck" in Text1.
#include "operations/command_words.h"

#include <algorithm>
#include <string_view>

#include "operations/messages.h"

namespace holmtex {

namespace {

// The window's own words first, in the order they have always been tested; the words added
// since after them.
const CommandWord kCommandWords[] = {
    {"datacheck!", &Holmtex::CheckData, BoxAfter::Keeps, Operation::Check, nullptr, nullptr},
    {"kopie!", &Holmtex::CopyTransfer, BoxAfter::OperationEmpties, Operation::Copy, nullptr,
     nullptr},
    {"import!", &Holmtex::ImportTransfer, BoxAfter::OperationEmpties, Operation::Import, nullptr,
     nullptr},
    {"export!", &Holmtex::ExportTransfer, BoxAfter::OperationEmpties, Operation::Export, nullptr,
     nullptr},
    {"hilfe", &Holmtex::ShowHelpText, BoxAfter::Keeps, std::nullopt, nullptr, nullptr},
    {"befehl!", &Holmtex::ShowCommandList, BoxAfter::Keeps, std::nullopt, nullptr, nullptr},
    {"reparatur!", &Holmtex::RepairList, BoxAfter::Emptied, Operation::Repair, msg::repairHelp,
     nullptr},
    {"ersetzen!", &Holmtex::ReplacePage, BoxAfter::Emptied, Operation::Replace, msg::replaceHelp,
     nullptr},
    {"pdf!", &Holmtex::WriteFamilySheetPdf, BoxAfter::Emptied, Operation::Sheet, msg::pdfHelp,
     "--pdf"},
    {"drucken!", &Holmtex::PrintFamilySheet, BoxAfter::Emptied, Operation::Print, msg::printHelp,
     nullptr},
    {"gedcom!", &Holmtex::ExportGedcom, BoxAfter::Emptied, Operation::Gedcom, msg::gedcomHelp,
     "--gedcom"},
    {"zurück!", &Holmtex::TakeBackChange, BoxAfter::Emptied, Operation::TakeBack,
     msg::takeBackHelp, nullptr},
    {"wieder!", &Holmtex::RedoChange, BoxAfter::Emptied, Operation::Redo, msg::redoHelp, nullptr},
    {"zusammenführen!", &Holmtex::MergeSecondVersions, BoxAfter::Emptied, Operation::Merge,
     msg::mergeHelp, "--zusammenfuehren"},
    {"gedcom-import!", &Holmtex::ImportGedcom, BoxAfter::Emptied, Operation::GedcomImport,
     msg::gedcomImportHelp, "--gedcom-import"},
};

}  // namespace

std::span<const CommandWord> commandTable() { return kCommandWords; }

void Holmtex::Text1_Change() {
    CurrentRecord.set(PageText, Text1.text());
    if (Text1.text() == "datacheck") CheckData();
}

void Holmtex::Combo1_Change() {
    // The text is read again before each test: a transfer empties the box on its way, and
    // then nothing further matches.
    for (const CommandWord& command : kCommandWords) {
        if (Combo1.text() != command.word) continue;
        (this->*command.run)();
        if (command.box == BoxAfter::Emptied) Combo1.setText("");
    }
}

void Holmtex::ShowHelpText() {
    std::string help = msg::commandHelp();
    for (const CommandWord& command : kCommandWords)
        if (command.help) help.append("\r\n").append(command.help());
    Text1.setText(help);
}

void Holmtex::ShowCommandList() { Text1.setText(msg::commandWords()); }

std::string Holmtex::commandBoxDescription() { return msg::commandBoxDescription(); }

bool Holmtex::isCommandWord(std::string_view text) {
    return std::any_of(std::begin(kCommandWords), std::end(kCommandWords),
                       [text](const CommandWord& command) { return text == command.word; });
}

}  // namespace holmtex
