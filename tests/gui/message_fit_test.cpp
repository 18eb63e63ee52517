// Every message the program can show fits the message box Text5, which has no scroll bar:
// each is laid out in the box's own font and width and may need no more lines than the
// box shows. Placeholders in braces stand for every value they can take, or the longest.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <cerrno>
#include <map>

#include "gui/gui_fixture.h"
#include "record/data_files.h"

namespace holmtex::test {
namespace {

// The messages, as the operations put them together. Other messages go here too.
const char* const kMessages[] = {
    // Opening and saving a page
    "Listenzeile {line}",
    "Listenzeile {line}{lost}",
    "Die Seite wurde nicht gespeichert: {error}.",
    // Deleting and moving lines
    "Keine Zeile markiert.",
    "Die Zeile wurde nicht gelöscht: {error} ({file}).",
    "Die Seite wurde nicht verschoben: {error} ({file}).",
    "Die Liste {list} ist beschädigt: ihr letzter Eintrag ist unvollständig. Es wurde nichts "
    "geändert.",
    "Die Liste {list} ist beschädigt: ihr letzter Eintrag ist unvollständig. Nichts geändert; "
    "datacheck! prüft sie.",
    "Die markierte Zeile steht nicht mehr in {list}; es wurde nichts geändert.",
    "Die Seite steht nun in beiden Listen: {error} ({file}).",
    "Die Seite wurde verschoben, aber nicht sicher geschrieben: {error}.",
    "Die Zeile wurde gelöscht, aber nicht sicher geschrieben: {error}.",
    "Die Liste konnte nicht geleert werden: {error} ({list}).",
    "Die Liste hatte keine Datei; es wurde nichts gesichert.",
    "Die Datei wurde gelöscht und unter {backup} gespeichert",
    "Die Datei wurde gelöscht und unter {backup} gespeichert (nicht sicher: {error}).",
    "Die Datei wurde gelöscht und unter {backup} gespeichert; holmtex-leer.dat: {error}.",
    // Duplicates
    "{count}",
    "{count} – die Datei z1.txt konnte nicht geschrieben werden: {error}.",
    "Die Datei {list} konnte nicht gelesen werden: {error}.",
    "Die Datei {list} hat sich beim Lesen geändert; z1.txt wurde nicht geschrieben.",
    // The page as text file
    "Datei im Programmordner als Text_{number}_2612061403.txt gespeichert",
    "Datei im Programmordner als Text_{short}_2612061403.txt gespeichert{lost}",
    "Die Textdatei wurde nicht gespeichert: {error} (zzz.txt).",
    "Die Textdatei wurde nicht gespeichert: die Vorgangsnummer enthält / \\ : * ? \" < > | "
    "oder ein Steuerzeichen.",
    "Die Textdatei wurde nicht gespeichert: das Programm krumo-34 ist nach zehn Sekunden noch "
    "nicht fertig.",
    "Die Textdatei wurde nicht gespeichert: es gibt keine Datei z1.txt.",
    "Die Textdatei wurde nicht gespeichert: die Datei Text_{number}_2612061403.txt gibt es "
    "schon.",
    "Die Textdatei wurde nicht gespeichert: {error}.",
    // Transfer file
    "Die Inhalte der Datenzeile in Datei >holmtex-trans.txt< gespeichert.",
    "Die Inhalte der Datenzeile in Datei >holmtex-trans.txt< kopiert.",
    "Keine Listenzeile markiert, nichts {done}.",
    "Die Datei >{list}< fehlt, nichts {done}.",
    "Die Datei >{list}< kann nicht gelesen werden: {error}, nichts {done}.",
    "Listenzeile {line} fehlt in der Datei >{list}<, nichts {done}.",
    "Die Datei >{list}< ist beschädigt, nichts {done}.",
    "In >holmtex-trans.txt< nichts {done}: {error}.",
    "keine Datei zum Import vorhanden",
    "Die Datei >holmtex-trans.txt< kann nicht gelesen werden: {error}, nichts importiert.",
    "Die Datei >holmtex-trans.txt< ist beschädigt, nichts importiert.",
    "Die Seiten wurden nicht importiert: {error}.",
    "Die Seiten wurden importiert, aber >holmtex-trans.txt< nicht gelöscht: {error}.",
    "Die Datei >holmtex-trans.txt< wurde importiert und gelöscht.",
    // Data check
    "Prüfung erfolgt, Daten sind in Ordnung",
    "Prüfung erfolgt, Daten gestört",
    // Damaged ends, interrupted appends and their repair
    "Die Seite wurde nicht gespeichert: {list} ist am Ende beschädigt; reparatur! hilft.",
    "Die Seiten wurden nicht importiert: {list} ist am Ende beschädigt; reparatur! hilft.",
    "Die Seite wurde nicht verschoben: {list} ist am Ende beschädigt; reparatur! hilft.",
    "Die Zeile wurde nicht gelöscht: {list} ist am Ende beschädigt; reparatur! hilft.",
    "Die Seite wurde nicht gespeichert: {error} ({file}).",
    "Die Datei >holmtex-trans.txt< ist am Ende beschädigt, nichts {done}.",
    "Unterbrochenes Speichern in {file} konnte nicht beendet werden: {error}.",
    "{count} Seiten blieben in der Liste, der Rest steht in holmtex-aktuell-rest-2612061403.txt.",
    "Die Liste {list} ist in Ordnung; es wurde nichts geändert.",
    "Die Liste wurde nicht repariert: {error} ({file}).",
    "Die Liste wurde nicht repariert: die Datei holmtex-aktuell-rest-2612061403.txt gibt es "
    "schon.",
    "Die Liste wurde repariert, aber nicht sicher geschrieben: {error}.",
    "Prüfung erfolgt, Daten in Ordnung; check.dat nicht geschrieben: {error}.",
    "Importiert, aber >holmtex-trans.txt< ist nicht sicher gelöscht: {error}.",
    "Die Textdatei wurde nicht gespeichert: die alte Datei z1.txt bleibt ({error}).",
    "Die Textdatei wurde nicht gespeichert: das Programm krumo-34 fehlt.",
    "Die Textdatei wurde nicht gespeichert: das Programm krumo-34 ließ sich nicht starten.",
    "Die Textdatei wurde nicht gespeichert: das Programm krumo-34 meldet den Fehler 255.",
    "Die Textdatei wurde nicht gespeichert: das Programm krumo-34 ist abgestürzt.",
    // A list that could not be read to its end
    "Die Liste wurde nicht ganz gelesen: {error} ({list}).",
    "Die Seite wurde gespeichert, aber die Liste nicht ganz gelesen: {error}.",
    "Gespeichert, aber die Liste nicht ganz gelesen.{lost}",
    "Die Zeile wurde gelöscht, aber die Liste nicht ganz gelesen: {error} ({list}).",
    "Die Seite wurde verschoben, aber die Liste nicht ganz gelesen: {error} ({list}).",
    "Die Seiten wurden importiert, aber die Liste nicht ganz gelesen: {error} ({list}).",
    // Family sheet and GEDCOM
    "Kein Familienblatt: Die Vorgangsnummer hat ein Zeichen, das in keinem Dateinamen stehen "
    "darf.",
    "Das Familienblatt konnte nicht erstellt werden.",
    "Kein Familienblatt gespeichert: Familienblatt_{number}_2612061403.pdf gibt es schon.",
    "Kein Familienblatt gespeichert: {error}.",
    "Familienblatt im Programmordner als Familienblatt_{number}_2612061403.pdf gespeichert",
    "Das Familienblatt wurde an den Drucker gegeben.",
    "Drucken abgebrochen, nichts gedruckt.",
    "Das Familienblatt konnte nicht gedruckt werden.",
    "Die Datei >{list}< fehlt, nichts exportiert.",
    "Die Datei >{list}< kann nicht gelesen werden: {error}, nichts exportiert.",
    "Die Datei >{list}< ist beschädigt, nichts exportiert.",
    "Nichts exportiert: >holmtex-aktuell.ged< kann nicht geschrieben werden: {error}.",
    "{count} Seiten als >holmtex-aktuell.ged< exportiert",
    "{count} Seiten als >holmtex-aktuell.ged< exportiert; danach ist die Liste beschädigt.",
};

// What each placeholder stands for: every value, or the widest ones.
std::map<std::string, std::vector<std::string>> placeholderValues() {
    std::vector<std::string> errors;
    for (int error : {ENOSPC, EDQUOT, EFBIG, EACCES, EROFS, ENOENT, EISDIR, EIO, EBUSY, EWOULDBLOCK,
                      ENAMETOOLONG, EOWNERDEAD, ENOTDIR, ELOOP, EEXIST, EMFILE, ENOMEM, EXDEV,
                      ESTALE, ENODEV, EINVAL, EOVERFLOW})
        errors.push_back(describeError(error));
    std::vector<std::string> lists, backups;
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein}) {
        lists.push_back(dataFileName(kind));
        backups.push_back(backupFileName(kind));
    }
    std::vector<std::string> files = lists;
    files.insert(files.end(), backups.begin(), backups.end());
    for (const char* work : {"fam-erg3.txt", "holmtex-leer.dat"}) files.push_back(work);
    return {
        {"error", errors},
        {"list", lists},
        {"file", files},
        {"backup", backups},
        {"line", {"99999"}},
        {"count", {"99999"}},
        {"done", {"gespeichert", "kopiert"}},
        // As long a process number as Text2 shows.
        {"number", {"20260815-0042", "2026-08-15 Müller"}},
        // The text file's own message takes three lines with a longer number, and its words
        // are fixed; a note under it fits with a number of up to nine characters.
        {"short", {"4711-0815", "Müller 18"}},
        // Eight wide characters, as many as the note names.
        {"lost", {"\r\nAls ? gespeichert: Ж Щ Ш Ю Ѭ Ѩ Ω Ŵ …"}},
    };
}

