#include "export/gedcom_pages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "export/gedcom_lines.h"
#include "export/gedcom_mapping.h"
#include "record/codepage.h"

namespace holmtex {

namespace {

std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = std::min(text.find(' ', i), text.size());
        if (end > i) words.push_back(text.substr(i, end - i));
        i = end + 1;
    }
    return words;
}

std::optional<int> digitsOf(std::string_view word, std::size_t most) {
    if (word.empty() || word.size() > most) return std::nullopt;
    int value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

int monthOf(std::string_view word) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const std::string name = upperAscii(word);
    for (std::size_t m = 0; m < kMonths.size(); ++m)
        if (name == kMonths[m]) return static_cast<int>(m) + 1;
    return 0;
}

// "12 MAR 1890", "MAR 1890" or "1890" in words[from, to) in German; none for anything else.
std::optional<std::string> dateIn(std::span<const std::string_view> words, std::size_t from,
                                  std::size_t to) {
    if (to <= from || to - from > 3 || to > words.size()) return std::nullopt;
    const std::string_view year = words[to - 1];
    if (!digitsOf(year, 4)) return std::nullopt;
    std::string date;
    auto twoDigits = [&](int number) {
        date += static_cast<char>('0' + number / 10);
        date += static_cast<char>('0' + number % 10);
        date += '.';
    };
    if (to - from == 3) {
        const auto day = digitsOf(words[from], 2);
        if (!day || *day < 1 || *day > 31) return std::nullopt;
        twoDigits(*day);
    }
    if (to - from >= 2) {
        const int month = monthOf(words[to - 2]);
        if (month == 0) return std::nullopt;
        twoDigits(month);
    }
    return date.append(year);
}

std::optional<std::string> prefixed(const char* word, std::optional<std::string> date) {
    if (!date) return std::nullopt;
    return word + *date;
}

// A range "BET x AND y" or "FROM x TO y", starting at words[0].
std::optional<std::string> rangeIn(const std::vector<std::string_view>& words, bool between) {
    std::size_t split = 1;
    while (split < words.size() && upperAscii(words[split]) != (between ? "AND" : "TO")) ++split;
    const auto first = dateIn(words, 1, split);
    if (split == words.size()) return between ? std::nullopt : prefixed("ab ", first);
    const auto second = dateIn(words, split + 1, words.size());
    if (!first || !second) return std::nullopt;
    return (between ? "zw. " : "von ") + *first + (between ? " und " : " bis ") + *second;
}

// "INT 12 MAR 1890 (so im Kirchenbuch)": the date, then the phrase as written.
std::optional<std::string> interpretedIn(const std::vector<std::string_view>& words,
                                         std::string_view text) {
    std::size_t phrase = 1;
    while (phrase < words.size() && words[phrase].front() != '(') ++phrase;
    const auto date = dateIn(words, 1, phrase);
    if (!date || phrase == words.size()) return date;
    return *date + " " + std::string(text.substr(text.find('(')));
}

}  // namespace

namespace {

bool isAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A date of one to three words of letters and digits between single blanks that begins
// with no keyword: a plain date or a text kept as written. None for any other text.
std::optional<std::string> plainDate(std::string_view text) {
    std::array<std::string_view, 3> words;
    std::size_t count = 0, start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && isAsciiAlnum(text[i])) continue;
        if ((i < text.size() && text[i] != ' ') || i == start || count == words.size())
            return std::nullopt;
        words[count++] = text.substr(start, i - start);
        start = i + 1;
    }
    static constexpr std::string_view kKeywords[] = {"ABT", "CAL", "EST",  "BEF", "AFT",
                                                     "TO",  "BET", "FROM", "INT"};
    const std::string first = upperAscii(words[0]);
    for (const std::string_view keyword : kKeywords)
        if (first == keyword) return std::nullopt;
    auto date = dateIn(std::span(words.data(), count), 0, count);
    return date ? std::move(date) : std::string(text);
}

}  // namespace

std::string germanDateOf(std::string_view gedcomDate) {
    if (gedcomDate.empty()) return "";
    if (auto plain = plainDate(gedcomDate)) return std::move(*plain);
    std::string text = oneLine(textOf(gedcomDate));
    constexpr std::string_view kGregorian = "@#DGREGORIAN@";
    if (text.starts_with(kGregorian)) text = oneLine(text.substr(kGregorian.size()));
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')')
        return text.substr(1, text.size() - 2);
    const std::vector<std::string_view> words = wordsOf(text);
    if (words.empty()) return "";
    const std::string first = upperAscii(words[0]);
    std::optional<std::string> german;
    if (first == "ABT" || first == "CAL" || first == "EST")
        german = prefixed("um ", dateIn(words, 1, words.size()));
    else if (first == "BEF")
        german = prefixed("vor ", dateIn(words, 1, words.size()));
    else if (first == "AFT")
        german = prefixed("nach ", dateIn(words, 1, words.size()));
    else if (first == "TO")
        german = prefixed("bis ", dateIn(words, 1, words.size()));
    else if (first == "BET" || first == "FROM")
        german = rangeIn(words, first == "BET");
    else if (first == "INT")
        german = interpretedIn(words, text);
    else
        german = dateIn(words, 0, words.size());
    return german ? *german : text;
}

