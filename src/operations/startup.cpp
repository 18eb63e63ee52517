// Start-up: the window's first state before it is shown.
#include "window/holmtex.h"

namespace holmtex {

void Holmtex::Form_Load() {
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
}

}  // namespace holmtex
