#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <span>

#include "operations/messages.h"

namespace holmtex {

namespace {

struct OptionEntry {
    QStringList names;
    QString valueName;                  // empty for an option without a value
    std::string (*description)() = {};  // none keeps the option out of the help
};

// The program's own options, in the order of the help text.
const OptionEntry kOptions[] = {
    {{"h", "help"}, {}, msg::cliHelpOption},
    {{"v", "version"}, {}, msg::cliVersionOption},
    {{"pdf"}, {}, msg::cliPdfOption},
    {{"gedcom"}, {}, msg::cliGedcomOption},
    {{"verlauf"}, {}, msg::cliHistoryOption},
    {{"zusammenfuehren"}, {}, msg::cliMergeOption},
    {{"gedcom-import"}, {}, msg::cliGedcomImportOption},
};

// Qt's own window options: QApplication takes them itself, they are no mistake here.
const OptionEntry kQtOptions[] = {
    {{"platform"}, "x"},        {{"platformtheme"}, "x"}, {{"style"}, "x"},
    {{"stylesheet"}, "x"},      {{"display"}, "x"},       {{"geometry"}, "x"},
    {{"qwindowgeometry"}, "x"}, {{"qwindowtitle"}, "x"},  {{"reverse"}, {}},
};

QString optionColumn(const OptionEntry& option) {
    QStringList names;
    for (const QString& name : option.names) names << (name.size() == 1 ? "-" : "--") + name;
    QString column = names.join(", ");
    if (!option.valueName.isEmpty()) column += " " + option.valueName;
    return column;
}

std::string helpText() {
    QString text = QString::fromStdString(msg::cliUsageHeading());
    for (const std::string& usage : msg::cliUsages())
        text += QString("  %1\n").arg(QString::fromStdString(usage));
    text +=
        QString::fromStdString(msg::cliAbout() + msg::cliFolderHelp() + msg::cliOptionsHeading());
    for (const OptionEntry& option : kOptions)
        text += QString("  %1 %2\n")
                    .arg(optionColumn(option), -16)
                    .arg(QString::fromStdString(option.description()));
    return text.toStdString();
}

// An option as it was written ("-1", "-h", "--ordner"), by any of its names.
QString asGiven(const QStringList& arguments, const QStringList& names) {
    for (const QString& argument : arguments.mid(1)) {
        if (argument == "--") break;
        for (const QString& name : names)
            for (const QString dashes : {"-", "--"})
                if (argument == dashes + name || argument.startsWith(dashes + name + "="))
                    return dashes + name;
    }
    return (names.first().size() == 1 ? "-" : "--") + names.first();
}

CommandLine failure(const std::string& what) {
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.text = msg::cliMistake(what);
    return line;
}

// --verlauf and --zusammenfuehren take at most a folder.
CommandLine onFolder(CommandLine line, CommandLine::Action action) {
    if (line.arguments.size() > 1) return failure(msg::cliOneFolderOnly());
    line.action = action;
    if (!line.arguments.empty()) line.folder = line.arguments.front();
    return line;
}

// What the options set ask for, once the words after help and version are checked.
CommandLine withAction(const QCommandLineParser& parser, CommandLine line) {
    if (parser.isSet("help")) {
        line.action = CommandLine::Action::Help;
        line.text = helpText();
    } else if (parser.isSet("version")) {
        line.action = CommandLine::Action::Version;
        line.text = versionText() + "\n";
    } else if (parser.isSet("zusammenfuehren")) {
        if (parser.isSet("pdf") || parser.isSet("gedcom") || parser.isSet("verlauf") ||
            parser.isSet("gedcom-import"))
            return failure(msg::cliMergeAlone());
        return onFolder(std::move(line), CommandLine::Action::Merge);
    } else if (parser.isSet("verlauf")) {
        if (parser.isSet("pdf") || parser.isSet("gedcom") || parser.isSet("gedcom-import"))
            return failure(msg::cliHistoryAlone());
        return onFolder(std::move(line), CommandLine::Action::History);
    } else if (parser.isSet("gedcom-import")) {
        if (parser.isSet("pdf") || parser.isSet("gedcom"))
            return failure(msg::cliImportWithExport());
        line.action = CommandLine::Action::GedcomImport;
    } else if (parser.isSet("pdf") || parser.isSet("gedcom")) {
        if (parser.isSet("pdf") && parser.isSet("gedcom")) return failure(msg::cliPdfWithGedcom());
        // The runners check their own arguments and say how they are called.
        line.action = parser.isSet("pdf") ? CommandLine::Action::Pdf : CommandLine::Action::Gedcom;
    } else if (line.arguments.size() > 1) {
        return failure(msg::cliOneFolderOnly());
    } else if (line.arguments.size() == 1) {
        line.folder = line.arguments.front();
    }
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
        if (unknown.isEmpty()) return failure(msg::cliIncomplete());
        const QString& name = unknown.first();
        const std::string option = asGiven(arguments, {name}).toStdString();
        // "--pdf aktuell -1 a.pdf": a negative line reads as an option.
        bool number = false;
        name.toLongLong(&number);
        if (number && arguments.contains("--pdf")) return failure(msg::notALineNumber(option));
        return failure(msg::cliUnknownOption(option));
    }

    CommandLine line;
    for (const QString& argument : parser.positionalArguments())
        line.arguments.push_back(QFile::encodeName(argument).toStdString());
    // Help and version end the program at once: a word after them is a mistake.
    for (const QStringList& names : {QStringList{"h", "help"}, QStringList{"v", "version"}})
        if (parser.isSet(names.first()) && !line.arguments.empty())
            return failure(
                msg::cliNothingAfter(asGiven(arguments, names).toStdString(),
                                     parser.positionalArguments().first().toStdString()));
    return withAction(parser, std::move(line));
}

}  // namespace holmtex
