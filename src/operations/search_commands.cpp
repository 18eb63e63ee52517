// Search, the command box with its help text, the transfer file and the data check.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "operations/file_messages.h"
#include "operations/page_list.h"
#include "record/codepage.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

const char* const kTransferFile = transferFileName();
constexpr const char* kCheckFile = "check.dat";

// ---- Search ----

const std::array<unsigned char, 256>& lowerTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b) t[b] = cp1252ToLower(static_cast<unsigned char>(b));
        return t;
    }();
    return table;
}

// Appends the Windows-1252 bytes lowered. Words of plain ASCII, by far the most, are
// lowered eight bytes at a time; a word with other bytes goes through the table.
void appendLowered(std::string& out, std::string_view bytes) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const auto& lower = lowerTable();
    const std::size_t at = out.size();
    out.resize(at + bytes.size());
    char* w = out.data() + at;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    for (; left >= 8; p += 8, w += 8, left -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & kHigh) {
            for (int i = 0; i < 8; ++i)
                w[i] = static_cast<char>(lower[static_cast<unsigned char>(p[i])]);
            continue;
        }
        // Every byte is below 0x80, so the sums cannot carry into the next byte.
        const std::uint64_t atLeastA = word + kOnes * (0x80 - 'A');
        const std::uint64_t aboveZ = word + kOnes * (0x7F - 'Z');
        word |= ((atLeastA & ~aboveZ) & kHigh) >> 2;  // 0x80 becomes the 0x20 of lower case
        std::memcpy(w, &word, 8);
    }
    for (; left > 0; --left) *w++ = static_cast<char>(lower[static_cast<unsigned char>(*p++)]);
}

// The marker, then the list line of the record the reader has just found.
std::string resultLine(RecordReader& reader, bool hit) {
    return (hit ? ">" : "  ") + rawListLine(reader);
}

// ---- Help ----

std::string helpText() {
    std::string text;
    for (const char* piece : {
             "Es gibt folgende Befehle für Funktionen: ",
             "Eingabe von >export!< speichert den Inhalt jener Merkseite in die Datei "
             ">holmtex-trans.txt< im ",
             "Programmverzeichnis, die in der Liste 'Gespeicherte Seiten' markiert ist. Es "
             "können hintereinander ",
             "mehrere Zeilen in der Liste markiert und gespeichert (exportiert) werden. Die "
             "Eingabe von >import< liest die Datei >holmtex-trans.txt<",
             "aus dem Programmverzeichnis ein und fügt die Inhalte zur bestehenden Liste hinzu. "
             "Danach wird die Datei ",
             ">holmtex-trans.txt< aus dem Verzeichnis gelöscht. Diese beiden Funktionen dienen "
             "zum Übertrag von Merkseiten ",
             " auf einen anderen Computer, mit Hilfe der Datei >holmtex-trans.txt<. Die Eingabe "
             "von >datachek< löst eine Überprüfung der ",
             "gespeicherten Daten aus und gibt das Ergebnis im großen Textfenster bekannt. Bei "
             "eine Fehlermeldung ",
             "bitte an ",
             "den Betreuer dieses Programms",
             " melden und die Datei >holmtex-aktuell.dat< aus dem Programmverzeichnis als Anhang "
             "mitsenden.  ",
             "Mit den Schaltflächen redcht unten '4 Familien' oder '2 Familien' wird die Größe "
             "dieses Textfensters eingestellt und damit werden ",
             "zwei Familien-Fenster freigegeben oder durch das Textfeld verdeckt.",
             // Command words added since, one line each.
             "\r\nEingabe von >reparatur!< repariert die gewählte Liste, wenn ihr letzter "
             "Eintrag unvollständig ist: die ganzen Seiten bleiben, der Rest kommt in eine "
             "eigene Datei.",
         })
        text += piece;
    return text;
}

// ---- Files ----

// Opens a file for reading: 0, or why it cannot be read. A folder opens on Linux but
// gives no bytes, so it is turned away here.
int openForReading(FileSource& source, const std::filesystem::path& path) {
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type == std::filesystem::file_type::not_found) return ENOENT;
    if (type == std::filesystem::file_type::directory) return EISDIR;
    errno = 0;
    if (!source.open(path)) return errno ? errno : EIO;
    return 0;
}

// A quote inside an item, which a bare item of a foreign file can hold, would end the
// item early once it is written in quotes; an apostrophe takes its place, as in Save.
void replaceQuotes(PageRecord& record) {
    for (int n = 1; n <= kItemCount; ++n) {
        if (record.text(n).find('"') == std::string_view::npos) continue;
        std::string text(record.text(n));
        std::replace(text.begin(), text.end(), '"', '\'');
        record.set(n, text);
    }
}

