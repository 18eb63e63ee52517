// The words of the history of the lists: what zurück! and wieder! say, the note under an
// operation the history could not record, and the listing of holmtex --verlauf.
#include "export/page_content.h"
#include "operations/messages.h"

namespace holmtex::msg {

namespace {

// "AKTUELL" for a list file, the bare name for any other.
std::string shownName(std::string_view file) {
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        if (file == dataFileName(kind)) return listCaption(kind);
    return std::string(file);
}

// A change in words: what it acted on, where (left out in the listing, which has a column of
// its own for the lists), and what it did.
struct ChangeWords {
    const char* what;
    const char* where;
    const char* did;
    bool line = false;  // the line it acted on is named after `what`
};

ChangeWords wordsOf(ChangeKind kind) {
    switch (kind) {
        case ChangeKind::Save:
            return {"Seite", " in ", " gespeichert"};
        case ChangeKind::Delete:
            return {"Zeile", " aus ", " gelöscht", true};
        case ChangeKind::DeleteAll:
            return {"alle Zeilen", " aus ", " gelöscht"};
        case ChangeKind::Move:
            return {"Zeile", " von ", " verschoben", true};
        case ChangeKind::Import:
            return {"Seiten", " nach ", " importiert"};
        case ChangeKind::Repair:
            return {"Liste", " ", " repariert"};
        case ChangeKind::ReplaceInPlace:
            return {"Zeile", " in ", " ersetzt", true};
        case ChangeKind::Merge:
            return {"Kopien", " in ", " übernommen"};
        case ChangeKind::GedcomImport:
            return {"GEDCOM-Seiten", " nach ", " importiert"};
    }
    return {"Änderung", " in ", ""};
}

// "Zeile 12 aus AKTUELL gelöscht", "Zeile 3 von AKTUELL nach ARCHIV verschoben"; without a
// list "Zeile 12 gelöscht".
std::string changeText(ChangeKind kind, int line, std::string_view list, std::string_view other) {
    const ChangeWords w = wordsOf(kind);
    std::string text = w.what;
    if (line >= 0 && w.line) text.append(" ").append(std::to_string(line));
    if (!list.empty()) text.append(w.where).append(shownName(list));
    if (!list.empty() && kind == ChangeKind::Move && !other.empty())
        text.append(" nach ").append(shownName(other));
    return text.append(w.did);
}

// "14:03"
std::string clock(const LocalDateTime& t) { return germanTime(t).substr(0, 5); }

// "15 → 14"; a count not known is "?".
std::string pages(long long before, long long after) {
    const auto count = [](long long n) { return n < 0 ? std::string("?") : std::to_string(n); };
    return count(before) + " → " + count(after);
}

// Letters, not bytes: "→" and umlauts take one place.
std::size_t letters(std::string_view text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

std::string padded(std::string text, std::size_t width) {
    const std::size_t n = letters(text);
    if (n < width) text.append(width - n, ' ');
    return text;
}

// What the message line holds, about, in letters: a line, and the longest message that a
// note still fits under.
constexpr std::size_t kLineLetters = 45;
constexpr std::size_t kNoteFits = 100;

}  // namespace

std::string takeBackHelp() {
    return "Eingabe von >zurück!< (oder Strg+Z außerhalb der Textfelder) nimmt die letzte "
           "Änderung einer Liste zurück, wiederholt eingegeben auch die davor.";
}

std::string redoHelp() {
    return "Eingabe von >wieder!< (oder Strg+Y) macht die zuletzt zurückgenommene Änderung "
           "wieder.";
}

std::string stepText(const Outcome& o) {
    const bool back = o.operation == Operation::TakeBack;
    const std::string nothingDone = back ? "Nichts zurückgenommen: " : "Nichts wiederholt: ";
    switch (o.reason) {
        case Reason::None:
            return (back ? "Zurückgenommen: " : "Wiederholt: ") +
                   changeText(o.change, o.line, o.list, o.file) + " (" + clock(o.changedAt) + ")";
        case Reason::NothingRecorded:
            return back ? "Nichts zurückzunehmen." : "Nichts zu wiederholen.";
        case Reason::ChangedSince:
            return nothingDone + shownName(o.list) + " wurde seit " + clock(o.changedAt) +
                   " geändert.";
        case Reason::HistoryDamaged:
            return nothingDone + "der Verlauf zu " + shownName(o.list) + " ist beschädigt.";
        default:
            if (o.result == Result::DoneBut)
                return (back ? "Nur zum Teil zurückgenommen: " : "Nur zum Teil wiederholt: ") +
                       reason(o.failure);
            return nothingDone + reason(o.failure);
    }
}

std::string withUnrecorded(const std::string& said, const FileResult& unrecorded) {
    if (said.empty()) return "Der Verlauf wurde nicht geschrieben: " + reason(unrecorded);
    // A line break leaves the rest of its line empty.
    std::size_t length = letters(said);
    for (std::size_t at = said.find('\n'); at != std::string::npos; at = said.find('\n', at + 1))
        length += kLineLetters;
    if (length <= kLineLetters) return said + "\r\nDer Verlauf wurde nicht geschrieben.";
    // Under a longer message only a few words fit, and under the longest, which tell of a
    // failure of their own that matters more, none: the outcome still says it.
    return length <= kNoteFits ? said + " Nicht im Verlauf." : said;
}

std::string cliHistoryOption() {
    return "zeigt, was an den Listen geändert wurde, das Neueste zuerst";
}

std::string cliHistoryAlone() { return "--verlauf geht nicht mit --pdf oder --gedcom."; }

std::string historyHeading(const std::string& folder) {
    return "Änderungen der Listen in „" + folder + "“, die neueste zuerst:\n";
}

std::string historyLine(const RecordedChange& change, const RecordedChange& operation) {
    std::string lists, counts;
    for (const RecordedFile& f : change.files) {
        if (!f.list || !f.changed) continue;
        lists += (lists.empty() ? "" : ", ") + shownName(f.name);
        counts += (counts.empty() ? "" : ", ") + pages(f.pagesBefore, f.pagesAfter);
    }
    std::string what = changeText(operation.kind, operation.line, "", "");
    if (change.step == Step::TakeBack) what = "zurückgenommen: " + what;
    if (change.step == Step::Redo) what = "wiederholt: " + what;
    return germanDate(change.time) + " " + germanTime(change.time) + "  " + padded(lists, 17) +
           "  " + padded(what, 38) + "  " + counts + "\n";
}

std::string historyEmpty() { return "Der Verlauf ist leer: keine Änderung aufgezeichnet.\n"; }

std::string historyEntryUnreadable(std::string_view entry) {
    return "Der Eintrag " + std::string(entry) + " kann nicht gelesen werden.\n";
}

std::string historyUnreadable(int error) {
    return "Der Verlauf kann nicht gelesen werden: " + describeError(error) + ".";
}

}  // namespace holmtex::msg