std::string dateAndPlace(std::string_view gedcomDate, std::string_view place) {
    std::string text = germanDateOf(gedcomDate);
    const std::string where = oneLine(textOf(place));
    if (!where.empty()) text += (text.empty() ? "in " : " in ") + where;
    return text;
}

namespace {

// The parts of a NAME value: before, between and after the slashes around the surname,
// each in one line. They point into the value when it needs no cleaning, else into `kept`.
struct NameViews {
    std::string_view given, surname, suffix;
};
struct NameParts : NameViews {
    std::array<std::string, 3> kept;
};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// The bytes a plain name value may have anywhere: not the blank, '/' and '@', which are
// looked at, and not the control characters and 0xC2, which may begin a C1 control.
constexpr std::array<bool, 256> kPlainNameBytes = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x21; c < 0x100; ++c) plain[c] = c != '/' && c != '@' && c != 0x7F && c != 0xC2;
    return plain;
}();

// The parts of a value whose every part is its own one-line form once the blanks at its
// ends are cut (no "@@", no control character, tab or line break, no two blanks in a row)
// as pieces of it; false for any other value.
bool plainParts(std::string_view value, NameViews& parts) {
    std::size_t open = std::string_view::npos, close = std::string_view::npos;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (kPlainNameBytes[c]) continue;
        const auto next = i + 1 < value.size() ? static_cast<unsigned char>(value[i + 1]) : 0;
        if (c < 0x20 || c == 0x7F || (c == '@' && next == '@') || (c == ' ' && next == ' ') ||
            (c == 0xC2 && next >= 0x80 && next <= 0x9F))
            return false;
        if (c == '/' && open == std::string_view::npos)
            open = i;
        else if (c == '/' && close == std::string_view::npos)
            close = i;
    }
    parts.given = trimmed(value.substr(0, open));
    parts.surname = parts.suffix = {};
    if (open == std::string_view::npos) return true;
    parts.surname = trimmed(value.substr(open + 1, close - open - 1));
    if (close != std::string_view::npos) parts.suffix = trimmed(value.substr(close + 1));
    return true;
}

void partsOf(std::string_view nameValue, NameParts& parts) {
    if (plainParts(nameValue, parts)) return;  // most names
    const std::string value = textOf(nameValue);
    const std::size_t open = value.find('/');
    parts.kept[0] = oneLine(value.substr(0, open));
    parts.kept[1] = parts.kept[2] = "";
    if (open != std::string::npos) {
        const std::size_t close = value.find('/', open + 1);
        parts.kept[1] = oneLine(value.substr(open + 1, close - open - 1));
        if (close != std::string::npos) parts.kept[2] = oneLine(value.substr(close + 1));
    }
    parts.given = parts.kept[0];
    parts.surname = parts.kept[1];
    parts.suffix = parts.kept[2];
}

void appendWords(std::string& out, std::initializer_list<std::string_view> words) {
    const std::size_t start = out.size();
    for (const std::string_view word : words) {
        if (word.empty()) continue;
        if (out.size() > start) out.push_back(' ');
        out.append(word);
    }
}

std::string joinWords(std::initializer_list<std::string_view> words) {
    std::string out;
    appendWords(out, words);
    return out;
}

}  // namespace

void appendNameOf(std::string& out, std::string_view nameValue) {
    if (NameViews plain; plainParts(nameValue, plain)) {
        appendWords(out, {plain.given, plain.surname, plain.suffix});
        return;
    }
    NameParts parts;
    partsOf(nameValue, parts);
    appendWords(out, {parts.given, parts.surname, parts.suffix});
}

std::string nameOf(std::string_view nameValue) {
    std::string out;
    appendNameOf(out, nameValue);
    return out;
}

std::string surnameOf(std::string_view nameValue) {
    NameParts parts;
    partsOf(nameValue, parts);
    return std::string(parts.surname);
}

std::string givenOf(std::string_view nameValue) {
    NameParts parts;
    partsOf(nameValue, parts);
    return joinWords({parts.given, parts.suffix});
}

