#include "record/history_entry.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace holmtex::history {

namespace {

constexpr std::string_view kMagic = "holmtex-verlauf 1\n";

// The words of the entry text, in the order of their enums.
constexpr const char* kKindWords[] = {"speichern",   "loeschen",        "alle-loeschen",
                                      "verschieben", "import",          "reparatur",
                                      "ersetzen",    "zusammenfuehren", "gedcom-import"};
constexpr const char* kStepWords[] = {"aenderung", "zurueck", "wieder"};
constexpr const char* kHowWords[] = {"ersetzt", "angehaengt"};
constexpr const char* kStateWords[] = {"offen",  "gleich", "fehlt", "kopie",
                                       "anfang", "ganz",   "anhang"};

template <typename Enum, std::size_t N>
bool wordOf(std::string_view word, const char* const (&words)[N], Enum& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (word == words[i]) {
            value = static_cast<Enum>(i);
            return true;
        }
    return false;
}

template <typename Enum, std::size_t N>
const char* word(Enum value, const char* const (&words)[N]) {
    return words[static_cast<std::size_t>(value)];
}

std::string fileLine(const EntryFile& f) {
    char numbers[256];
    std::snprintf(numbers, sizeof numbers, "datei %s %lld %lld %s %llu %llu %s %llu %llu ",
                  word(f.how, kHowWords), f.pagesBefore, f.pagesAfter,
                  word(f.before.word, kStateWords), static_cast<unsigned long long>(f.before.size),
                  static_cast<unsigned long long>(f.before.x), word(f.after.word, kStateWords),
                  static_cast<unsigned long long>(f.after.size),
                  static_cast<unsigned long long>(f.after.x));
    std::string line(numbers);
    line += f.name;
    line += '\n';
    return line;
}

// The words of one line of an entry, taken one by one.
class Fields {
public:
    explicit Fields(std::string_view line) : rest_(line) {}
    bool next(std::string_view& word) {
        if (rest_.empty()) return false;
        const std::size_t space = rest_.find(' ');
        word = rest_.substr(0, space);
        rest_ = space == std::string_view::npos ? std::string_view() : rest_.substr(space + 1);
        return !word.empty();
    }
    template <typename Number>
    bool number(Number& value) {
        std::string_view w;
        if (!next(w)) return false;
        const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), value);
        return ec == std::errc() && end == w.data() + w.size();
    }
    template <typename Enum, std::size_t N>
    bool word(const char* const (&words)[N], Enum& value) {
        std::string_view w;
        return next(w) && wordOf(w, words, value);
    }
    std::string_view rest() const { return rest_; }
    bool done() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

// The lines of an entry, each known by its first word.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    // The next line, which must start with `key` and a blank.
    bool take(std::string_view key, std::string_view& rest) {
        const std::size_t end = text_.find('\n');
        if (end == std::string_view::npos) return false;
        const std::string_view line = text_.substr(0, end);
        if (line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != ' ')
            return false;
        rest = line.substr(key.size() + 1);
        text_.remove_prefix(end + 1);
        return true;
    }
    bool empty() const { return text_.empty(); }

private:
    std::string_view text_;
};

bool parseState(Fields& fields, FileState& state) {
    return fields.word(kStateWords, state.word) && fields.number(state.size) &&
           fields.number(state.x);
}

using W = FileState::Word;

// Whether the states of a file fit how it was changed.
bool plausible(const EntryFile& f, bool complete) {
    const W b = f.before.word, a = f.after.word;
    if (b == W::Same || a == W::Same) return a == b;
    const bool before = b == W::Absent || b == (f.how == FileChange::Replace ? W::Kept : W::Prefix);
    const bool after = a == W::Absent || a == W::Whole || (a == W::Open && !complete) ||
                       (a == W::Tail && f.how == FileChange::Append &&
                        (b == W::Absent || f.before.size <= f.after.size));
    return before && after && isRestorableName(f.name);
}

std::optional<EntryFile> parseFile(std::string_view line, bool complete) {
    Fields fields(line);
    EntryFile f;
    if (!fields.word(kHowWords, f.how) || !fields.number(f.pagesBefore) ||
        !fields.number(f.pagesAfter) || !parseState(fields, f.before) ||
        !parseState(fields, f.after) || fields.done())
        return std::nullopt;
    f.name = std::string(fields.rest());
    if (!plausible(f, complete)) return std::nullopt;
    return f;
}

bool parseTime(std::string_view text, ChangeTime& t) {
    const std::string s(text);
    int used = 0;
    const int n = std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &t.year, &t.month, &t.day,
                              &t.hour, &t.minute, &t.second, &used);
    return n == 6 && used == static_cast<int>(s.size());
}

template <typename Number>
bool takeNumber(Lines& lines, std::string_view key, Number& value) {
    std::string_view rest;
    if (!lines.take(key, rest)) return false;
    Fields fields(rest);
    return fields.number(value) && fields.done();
}

// The lines between the header and the files.
bool parseHead(Lines& lines, Entry& e) {
    std::string_view rest;
    std::uint64_t number = 0;
    if (!takeNumber(lines, "nummer", number) || number != e.number) return false;
    if (!lines.take("zeit", rest) || !parseTime(rest, e.time)) return false;
    if (!lines.take("schritt", rest)) return false;
    Fields step(rest);
    if (!step.word(kStepWords, e.step) || !step.number(e.of) || !step.done()) return false;
    if ((e.step == Step::Change) != (e.of == 0) || e.of >= e.number) return false;
    if (!lines.take("vorgang", rest)) return false;
    Fields kind(rest);
    if (!kind.word(kKindWords, e.kind) || !kind.done()) return false;
    return takeNumber(lines, "zeile", e.line) && e.line >= -1;
}

}  // namespace

