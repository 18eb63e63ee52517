// Emptying the fields: the whole page or one column of one family.
#include "window/holmtex.h"

namespace holmtex {

namespace {

constexpr int kFamilies[] = {1, 2, 3, 4};

void emptyItem(Holmtex& w, int item) { w.fieldForItem(item).setText(""); }

// Child 1 to 6 of a family, top down.
void emptyChildren(Holmtex& w, int family) {
    for (int c = 1; c <= 6; ++c) emptyItem(w, childItem(c, family));
}

// Father, mother, wedding date, remark.
void emptyParents(Holmtex& w, int family) {
    for (int item : {fatherItem(family), motherItem(family), dateItem(family), remarkItem(family)})
        emptyItem(w, item);
}

}  // namespace

void Holmtex::Command6_Click() {
    // Text1 and Text2 first: their change operations empty items 8 and 9 of the buffer.
    Text1.setText("");
    Text2.setText("");
    for (int f : kFamilies) emptyItem(*this, remarkItem(f));
    for (int f : kFamilies) {
        emptyChildren(*this, f);
        emptyItem(*this, fatherItem(f));
        emptyItem(*this, motherItem(f));
    }
    for (int f : kFamilies) emptyItem(*this, dateItem(f));
}

void Holmtex::Command4_Click() { emptyChildren(*this, 1); }
void Holmtex::Command10_Click() { emptyParents(*this, 1); }
void Holmtex::Command11_Click(int /*Index*/) { emptyChildren(*this, 2); }
void Holmtex::Command12_Click() { emptyParents(*this, 2); }
void Holmtex::Command13_Click() { emptyChildren(*this, 3); }
void Holmtex::Command14_Click() { emptyParents(*this, 3); }
void Holmtex::Command15_Click() { emptyChildren(*this, 4); }
void Holmtex::Command16_Click() { emptyParents(*this, 4); }

}  // namespace holmtex