// ---- Transfer ----

// The bytes of a record for the transfer file: those it has in the list when they read
// back the same anywhere, else the record written anew without quotes inside its items.
// A record at the very end of its list may lack its line end; another one will follow it.
std::string transferBytes(std::string_view raw, const PageRecord& record) {
    bool quoted = false;
    for (int n = 1; n <= kItemCount && !quoted; ++n)
        quoted = record.text(n).find('"') != std::string_view::npos;
    std::string bytes;
    if (quoted) {
        writeRecordWithoutQuotes(bytes, record);
        return bytes;
    }
    bytes = raw;
    if (bytes.empty() || (bytes.back() != '\n' && bytes.back() != '\r')) bytes += "\r\n";
    return bytes;
}

// Export and copy: the page of the marked line goes to the end of the transfer file.
// `done` is the last word of the message ("gespeichert", "kopiert"). Nothing is written
// unless that whole record could be read.
void transferMarkedPage(Holmtex& form, const std::string& done) {
    const std::string dataName = dataFileName(form.selectedList().value_or(ListKind::Aktuell));
    const std::string nothing = ", nichts " + done + ".";
    const int line = form.MarkedLine;
    std::string failure;
    if (line < 0) {
        failure = "Keine Listenzeile markiert" + nothing;
    } else {
        FileSource source;
        if (const int error = openForReading(source, form.filePath(dataName))) {
            failure = error == ENOENT
                          ? "Die Datei >" + dataName + "< fehlt" + nothing
                          : "Die Datei >" + dataName +
                                "< kann nicht gelesen werden: " + describeError(error) + nothing;
        } else {
            // Only the marked record is decoded; the ones before it are passed over.
            RecordReader reader(source);
            ReadStatus status = ReadStatus::Record;
            for (int k = 0; k <= line && status == ReadStatus::Record; ++k)
                status = reader.nextRaw(k < line ? 1 : kItemCount);
            if (status == ReadStatus::End) {
                failure = "Listenzeile " + std::to_string(line) + " fehlt in der Datei >" +
                          dataName + "<" + nothing;
            } else if (status == ReadStatus::Damaged) {
                failure = "Die Datei >" + dataName + "< ist beschädigt" + nothing;
            } else {
                reader.decodeInto(form.CurrentRecord);
                const std::string transfer = form.filePath(kTransferFile);
                const AppendResult appended =
                    appendRecords(transfer, transferBytes(reader.rawRecord(), form.CurrentRecord));
                if (appended.damagedTail)
                    failure = std::string("Die Datei >") + kTransferFile +
                              "< ist am Ende beschädigt" + nothing;
                else if (appended.error)
                    failure = std::string("Die Datei >") + kTransferFile +
                              "< kann nicht geschrieben werden: " + describeError(appended.error) +
                              nothing;
            }
        }
    }
    form.Combo1.setText("");
    form.Text5.setText(failure.empty() ? std::string("Die Inhalte der Datenzeile in Datei >") +
                                             kTransferFile + "< " + done + "."
                                       : failure);
}

}  // namespace

void Holmtex::Text1_Change() {
    CurrentRecord.set(PageText, Text1.text());
    if (Text1.text() == "datacheck") CheckData();
}

void Holmtex::Combo1_Change() {
    // The text is read again before each test: a transfer empties the box on its way,
    // and then nothing further matches.
    if (Combo1.text() == "datacheck!") CheckData();
    if (Combo1.text() == "kopie!") CopyTransfer();
    if (Combo1.text() == "import!") ImportTransfer();
    if (Combo1.text() == "export!") ExportTransfer();
    if (Combo1.text() == "hilfe") Text1.setText(helpText());
    if (Combo1.text() == "befehl!")
        Text1.setText(
            "folgende Befehle werden angenommen:  hilfe, export!, import!, befehl!, kopie!");
    if (Combo1.text() == "reparatur!") RepairList();
}