namespace gedcom {

namespace {

constexpr std::size_t kChildFields = 6;
constexpr std::string_view kUnnamed = "N.N.";
// Words our own export puts before the texts of a page.
constexpr std::string_view kRemarkNote = "Bemerkung: ", kPageTextNote = "Text der Merkseite: ";
constexpr std::string_view kBreak = "\r\n";  // a line break in a page's texts

std::string_view nameOfPerson(const Store& store, std::uint32_t person) {
    if (person == kNone) return "";
    const std::string_view name = store.pool.get(store.persons[person].name);
    return name.empty() ? kUnnamed : name;
}

// Appends the text with its line breaks as CR LF.
void appendCrLf(std::string& out, std::string_view text) {
    for (std::size_t at = 0;;) {
        const std::size_t lf = text.find('\n', at);
        if (lf == std::string_view::npos) {
            out.append(text.substr(at));
            return;
        }
        out.append(text.substr(at, lf - at)).append(kBreak);
        at = lf + 1;
    }
}

void addLine(std::string& text, std::string_view line) {
    if (!text.empty()) text += kBreak;
    appendCrLf(text, line);
}

// The family's notes into its remark; a page's text written by our own export goes into
// the page's text when the family is family 1 of the page.
void addRemark(const Store& store, const Family& family, bool first, PageDraft& draft,
               std::string& remark, bool& missing) {
    for (std::uint32_t k = 0; k < family.notes; ++k) {
        const TextRef ref = store.notes[family.firstNote + k];
        std::string_view text = store.pool.get(ref);
        if (ref.block == kPointer) {
            const std::uint32_t note = store.xrefs.indexOf(ref.offset, Kind::Note);
            if (note == kNone) {
                missing = true;
                continue;
            }
            text = store.pool.get(store.texts[note]);
        }
        if (text.starts_with(kPageTextNote)) {
            if (first) addLine(draft.pageText, text.substr(kPageTextNote.size()));
            continue;
        }
        if (text.starts_with(kRemarkNote)) text.remove_prefix(kRemarkNote.size());
        addLine(remark, text);
    }
}

// Family block `block` of the page from family `f`; `childOne` is the person who must be
// child 1 (the husband or the wife of family 1), or kNone.
void fillBlock(const Store& store, std::uint32_t f, int block, std::uint32_t childOne,
               PageDraft& draft, bool& missing) {
    const Family& family = store.families[f];
    auto& items = draft.items;
    items[fatherItem(block)] = nameOfPerson(store, family.husband);
    items[motherItem(block)] = nameOfPerson(store, family.wife);
    items[dateItem(block)] = store.pool.get(family.date);
    for (const std::uint32_t parent : {family.husband, family.wife})
        if (parent != kNone) draft.persons.push_back(parent);
    std::vector<std::uint32_t>& kids = draft.kids;
    kids.clear();
    if (childOne != kNone) kids.push_back(childOne);
    for (std::uint32_t k = 0; k < family.children; ++k) {
        const std::uint32_t child = store.children[family.firstChild + k];
        if (child == kNone || child == childOne) continue;
        kids.push_back(child);
        draft.persons.push_back(child);
    }
    std::string& more = draft.moreChildren;
    more.clear();
    for (std::size_t k = 0; k < kids.size(); ++k) {
        if (k < kChildFields) {
            items[childItem(static_cast<int>(k) + 1, block)] = nameOfPerson(store, kids[k]);
            continue;
        }
        more += more.empty() ? "weitere Kinder: " : ", ";
        more += nameOfPerson(store, kids[k]);
    }
    std::string& remark = draft.remarks[block];
    remark.clear();
    addRemark(store, family, block == 1, draft, remark, missing);
    if (!more.empty()) addLine(remark, more);
    items[remarkItem(block)] = remark;
}

// The person's facts as lines of the page's text: "Johann Müller * 12.03.1890 in Ulm",
// "Johann Müller, Quelle: Kirchenbuch Ulm".
void appendFacts(const Store& store, std::uint32_t person, std::string& text, bool& missing) {
    const std::string_view facts = store.pool.get(store.persons[person].facts);
    const std::string_view name = nameOfPerson(store, person);
    for (std::size_t i = 0; i < facts.size();) {
        const std::size_t end = std::min(facts.find('\n', i), facts.size());
        const std::string_view line = facts.substr(i, end - i);
        i = end + 1;
        if (line.empty()) continue;
        std::string_view source;
        if (line.front() == kSourceMark) {
            const auto xref = static_cast<std::uint32_t>(
                std::strtoul(std::string(line.substr(1)).c_str(), nullptr, 16));
            const std::uint32_t record = store.xrefs.indexOf(xref, Kind::Source);
            if (record == kNone) {
                missing = true;
                continue;
            }
            source = store.pool.get(store.texts[record]);
            if (source.empty()) continue;
        } else if (line.front() == kSourceText) {
            source = line.substr(1);
        }
        addLine(text, name);
        appendCrLf(text, source.empty() ? " " : ", Quelle: ");
        appendCrLf(text, source.empty() ? line : source);
    }
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kQuotes = 0x2222222222222222ULL;

// Whether one of the eight bytes is a double quote or beyond ASCII.
bool quoteOrHigh(std::uint64_t bytes) {
    const std::uint64_t quotes = bytes ^ kQuotes;  // a zero byte where a quote was
    return ((bytes | ((quotes - 0x0101010101010101ULL) & ~quotes)) & kHighBits) != 0;
}

// Writes the UTF-8 text at w in Windows-1252, double quotes as apostrophes, and returns the
// end: as many bytes as the text has at the most. Plain letters and the accented ones of
// Latin-1 are written here; any other character as the list's own conversion writes it.
char* putForList(char* w, std::string_view text, std::string& scratch) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        for (std::uint64_t bytes; end - p >= 8; p += 8, w += 8) {
            std::memcpy(&bytes, p, 8);
            if (quoteOrHigh(bytes)) break;
            std::memcpy(w, p, 8);
        }
        if (p == end) break;
        const unsigned char c = *p;
        if (c < 0x80) {
            *w++ = c == '"' ? '\'' : static_cast<char>(c);
            ++p;
        } else if ((c == 0xC3 || c == 0xC2) && end - p >= 2 && (p[1] & 0xC0) == 0x80 &&
                   (c == 0xC3 || p[1] >= 0xA0)) {  // U+00A0 to U+00FF: the same byte
            *w++ = static_cast<char>((c & 0x1F) << 6 | (p[1] & 0x3F));
            p += 2;
        } else {
            const auto* high = p + 1;
            while (high < end && *high >= 0x80) ++high;
            scratch.clear();
            appendUtf8AsCp1252(scratch, std::string_view(reinterpret_cast<const char*>(p),
                                                         static_cast<std::size_t>(high - p)));
            std::memcpy(w, scratch.data(), scratch.size());
            w += scratch.size();
            p = high;
        }
    }
    return w;
}

}  // namespace

