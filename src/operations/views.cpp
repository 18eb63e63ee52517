// The two- and four-family views and the add state ("+" / "-").
#include "window/holmtex.h"

namespace holmtex {

namespace {

// "+" puts panels 2 and 4 aside: panel 2 in PanelBackup's slots 0 to 9, panel 4 in 10 to 19,
// each in item order.
std::string& backupOf(Holmtex& w, int item) {
    return w.PanelBackup.at(static_cast<std::size_t>((item / 10 == 2 ? 0 : 10) + item % 10));
}

// The items of panels 2 and 4 but their first children, in the order "+" empties them and
// "-" fills them again: the other children, then the parents top down.
std::vector<int> restOfPanels() {
    std::vector<int> items;
    for (int f : {2, 4})
        for (int c = 2; c <= 6; ++c) items.push_back(childItem(c, f));
    for (int f : {2, 4})
        for (int item : {fatherItem(f), dateItem(f), motherItem(f), remarkItem(f)})
            items.push_back(item);
    return items;
}

}  // namespace

void Holmtex::placeText1(TextPlace place) {
    Text1.setHeight(place.height);
    Text1.setTop(place.top);
}

void Holmtex::Command17_Click() {
    placeText1(kTwoFamilyText);
    Command18.setVisible(true);
    Command13.setVisible(false);
    Command14.setVisible(false);
    Command15.setVisible(false);
    fam4.setVisible(false);
    eltern4.setVisible(false);
}

void Holmtex::Command18_Click() {
    placeText1(kFourFamilyText);
    Command17.setVisible(true);
    Command18.setVisible(false);
    Command13.setVisible(true);
    Command14.setVisible(true);
    Command15.setVisible(true);
    fam4.setVisible(true);
    eltern4.setVisible(true);
}

void Holmtex::Command24_Click(int /*Index*/) {
    Line1.setVisible(true);
    Line2.setVisible(true);
    Command25.setVisible(true);
    Command24.setVisible(false);
    backupOf(*this, childItem(1, 2)) = k12t.text();
    k12t.setText(v1t.text());
    backupOf(*this, childItem(1, 4)) = k14t.text();
    k14t.setText(m1t.text());
    const std::vector<int> rest = restOfPanels();
    for (int item : rest) backupOf(*this, item) = fieldForItem(item).text();
    for (int item : rest) fieldForItem(item).setText("");
    Command18_Click();
}

void Holmtex::Command25_Click() {
    Line1.setVisible(false);
    Line2.setVisible(false);
    Command24.setVisible(true);
    Command25.setVisible(false);
    k12t.setText(backupOf(*this, childItem(1, 2)));
    k14t.setText(backupOf(*this, childItem(1, 4)));
    for (int item : restOfPanels()) fieldForItem(item).setText(backupOf(*this, item));
}

void Holmtex::Text2_Change() { CurrentRecord.set(ProcessNumber, Text2.text()); }

}  // namespace holmtex
