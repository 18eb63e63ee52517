// The two- and four-family views and the add state ("+" / "-").
#include "window/holmtex.h"

namespace holmtex {

namespace {

// The fields "+" puts aside, in the order of the window's backup slots: panel 2, panel 4.
std::array<TextBox*, 20> backupFields(Holmtex& w) {
    return {&w.k12t, &w.k22t,  &w.k32t,  &w.k42t, &w.k52t,  &w.k62t, &w.v2t,
            &w.m2t,  &w.dat2t, &w.bem2t, &w.k14t, &w.k24t,  &w.k34t, &w.k44t,
            &w.k54t, &w.k64t,  &w.v4t,   &w.m4t,  &w.dat4t, &w.bem4t};
}

std::string& backupOf(Holmtex& w, const TextBox& field) {
    const auto fields = backupFields(w);
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i] == &field) return w.PanelBackup[i];
    return w.PanelBackup[0];  // not reached: every caller names a panel 2 or 4 field
}

// Panel 2 and 4 fields other than the two first children, in the order "+" and "-" use.
std::array<TextBox*, 18> restOfPanels(Holmtex& w) {
    return {&w.k22t, &w.k32t, &w.k42t,  &w.k52t, &w.k62t,  &w.k24t, &w.k34t,  &w.k44t, &w.k54t,
            &w.k64t, &w.v2t,  &w.dat2t, &w.m2t,  &w.bem2t, &w.v4t,  &w.dat4t, &w.m4t,  &w.bem4t};
}

}  // namespace

void Holmtex::Command17_Click() {
    Text1.setHeight(5175);
    Text1.setTop(3600);
    Command18.setVisible(true);
    Command13.setVisible(false);
    Command14.setVisible(false);
    Command15.setVisible(false);
    fam4.setVisible(false);
    eltern4.setVisible(false);
}

void Holmtex::Command18_Click() {
    Text1.setHeight(1695);
    Text1.setTop(7080);
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
    backupOf(*this, k12t) = k12t.text();
    k12t.setText(v1t.text());
    backupOf(*this, k14t) = k14t.text();
    k14t.setText(m1t.text());
    const auto rest = restOfPanels(*this);
    // The backup order differs from the emptying order only in sequence, not in content.
    for (TextBox* field : {&v2t, &dat2t, &m2t, &bem2t, &v4t, &dat4t, &m4t, &bem4t, &k22t, &k32t,
                           &k42t, &k52t, &k62t, &k24t, &k34t, &k44t, &k54t, &k64t})
        backupOf(*this, *field) = field->text();
    for (TextBox* field : rest) field->setText("");
    Command18_Click();
}

void Holmtex::Command25_Click() {
    Line1.setVisible(false);
    Line2.setVisible(false);
    Command24.setVisible(true);
    Command25.setVisible(false);
    k12t.setText(backupOf(*this, k12t));
    k14t.setText(backupOf(*this, k14t));
    for (TextBox* field : restOfPanels(*this)) field->setText(backupOf(*this, *field));
}

void Holmtex::Text2_Change() { CurrentRecord.set(ProcessNumber, Text2.text()); }

}  // namespace holmtex
