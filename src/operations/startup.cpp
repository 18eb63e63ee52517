// Start-up: the window's first state before it is shown.
#include "operations/messages.h"
#include "record/data_files.h"
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Form_Load() {
    // Appends that a crash cut short are finished before anything is read, with the steps
    // of the import or move they belonged to; what the user must know of them is said: the
    // first that failed or found something.
    Outcome started(Operation::Start);
    for (const char* name : {dataFileName(ListKind::Aktuell), dataFileName(ListKind::Archiv),
                             dataFileName(ListKind::Allgemein), transferFileName()}) {
        const Recovery found = lists_.finishAppend(filePath(name));
        if (started.reason != Reason::None || found.quiet()) continue;
        started.result = Result::DoneBut;
        started.reason = found.ok() ? Reason::Unfinished : Reason::Failed;
        started.list = name;
        started.failure = found.failure;
        started.found = found;
    }
    setWindowSize(14115, 9450);
    Command17_Click();
    Command6_Click();
    // A long list shows with its last page while its lines are read (list_aside.cpp).
    startingUp_ = true;
    Option1.setValue(true);
    Option2.setValue(false);
    Option3.setValue(false);
    RefreshList();
    startingUp_ = false;
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
    if (started.reason == Reason::None && !listShown_.failure.ok()) {
        started.result = Result::DoneBut;
        started.reason = Reason::ListCut;
        started.failure = listShown_.failure;
    }
    say(started.reason == Reason::None && listShown_.reason == Reason::SecondVersion ? listShown_
                                                                                     : started);
    if (listBeingRead() && Text5.text().empty()) Text5.setText(msg::listBeingRead());
}

}  // namespace holmtex
