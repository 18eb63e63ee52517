// Start-up: the window's first state before it is shown.
#include "operations/messages.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Form_Load() {
    // Appends that a crash cut short are finished before anything is read, with the steps
    // of the import or move they belonged to; what the user must know of them is said.
    std::string unfinished;
    for (const char* name : {dataFileName(ListKind::Aktuell), dataFileName(ListKind::Archiv),
                             dataFileName(ListKind::Allgemein), transferFileName()}) {
        const Recovery found = finishAppendTo(filePath(name));
        if (unfinished.empty())
            unfinished = found.ok() ? msg::unfinishedAppendNotice(found)
                                    : msg::appendNotFinished(name, found.failure.error);
    }
    setWindowSize(14115, 9450);
    Command17_Click();
    Command6_Click();
    Option1.setValue(true);
    Option2.setValue(false);
    Option3.setValue(false);
    RefreshList();
    Text5.setText("");
    Command18.setVisible(true);
    Command24.setVisible(true);
    Command25.setVisible(false);
    Combo1.setText("");
    Combo1.addItem("kopie");
    Combo1.addItem("export");
    Combo1.addItem("import");
    Line1.setVisible(false);
    Line2.setVisible(false);
    Command2.setCaption("markierte Zeile löschen");
    if (!unfinished.empty())
        Text5.setText(unfinished);
    else if (!listReadProblem().empty())
        Text5.setText(msg::listNotWhole(listReadProblem()));
}

}  // namespace holmtex