// Every message with each placeholder replaced by each of its values.
std::vector<std::string> expand(const std::string& message,
                                const std::map<std::string, std::vector<std::string>>& values) {
    const auto open = message.find('{');
    if (open == std::string::npos) return {message};
    const auto close = message.find('}', open);
    const std::string name = message.substr(open + 1, close - open - 1);
    std::vector<std::string> out;
    for (const std::string& value : values.at(name))
        for (std::string& rest : expand(message.substr(close + 1), values))
            out.push_back(message.substr(0, open) + value + rest);
    return out;
}

TEST_F(GuiTest, EveryMessageFitsTheMessageBox) {
    showAndActivate();
    auto* box = widget<QPlainTextEdit>("Text5");
    const int lineSpacing = box->fontMetrics().lineSpacing();
    const int shown =
        (box->viewport()->height() - 2 * static_cast<int>(box->document()->documentMargin())) /
        lineSpacing;
    ASSERT_EQ(shown, 3);

    const auto values = placeholderValues();
    for (const char* message : kMessages) {
        for (const std::string& text : expand(message, values)) {
            form->Text5.setText(text);
            QStringList lines;  // as the box breaks them
            for (QTextBlock block = box->document()->begin(); block.isValid();
                 block = block.next()) {
                box->document()->documentLayout()->blockBoundingRect(block);  // lays it out
                for (int i = 0; i < block.layout()->lineCount(); ++i) {
                    const QTextLine line = block.layout()->lineAt(i);
                    lines << block.text().mid(line.textStart(), line.textLength());
                }
            }
            EXPECT_LE(lines.size(), shown) << lines.join(" | ").toStdString();
        }
    }
}

}  // namespace
}  // namespace holmtex::test