void Holmtex::Command8_Click() {
    List1.clear();
    Text5.setText("");
    // A missing list searches as a list without pages; a damaged tail shows the whole
    // records before it.
    std::vector<std::string> lines;
    FileSource source;
    const auto kind = selectedList();
    if (kind && source.open(filePath(dataFileName(*kind)))) {
        std::string needle;
        appendLowered(needle, utf8ToCp1252(Combo1.text()));
        RecordReader reader(source);
        std::string page;  // items 2 to 49 joined and lowered, as bytes of the file
        bool any = false;
        while (reader.nextRaw() == ReadStatus::Record) {
            any = true;
            page.clear();
            for (int n = SaveDate; n <= kItemCount; ++n) appendLowered(page, reader.rawItem(n));
            // An empty text is found in any page text but an empty one.
            const bool hit = needle.empty()
                                 ? !page.empty()
                                 : std::string_view(page).find(needle) != std::string_view::npos;
            lines.push_back(resultLine(reader, hit));
        }
        if (any) reader.decodeInto(CurrentRecord);
    }
    List1.setLines(std::move(lines));
}

void Holmtex::ExportTransfer() { transferMarkedPage(*this, "gespeichert"); }

void Holmtex::CopyTransfer() { transferMarkedPage(*this, "kopiert"); }

void Holmtex::ImportTransfer() {
    const std::filesystem::path transfer = filePath(kTransferFile);
    const std::string name = std::string(">") + kTransferFile + "<";
    FileSource source;
    // An export cut short is finished first; failing that, the file reads as damaged.
    finishInterruptedAppend(transfer);
    const int openError = openForReading(source, transfer);
    if (openError == ENOENT) {
        Text5.setText("keine Datei zum Import vorhanden");
        Combo1.setText("");
        return;
    }

    // The whole transfer file is read and checked before anything is appended, and it
    // is appended in one piece, so a damaged file or a full disk imports nothing and the
    // transfer file stays for another try.
    std::string bytes;
    PageRecord record;
    bool any = false;
    ReadStatus status = ReadStatus::Damaged;
    if (!openError) {
        RecordReader reader(source);
        while ((status = reader.next(record)) == ReadStatus::Record) {
            any = true;
            replaceQuotes(record);
            writeRecord(bytes, record);
        }
    }
    source.close();

    std::string failure;
    if (openError) {
        failure = "Die Datei " + name + " kann nicht gelesen werden: " + describeError(openError) +
                  ", nichts importiert.";
    } else if (status != ReadStatus::End) {
        failure = "Die Datei " + name + " ist beschädigt, nichts importiert.";
    } else {
        const ListKind list = selectedList().value_or(ListKind::Aktuell);
        const AppendResult appended = appendRecords(filePath(dataFileName(list)), bytes);
        if (!appended.ok())
            failure = "Die Seiten wurden nicht importiert: " + appendFailure(appended);
    }
    if (!failure.empty()) {
        Text5.setText(failure);
        Combo1.setText("");
        return;
    }
    if (any) CurrentRecord = record;

    if (::unlink(transfer.c_str()) != 0) {
        // The pages are in the list now; importing the file again would double them.
        const int error = errno;
        Text5.setText("Die Seiten wurden importiert, aber die Datei " + name +
                      " konnte nicht gelöscht werden: " + describeError(error) + ".");
        Combo1.setText("");
        return;
    }
    // Until the folder is on the disk, a power cut could bring the file back to be
    // imported a second time.
    const int syncError = syncFolder(workDir());
    Text5.setText("Die Datei " + name + " wurde importiert und gelöscht.");
    Combo1.setText("");
    RefreshList();
    if (syncError)
        Text5.setText("Importiert, aber " + name +
                      " ist nicht sicher gelöscht: " + describeError(syncError) + ".");
}

void Holmtex::CheckData() {
    // The records go into check.dat as the bytes they are, read and written in one pass.
    const std::filesystem::path list = filePath(dataFileName(ListKind::Aktuell));
    finishInterruptedAppend(list);  // failing that, the tail shows as damaged
    FileSource source;
    ReadStatus status = ReadStatus::Damaged;
    int writeError = 0;
    if (source.open(list)) {
        FileReplacement check(filePath(kCheckFile), filePath("check.dat.neu"));
        writeError = check.begin();
        RecordReader reader(source);
        bool any = false;
        while ((status = reader.nextRaw(1)) == ReadStatus::Record) {
            any = true;
            if (!writeError) writeError = check.write(reader.rawRecord());
        }
        if (any) reader.decodeInto(CurrentRecord);
        // check.dat holds the records read, also those before a damaged tail.
        if (!writeError) writeError = check.commit().error;
    }
    if (status != ReadStatus::End)
        Text5.setText("Prüfung erfolgt, Daten gestört");
    else if (writeError)
        Text5.setText("Prüfung erfolgt, Daten in Ordnung; check.dat nicht geschrieben: " +
                      describeError(writeError) + ".");
    else
        Text5.setText("Prüfung erfolgt, Daten sind in Ordnung");
}

}  // namespace holmtex
