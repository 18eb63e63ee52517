// The command box: the words it takes, and the word "datacheck" in Text1.
#include <string>
#include <string_view>

#include "operations/messages.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Text1_Change() {
    CurrentRecord.set(PageText, Text1.text());
    if (Text1.text() == "datacheck") CheckData();
}

void Holmtex::Combo1_Change() {
    // The text is read again before each test: a transfer empties the box on its way,
    // and then nothing further matches.
    if (Combo1.text() == "datacheck!") CheckData();
    if (Combo1.text() == "kopie!") CopyTransfer();
    if (Combo1.text() == "import!") ImportTransfer();
    if (Combo1.text() == "export!") ExportTransfer();
    if (Combo1.text() == "hilfe") Text1.setText(msg::commandHelp());
    if (Combo1.text() == "befehl!") Text1.setText(msg::commandWords());
    // The words beyond the window's own; each empties the box, as the transfer words do.
    if (Combo1.text() == "reparatur!") RepairList();
    if (Combo1.text() == "pdf!") {
        WriteFamilySheetPdf();
        Combo1.setText("");
    }
    if (Combo1.text() == "drucken!") {
        PrintFamilySheet();
        Combo1.setText("");
    }
    if (Combo1.text() == "gedcom!") {
        ExportGedcom();
        Combo1.setText("");
    }
}

std::string Holmtex::commandBoxDescription() { return msg::commandBoxDescription(); }

bool Holmtex::isCommandWord(std::string_view text) {
    for (const char* word : {"datacheck!", "kopie!", "import!", "export!", "hilfe", "befehl!",
                             "reparatur!", "pdf!", "drucken!", "gedcom!"})
        if (text == word) return true;
    return false;
}

}  // namespace holmtex
