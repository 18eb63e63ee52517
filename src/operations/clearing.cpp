// Emptying the fields: the whole page or one column of one family.
#include "window/holmtex.h"

namespace holmtex {

namespace {

void empty(std::initializer_list<TextBox*> fields) {
    for (TextBox* field : fields) field->setText("");
}

}  // namespace

void Holmtex::Command6_Click() {
    // Text1 and Text2 first: their change operations empty items 8 and 9 of the buffer.
    empty({&Text1, &Text2, &bem1t, &bem2t, &bem3t, &bem4t});
    empty({&k11t, &k21t, &k31t, &k41t, &k51t, &k61t, &v1t, &m1t});
    empty({&k12t, &k22t, &k32t, &k42t, &k52t, &k62t, &v2t, &m2t});
    empty({&k13t, &k23t, &k33t, &k43t, &k53t, &k63t, &v3t, &m3t});
    empty({&k14t, &k24t, &k34t, &k44t, &k54t, &k64t, &v4t, &m4t});
    empty({&dat1t, &dat2t, &dat3t, &dat4t});
}

void Holmtex::Command4_Click() { empty({&k11t, &k21t, &k31t, &k41t, &k51t, &k61t}); }
void Holmtex::Command10_Click() { empty({&v1t, &m1t, &dat1t, &bem1t}); }
void Holmtex::Command11_Click(int /*Index*/) { empty({&k12t, &k22t, &k32t, &k42t, &k52t, &k62t}); }
void Holmtex::Command12_Click() { empty({&v2t, &m2t, &dat2t, &bem2t}); }
void Holmtex::Command13_Click() { empty({&k13t, &k23t, &k33t, &k43t, &k53t, &k63t}); }
void Holmtex::Command14_Click() { empty({&v3t, &m3t, &dat3t, &bem3t}); }
void Holmtex::Command15_Click() { empty({&k14t, &k24t, &k34t, &k44t, &k54t, &k64t}); }
void Holmtex::Command16_Click() { empty({&v4t, &m4t, &dat4t, &bem4t}); }

}  // namespace holmtex
