// Runs one delete or move operation of the window on a folder and prints what the window
// shows afterwards, for tests that run it with the fault library preloaded.
//
//   holmtex_fault_child FOLDER LIST LINE OPERATION
//     LIST       aktuell, archiv or allgemein: the list chosen first
//     LINE       the line clicked before the operation; -1 clicks none
//     OPERATION  delete (markierte Zeile löschen), all (alle löschen, answered Yes),
//                archiv, aktuell, allgemein (the three moves), duplicates (Duplikate löschen)
//
// Output, one per line: Text5, the number of list lines, the selected line, Text2.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "window/holmtex.h"

int main(int argc, char** argv) {
    using namespace holmtex;
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s FOLDER LIST LINE OPERATION\n", argv[0]);
        return 2;
    }
    const std::string list = argv[2], operation = argv[4];
    const int line = std::atoi(argv[3]);

    ScriptedPlatform platform;
    Holmtex form(platform, argv[1]);
    form.Form_Load();
    if (list == "archiv") form.Option2.setValue(true);
    if (list == "allgemein") form.Option3.setValue(true);
    if (line >= 0) form.List1.clickLine(line);

    // The faults count from here on.
    using Start = void (*)();
    if (auto start = reinterpret_cast<Start>(dlsym(RTLD_DEFAULT, "holmtex_fault_start"))) start();

    if (operation == "delete")
        form.Command2_Click();
    else if (operation == "all")
        form.Command3_Click();
    else if (operation == "archiv")
        form.Command19_Click();
    else if (operation == "aktuell")
        form.Command21_Click();
    else if (operation == "allgemein")
        form.Command22_Click();
    else if (operation == "duplicates")
        form.Command23_Click();
    else
        return 2;

    std::printf("%s\n%d\n%d\n%s\n", form.Text5.text().c_str(), form.List1.listCount(),
                form.List1.listIndex(), form.Text2.text().c_str());
    return 0;
}
