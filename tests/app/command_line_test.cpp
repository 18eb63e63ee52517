// What the command line asks for, decided before any window exists.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

#include "operations/command_words.h"
#include "support/scripted_platform.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using Action = CommandLine::Action;

CommandLine parse(QStringList arguments) {
    arguments.prepend("holmtex");
    return parseCommandLine(arguments);
}

struct Case {
    QStringList arguments;
    Action action;
    std::optional<std::string> folder;
    std::string textPart;  // part of what is printed; "" when nothing is
};

TEST(CommandLine, DecidesWhatToDo) {
    const Case cases[] = {
        {{}, Action::Window, std::nullopt, ""},
        {{"Forschung/Müller"}, Action::Window, "Forschung/Müller", ""},
        {{"--", "-Ordner"}, Action::Window, "-Ordner", ""},
        // Qt's own window options are QApplication's business, not mistakes.
        {{"-platform", "offscreen", "Daten"}, Action::Window, "Daten", ""},
        {{"-style=Fusion", "-reverse"}, Action::Window, std::nullopt, ""},
        {{"--help"}, Action::Help, std::nullopt, "ORDNER"},
        {{"--version", "--help"}, Action::Help, std::nullopt, "Aufruf:"},
        // Help and version end the program: any word after them is a mistake.
        {{"-h", "Daten"},
         Action::Error,
         std::nullopt,
         "Nach -h folgt nichts mehr, auch nicht „Daten“."},
        {{"--version", "extra"}, Action::Error, std::nullopt, "Nach --version folgt nichts mehr"},
        {{"--version"}, Action::Version, std::nullopt, "Holmtex Notiz 2.45\n"},
        {{"-v"}, Action::Version, std::nullopt, "Holmtex Notiz 2.45\n"},
        {{"-x"}, Action::Error, std::nullopt, "Die Option „-x“ gibt es nicht."},
        {{"-12"}, Action::Error, std::nullopt, "Die Option „-12“ gibt es nicht."},
        // A negative line reads as an option, but is said as what it is.
        {{"--pdf", "aktuell", "-1", "a.pdf"},
         Action::Error,
         std::nullopt,
         "holmtex: Zeile muss eine Zahl ab 0 sein, nicht >-1<."},
        {{"--ordner", "a"}, Action::Error, std::nullopt, "Die Option „--ordner“ gibt es nicht."},
        {{"a", "b"}, Action::Error, std::nullopt, "Es geht nur ein ORDNER."},
        {{"-platform"}, Action::Error, std::nullopt, "unvollständig"},
        // The uses that write a file and end take their words as arguments.
        {{"--pdf", "aktuell", "0", "a.pdf"}, Action::Pdf, std::nullopt, ""},
        {{"--gedcom", "archiv", "a.ged"}, Action::Gedcom, std::nullopt, ""},
        {{"--pdf", "--gedcom", "a"}, Action::Error, std::nullopt, "gehen nicht zusammen"},
        {{"--gedcom-import", "a.ged", "aktuell", "Daten"}, Action::GedcomImport, std::nullopt, ""},
        {{"--gedcom-import", "--gedcom", "a"}, Action::Error, std::nullopt, "nicht mit --pdf"},
        {{"--help"}, Action::Help, std::nullopt, "--pdf LISTE ZEILE AUSGABE.pdf"},
        {{"--verlauf"}, Action::History, std::nullopt, ""},
        {{"--verlauf", "Daten"}, Action::History, "Daten", ""},
        {{"--verlauf", "a", "b"}, Action::Error, std::nullopt, "Es geht nur ein ORDNER."},
        {{"--verlauf", "--pdf"}, Action::Error, std::nullopt, "--verlauf geht nicht mit"},
        {{"--help"}, Action::Help, std::nullopt, "--verlauf [ORDNER]"},
        {{"--zusammenfuehren"}, Action::Merge, std::nullopt, ""},
        {{"--zusammenfuehren", "Daten"}, Action::Merge, "Daten", ""},
        {{"--zusammenfuehren", "a", "b"}, Action::Error, std::nullopt, "Es geht nur ein ORDNER."},
        {{"--zusammenfuehren", "--verlauf"}, Action::Error, std::nullopt, "geht nicht mit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CommandLine line = parse(c.arguments);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.folder, c.folder);
        if (c.action == Action::Error) {
            EXPECT_EQ(line.text.rfind("holmtex: ", 0), 0u);
        }
        if (c.textPart.empty())
            EXPECT_EQ(line.text, "");
        else
            EXPECT_NE(line.text.find(c.textPart), std::string::npos) << line.text;
    }
}

TEST(CommandLine, VersionIsExactlyTheNumberInTheWindowCaption) {
    ScriptedPlatform platform;
    const Holmtex form(platform, ".");
    EXPECT_EQ(parse({"--version"}).text, "Holmtex Notiz 2.45\n");
    EXPECT_EQ(form.Caption, "Holmtex Notiz Version  " + versionText().substr(14));
}

// A command word that works without a window has its option, and the help names it.
TEST(CommandLine, HasTheOptionOfEveryCommandWordThatNamesOne) {
    for (const CommandWord& command : commandTable()) {
        if (!command.option) continue;
        const CommandLine line = parse({command.option});
        EXPECT_NE(line.action, Action::Error) << command.option;
        EXPECT_NE(parse({"--help"}).text.find(command.option), std::string::npos);
    }
}

TEST(CommandLine, MistakesPointToTheHelp) {
    EXPECT_EQ(parse({"-x"}).text,
              "holmtex: Die Option „-x“ gibt es nicht.\nMehr dazu: holmtex --help\n");
}

TEST(CommandLine, HelpFitsAnEightyColumnTerminal) {
    std::istringstream help(parse({"--help"}).text);
    for (std::string line; std::getline(help, line);)
        EXPECT_LE(QString::fromStdString(line).size(), 80) << line;
}

}  // namespace
}  // namespace holmtex