std::string sourceMark(std::uint32_t xref) {
    char mark[16];
    std::snprintf(mark, sizeof mark, "%c%08x", kSourceMark, static_cast<unsigned>(xref));
    return mark;
}

void buildPage(const Store& store, std::uint32_t f, const PageStamp& stamp, PageDraft& draft,
               bool& missing) {
    const Family& family = store.families[f];
    auto parentsOf = [&](std::uint32_t person, bool cut) {
        const std::uint32_t up = person == kNone || cut ? kNone : store.persons[person].parents;
        return up != kNone && store.families[up].whole ? up : kNone;
    };
    const std::uint32_t husbandParents = parentsOf(family.husband, family.husbandParentsCut);
    const std::uint32_t wifeParents = parentsOf(family.wife, family.wifeParentsCut);
    const bool add = husbandParents != kNone || wifeParents != kNone;
    auto& items = draft.items;
    items.fill({});
    items[ViewMarker] = add ? "->4" : "->2";
    items[SaveDate] = stamp.date;
    items[SaveTime] = stamp.time;
    items[AddMarker] = add ? "add" : "";
    items[ListTag] = "aktu";

    draft.persons.clear();
    draft.pageText.clear();
    fillBlock(store, f, 1, kNone, draft, missing);
    if (add) {
        // As "+" leaves a page: father 1 is child 1 of family 2, mother 1 of family 4.
        if (husbandParents != kNone)
            fillBlock(store, husbandParents, 2, family.husband, draft, missing);
        if (wifeParents != kNone) fillBlock(store, wifeParents, 4, family.wife, draft, missing);
        items[childItem(1, 2)] = items[fatherItem(1)];
        items[childItem(1, 4)] = items[motherItem(1)];
    }
    for (const std::uint32_t person : draft.persons)
        appendFacts(store, person, draft.pageText, missing);
    items[PageText] = draft.pageText;
    if (family.refn.size)
        items[ProcessNumber] = store.pool.get(family.refn);
    else
        items[ProcessNumber] =
            family.xref == kNone ? "" : store.xrefs.key(family.xref, draft.processNumber);
}

void writePage(const PageDraft& draft, std::string& out) {
    std::size_t most = 2 + 3 * kItemCount;  // the line end, quotes and commas
    for (int n = 1; n <= kItemCount; ++n) most += draft.items[n].size();
    const std::size_t start = out.size();
    out.resize(start + most);
    char* w = out.data() + start;
    std::string scratch;
    for (int n = 1; n <= kItemCount; ++n) {
        if (n > 1) *w++ = ',';
        if (n == Reserved4 || n == Reserved5) continue;  // absent
        *w++ = '"';
        if (!draft.items[n].empty()) w = putForList(w, draft.items[n], scratch);
        *w++ = '"';
    }
    *w++ = '\r';
    *w++ = '\n';
    out.resize(static_cast<std::size_t>(w - out.data()));
}

}  // namespace gedcom

}  // namespace holmtex
