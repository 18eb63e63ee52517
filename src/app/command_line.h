#pragma once
// The command line: what the program is asked to do, decided before any window exists,
// so that help, version and mistakes need no display.

#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace holmtex {

struct CommandLine {
    enum class Action {
        Window,   // open the window over the working folder
        Help,     // print text to standard output, exit 0
        Version,  // print text to standard output, exit 0
        Error,    // print text to standard error, exit 2
        Pdf,      // --pdf LISTE ZEILE AUSGABE.pdf: write a family sheet and end
        Gedcom,   // --gedcom LISTE AUSGABE.ged: write a list as GEDCOM and end
        History,  // --verlauf [ORDNER]: print the history of the lists and end
        Merge,    // --zusammenfuehren [ORDNER]: merge the lists' conflict copies and end
        // --gedcom-import DATEI.ged LISTE [ORDNER]: read the file into a list and end
        GedcomImport,
    };
    Action action = Action::Window;
    std::optional<std::filesystem::path> folder;  // ORDNER, for the window and the options
    std::vector<std::string> arguments;           // every argument that is no option
    std::string text;                             // what Help, Version or Error print
};

// arguments[0] is the program's name, as in argv.
CommandLine parseCommandLine(const QStringList& arguments);

// "Holmtex Notiz 2.45"
std::string versionText();

}  // namespace holmtex
