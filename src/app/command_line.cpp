#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <span>

namespace holmtex {

namespace {

struct OptionEntry {
    QStringList names;
    QString valueName;        // empty for an option without a value
    const char* description;  // German; nullptr keeps the option out of the help
};

// The program's own options, in the order of the help text.
const OptionEntry kOptions[] = {
    {{"h", "help"}, {}, "zeigt diese Hilfe an"},
    {{"v", "version"}, {}, "zeigt die Versionsnummer an"},
    {{"pdf"}, {}, "schreibt Zeile ZEILE der Liste als Familienblatt (PDF)"},
    {{"gedcom"}, {}, "schreibt die Liste als GEDCOM-Datei für Ahnenprogramme"},
};

// Qt's own window options: QApplication takes them itself, they are no mistake here.
const OptionEntry kQtOptions[] = {
    {{"platform"}, "x", nullptr},        {{"platformtheme"}, "x", nullptr},
    {{"style"}, "x", nullptr},           {{"stylesheet"}, "x", nullptr},
    {{"display"}, "x", nullptr},         {{"geometry"}, "x", nullptr},
    {{"qwindowgeometry"}, "x", nullptr}, {{"qwindowtitle"}, "x", nullptr},
    {{"reverse"}, {}, nullptr},
};

// How the program can be called, one line each.
const char* const kUsages[] = {
    "holmtex [ORDNER]",
    "holmtex --help | --version",
    "holmtex --pdf LISTE ZEILE AUSGABE.pdf",
    "holmtex --gedcom LISTE AUSGABE.ged",
};

const char* const kFolderHelp =
    "  ORDNER           der Ordner mit den Listen und allen anderen Dateien.\n"
    "                   Ohne ORDNER gilt der aktuelle Ordner; ist das der persönliche\n"
    "                   Ordner (so starten Menüs), dann der Ordner „Holmtex Notiz“ im\n"
    "                   Dokumente-Ordner, der beim ersten Start angelegt wird.\n"
    "  LISTE            aktuell, archiv oder allgemein; ZEILE zählt ab 0.\n"
    "                   --pdf und --gedcom lesen die Listen im Ordner wie ohne\n"
    "                   ORDNER und brauchen keinen Bildschirm.\n";

QString optionColumn(const OptionEntry& option) {
    QStringList names;
    for (const QString& name : option.names) names << (name.size() == 1 ? "-" : "--") + name;
    QString column = names.join(", ");
    if (!option.valueName.isEmpty()) column += " " + option.valueName;
    return column;
}

std::string helpText() {
    QString text = "Aufruf:\n";
    for (const char* usage : kUsages) text += QString("  %1\n").arg(usage);
    text += "\nHolmtex Notiz: Merkseiten über Familien, in drei Listen.\n\n";
    text += kFolderHelp;
    text += "\nOptionen:\n";
    for (const OptionEntry& option : kOptions)
        text += QString("  %1 %2\n").arg(optionColumn(option), -16).arg(option.description);
    return text.toStdString();
}

CommandLine failure(const QString& what) {
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.text = QString("holmtex: %1\nMehr dazu: holmtex --help\n").arg(what).toStdString();
    return line;
}

}  // namespace

std::string versionText() { return "Holmtex Notiz " HOLMTEX_VERSION; }

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-platform" is one word, as Qt's own options are written.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (std::span<const OptionEntry> table :
         {std::span<const OptionEntry>(kOptions), std::span<const OptionEntry>(kQtOptions)})
        for (const OptionEntry& option : table)
            parser.addOption(QCommandLineOption(option.names, QString(), option.valueName));

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) return failure("Der Aufruf ist unvollständig.");
        const QString& name = unknown.first();
        return failure(
            QString("Die Option „%1%2“ gibt es nicht.").arg(name.size() == 1 ? "-" : "--", name));
    }

    CommandLine line;
    for (const QString& argument : parser.positionalArguments())
        line.arguments.push_back(QFile::encodeName(argument).toStdString());
    if (parser.isSet("help")) {
        line.action = CommandLine::Action::Help;
        line.text = helpText();
    } else if (parser.isSet("version")) {
        line.action = CommandLine::Action::Version;
        line.text = versionText() + "\n";
    } else if (parser.isSet("pdf") || parser.isSet("gedcom")) {
        if (parser.isSet("pdf") && parser.isSet("gedcom"))
            return failure("--pdf und --gedcom gehen nicht zusammen.");
        // The runners check their own arguments and say how they are called.
        line.action = parser.isSet("pdf") ? CommandLine::Action::Pdf : CommandLine::Action::Gedcom;
    } else if (line.arguments.size() > 1) {
        return failure("Es geht nur ein ORDNER.");
    } else if (line.arguments.size() == 1) {
        line.folder = line.arguments.front();
    }
    return line;
}

}  // namespace holmtex