std::string entryText(const Entry& e) {
    char head[256];
    std::snprintf(head, sizeof head,
                  "nummer %llu\nzeit %04d-%02d-%02d %02d:%02d:%02d\nschritt %s %llu\n"
                  "vorgang %s\nzeile %d\n",
                  static_cast<unsigned long long>(e.number), e.time.year, e.time.month, e.time.day,
                  e.time.hour, e.time.minute, e.time.second, word(e.step, kStepWords),
                  static_cast<unsigned long long>(e.of), word(e.kind, kKindWords), e.line);
    std::string text(kMagic);
    text += head;
    for (const EntryFile& f : e.files) text += fileLine(f);
    text += e.complete ? "stand fertig\n" : "stand begonnen\n";
    char sum[40];
    std::snprintf(sum, sizeof sum, "pruefsumme %016llx\n",
                  static_cast<unsigned long long>(contentHashOf(text)));
    return text + sum;
}

std::optional<Entry> parseEntry(std::string_view text, std::uint64_t number) {
    const std::size_t sumAt = text.rfind("pruefsumme ");
    if (text.substr(0, kMagic.size()) != kMagic || sumAt == std::string_view::npos ||
        (sumAt > 0 && text[sumAt - 1] != '\n'))
        return std::nullopt;
    char sum[40];
    std::snprintf(sum, sizeof sum, "pruefsumme %016llx\n",
                  static_cast<unsigned long long>(contentHashOf(text.substr(0, sumAt))));
    if (text.substr(sumAt) != sum) return std::nullopt;

    Entry e;
    e.number = number;
    Lines lines(text.substr(kMagic.size(), sumAt - kMagic.size()));
    if (!parseHead(lines, e)) return std::nullopt;
    std::string_view rest;
    std::vector<std::string_view> files;  // parsed once `stand` is known
    while (lines.take("datei", rest)) files.push_back(rest);
    if (!lines.take("stand", rest) || !lines.empty()) return std::nullopt;
    if (rest != "fertig" && rest != "begonnen") return std::nullopt;
    e.complete = rest == "fertig";
    for (std::string_view line : files) {
        std::optional<EntryFile> parsed = parseFile(line, e.complete);
        if (!parsed) return std::nullopt;
        e.files.push_back(std::move(*parsed));
    }
    return e;
}

std::string entryName(std::uint64_t number) {
    char name[40];
    std::snprintf(name, sizeof name, "%08llu.eintrag", static_cast<unsigned long long>(number));
    return name;
}

std::string reservationName(std::uint64_t number) { return entryName(number) + ".neu"; }

std::string keptName(std::uint64_t number, std::size_t file) {
    char name[48];
    std::snprintf(name, sizeof name, "%08llu-%zu.alt", static_cast<unsigned long long>(number),
                  file);
    return name;
}

std::optional<FolderName> parseFolderName(std::string_view name) {
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
    const std::size_t digits = static_cast<std::size_t>(end - name.data());
    if (ec != std::errc() || digits < 8 || number == 0) return std::nullopt;
    const std::string_view rest = name.substr(digits);
    if (rest == ".eintrag") return FolderName{FolderName::What::Entry, number};
    if (rest == ".eintrag.neu") return FolderName{FolderName::What::Reservation, number};
    std::size_t file = 0;
    if (rest.size() > 5 && rest.front() == '-' && rest.ends_with(".alt")) {
        const std::string_view index = rest.substr(1, rest.size() - 5);
        const auto [e, err] = std::from_chars(index.data(), index.data() + index.size(), file);
        if (err == std::errc() && e == index.data() + index.size() &&
            keptName(number, file) == name)
            return FolderName{FolderName::What::Kept, number};
    }
    return std::nullopt;
}

bool isRestorableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\n\0", 3)) == std::string_view::npos &&
           name != historyFolderName() && name != folderLockName();
}

std::int64_t sizeIn(const FileState& state) {
    const bool sized = state.word != W::Absent && state.word != W::Same && state.word != W::Open;
    return sized ? static_cast<std::int64_t>(state.size) : 0;
}

std::optional<ListKind> listOf(std::string_view name) {
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        if (name == dataFileName(kind)) return kind;
    return std::nullopt;
}

RecordedChange recordedChange(const Entry& e) {
    RecordedChange c{e.number, e.time, e.step, e.kind, e.line, e.of, {}};
    for (const EntryFile& f : e.files)
        c.files.push_back(
            {f.name, listOf(f.name), f.pagesBefore, f.pagesAfter, f.before.word != W::Same});
    return c;
}

Position positionOf(const std::vector<Entry>& entries) {
    Position p;
    const auto drop = [](std::vector<std::uint64_t>& stack, std::uint64_t number) {
        stack.erase(std::remove(stack.begin(), stack.end(), number), stack.end());
    };
    for (const Entry& e : entries) {
        if (!e.complete) continue;
        if (e.step == Step::Change) {
            p.takeBack.push_back(e.number);
            p.redo.clear();  // a new change ends what could be redone
        } else if (e.step == Step::TakeBack) {
            drop(p.takeBack, e.of);
            p.redo.push_back(e.number);
        } else {
            drop(p.redo, e.of);
            p.takeBack.push_back(e.number);
        }
    }
    return p;
}

}  // namespace holmtex::history
