#include "export/gedcom_mapping.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <vector>

namespace holmtex {

namespace {

constexpr std::size_t kMaxDateBytes = 35;
constexpr std::size_t kMaxPlaceBytes = 120;

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t end = std::min(line.find(' ', i), line.size());
        if (end > i) out.emplace_back(line.substr(i, end - i));
        i = end + 1;
    }
    return out;
}

std::string join(const std::vector<std::string>& list, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to && i < list.size(); ++i) {
        if (!out.empty()) out.push_back(' ');
        out += list[i];
    }
    return out;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool hasDigit(std::string_view word) {
    return std::any_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Collapses blanks, tabs and line breaks only: what the field says, in one line.
std::string collapseBlanks(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// ---- Names ----

bool isParticle(std::string_view word) {
    static constexpr std::array<std::string_view, 11> kParticles = {
        "von", "vom", "van", "zu", "zum", "zur", "de", "den", "der", "ten", "ter"};
    return std::find(kParticles.begin(), kParticles.end(), word) != kParticles.end();
}

bool isBirthMark(std::string_view word) {
    const std::string w = lowerAscii(word);
    return w == "geb." || w == "geb" || w == "geborene" || w == "geborener" || w == "geb.:";
}

// Words after which no name follows: a date, a sign of birth or death, a bracket.
bool endsTheName(std::string_view word) {
    if (hasDigit(word)) return true;
    for (std::string_view mark : {"*", "\u2020", "+", "(", "~", "\u271D"})
        if (word.substr(0, mark.size()) == mark) return true;
    return false;
}

// What may follow "geb." when it speaks of the birth rather than of the birth name.
bool startsABirthDate(std::string_view word) {
    const std::string w = lowerAscii(word);
    return hasDigit(word) || w == "am" || w == "um" || w == "ca." || w == "ca" || w == "vor" ||
           w == "nach" || w == "in" || w == "im";
}

std::string stripCommas(std::string word) {
    const auto keep = word.find_first_not_of(",;");
    if (keep == std::string::npos) return "";
    word.erase(0, keep);
    word.erase(word.find_last_not_of(",;") + 1);
    std::replace(word.begin(), word.end(), '/', '-');  // the slash marks the surname in a name
    return word;
}

// Splits "geb.Schmidt" into "geb." and "Schmidt", and "Müller,Johann" after the comma.
std::vector<std::string> splitWords(std::vector<std::string> list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::size_t comma = list[i].find_first_of(",;");
        if (comma != std::string::npos &&
            list[i].find_first_not_of(",;", comma) != std::string::npos) {
            const std::size_t rest = list[i].find_first_not_of(",;", comma);
            list.insert(list.begin() + static_cast<long>(i) + 1, list[i].substr(rest));
            list[i].resize(rest);
        }
        const std::string lower = lowerAscii(list[i]);
        if (lower.size() > 4 && lower.compare(0, 4, "geb.") == 0 && lower[4] != ':') {
            list.insert(list.begin() + static_cast<long>(i) + 1, list[i].substr(4));
            list[i].resize(4);
        }
    }
    return list;
}

// Fills prefix and surname from words[0, end): the last word and the particles before it.
// Returns the index of the first word of the surname.
std::size_t takeSurname(const std::vector<std::string>& list, std::size_t end, std::string& prefix,
                        std::string& surname) {
    if (end == 0) return 0;
    surname = list[end - 1];
    std::size_t first = end - 1;
    while (first > 0 && isParticle(list[first - 1])) --first;
    prefix = join(list, first, end - 1);
    return first;
}

bool cutLongest(std::string& a, std::string& b, std::string& c, std::size_t excess) {
    std::string* longest = &a;
    for (std::string* s : {&b, &c})
        if (s->size() > longest->size()) longest = s;
    if (longest->empty()) return false;
    const std::size_t keep = longest->size() > excess ? longest->size() - excess : 0;
    *longest = cutUtf8(*longest, keep);
    while (!longest->empty() && longest->back() == ' ') longest->pop_back();
    return true;
}

// Shortens the parts until the name fits its line; false when nothing had to go.
bool fitName(std::string& given, std::string& prefix, std::string& surname) {
    bool cut = false;
    for (std::size_t size; (size = nameValue(given, prefix, surname).size()) > kMaxNameBytes;) {
        if (!cutLongest(given, prefix, surname, size - kMaxNameBytes)) break;
        cut = true;
    }
    return cut;
}

// ---- Dates ----

constexpr std::array<const char*, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::optional<int> number(std::string_view digits, std::size_t minSize, std::size_t maxSize) {
    if (digits.size() < minSize || digits.size() > maxSize) return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int> year(std::string_view digits) {
    auto y = number(digits, 3, 4);
    if (!y || *y == 0) return std::nullopt;
    return y;
}

int daysIn(int month, int y) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string dayMonthYear(int d, int m, int y) {
    return (d ? std::to_string(d) + " " : "") + (m ? std::string(kMonths[m - 1]) + " " : "") +
           std::to_string(y);
}

// "12.03.1890", "3.1890" or "1890" in one word; "" when it is no date.
std::string numericDate(std::string_view word) {
    std::vector<std::string_view> parts;
    for (std::size_t i = 0;;) {
        const std::size_t dot = word.find('.', i);
        parts.push_back(word.substr(i, dot == std::string_view::npos ? dot : dot - i));
        if (dot == std::string_view::npos) break;
        i = dot + 1;
    }
    if (parts.size() > 3) return "";
    const auto y = year(parts.back());
    if (!y) return "";
    int d = 0, m = 0;
    if (parts.size() >= 2) {
        const auto month = number(parts[parts.size() - 2], 1, 2);
        if (!month || *month < 1 || *month > 12) return "";
        m = *month;
    }
    if (parts.size() == 3) {
        const auto day = number(parts[0], 1, 2);
        if (!day || *day < 1 || *day > daysIn(m, *y)) return "";
        d = *day;
    }
    return dayMonthYear(d, m, *y);
}

int monthByName(std::string_view word) {
    static constexpr std::array<std::string_view, 12> kNames = {
        "Januar", "Februar", "März",      "April",   "Mai",      "Juni",
        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (word == kNames[i]) return static_cast<int>(i) + 1;
    return 0;
}

// A date from words[at]: the numeric forms, "12. März 1890" or "März 1890". Sets `used`
// to the number of words it took; "" when there is no date there.
std::string dateAt(const std::vector<std::string>& list, std::size_t at, std::size_t& used) {
    used = 0;
    if (at >= list.size()) return "";
    std::string first = list[at];
    if (!first.empty() && first.back() == ',') first.pop_back();
    if (std::string date = numericDate(first); !date.empty()) {
        used = 1;
        return date;
    }
    auto yearAt = [&](std::size_t i) -> std::optional<int> {
        if (i >= list.size()) return std::nullopt;
        std::string w = list[i];
        if (!w.empty() && w.back() == ',') w.pop_back();
        return year(w);
    };
    if (const int m = monthByName(list[at]); m != 0) {
        if (auto y = yearAt(at + 1)) {
            used = 2;
            return dayMonthYear(0, m, *y);
        }
        return "";
    }
    if (list[at].size() >= 2 && list[at].back() == '.' && at + 1 < list.size()) {
        const auto d = number(std::string_view(list[at]).substr(0, list[at].size() - 1), 1, 2);
        const int m = monthByName(list[at + 1]);
        const auto y = yearAt(at + 2);
        if (d && m && y && *d >= 1 && *d <= daysIn(m, *y)) {
            used = 3;
            return dayMonthYear(*d, m, *y);
        }
    }
    return "";
}

const char* qualifier(std::string_view word) {
    const std::string w = lowerAscii(word);
    if (w == "um" || w == "ca." || w == "ca" || w == "circa" || w == "etwa") return "ABT ";
    if (w == "vor") return "BEF ";
    if (w == "nach") return "AFT ";
    return nullptr;
}

// "in X" from words[at] to the end; "" when the words say something else.
std::string placeFrom(const std::vector<std::string>& list, std::size_t at) {
    if (at + 1 >= list.size() || lowerAscii(list[at]) != "in") return "";
    return join(list, at + 1, list.size());
}

}  // namespace

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto blank = [&] {
        if (!out.empty() && out.back() != ' ') out.push_back(' ');
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank();
        } else if (c < 0x20 || c == 0x7F) {
            // another control character: nothing to show
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            ++i;  // a C1 control character
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string cutUtf8(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return std::string(text);
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

std::string nameValue(std::string_view given, std::string_view prefix, std::string_view surname) {
    std::string family(prefix);
    if (!surname.empty()) {
        if (!family.empty()) family.push_back(' ');
        family += surname;
    }
    if (family.empty()) return std::string(given);
    return given.empty() ? "/" + family + "/" : std::string(given) + " /" + family + "/";
}

namespace {

// The first line of a field that has text in it; the whole field when none has.
std::string_view firstLineWithText(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size()) {
        std::size_t end = field.find_first_of("\r\n", i);
        if (end == std::string_view::npos) end = field.size();
        const std::string_view line = field.substr(i, end - i);
        if (!oneLine(line).empty()) return line;
        i = end + 1;
    }
    return field;
}

// "geb. X" from list[at] on: the birth surname, with its particles, into `name`; the words
// it takes are added to `used`.
void takeBirthName(const std::vector<std::string>& list, std::size_t at, PersonName& name,
                   std::vector<std::string>& used) {
    if (at + 1 >= list.size() || !isBirthMark(list[at]) || startsABirthDate(list[at + 1])) return;
    std::size_t b = at + 1;
    std::vector<std::string> prefix;
    while (b + 1 < list.size() && isParticle(list[b])) prefix.push_back(list[b++]);
    const std::string surname = stripCommas(list[b]);
    if (surname.empty() || endsTheName(list[b])) return;
    name.birthPrefix = join(prefix, 0, prefix.size());
    name.birthSurname = surname;
    for (std::size_t i = at; i <= b; ++i) used.push_back(list[i]);
}

// The words of a name, cleaned of commas, on either side of the comma in it.
struct CommaSplit {
    std::vector<std::string> before, after;  // after: empty when the comma ends the name
    std::string rebuilt;                     // what the name says, joined again
};

// A comma ends the name, unless only the surname stands before it ("Müller, Johann"); then
// the given names run up to the next comma. Cuts `nameWords` to the words the name takes.
CommaSplit splitAtComma(std::vector<std::string>& nameWords) {
    auto commaFrom = [&](std::size_t i) {
        while (i < nameWords.size() && nameWords[i].find_first_of(",;") == std::string::npos) ++i;
        return i;
    };
    auto cleaned = [&](std::size_t from, std::size_t to) {
        std::vector<std::string> out;
        for (std::size_t i = from; i < to && i < nameWords.size(); ++i)
            if (std::string s = stripCommas(nameWords[i]); !s.empty()) out.push_back(s);
        return out;
    };
    CommaSplit split;
    const std::size_t comma = commaFrom(0);
    split.before = cleaned(0, comma + 1);
    if (comma < nameWords.size()) {
        const std::size_t next = commaFrom(comma + 1);
        split.after = cleaned(comma + 1, next + 1);
        bool onlyParticles = !split.before.empty();
        for (std::size_t i = 0; i + 1 < split.before.size(); ++i)
            onlyParticles = onlyParticles && isParticle(split.before[i]);
        if (onlyParticles && !split.after.empty()) {
            nameWords.resize(std::min(next + 1, nameWords.size()));
            split.rebuilt = join(split.before, 0, split.before.size()) + ", " +
                            join(split.after, 0, split.after.size());
        } else {
            split.after.clear();
            nameWords.resize(comma + 1);
        }
    }
    if (split.rebuilt.empty()) split.rebuilt = join(split.before, 0, split.before.size());
    return split;
}

}  // namespace

PersonName mapName(std::string_view field, bool birthNames) {
    PersonName name;
    // The name is the first line with text; any further line is an addition for the note.
    std::vector<std::string> list = splitWords(words(oneLine(firstLineWithText(field))));
    std::size_t end = 0;
    while (end < list.size() && !endsTheName(list[end]) && !isBirthMark(list[end])) ++end;
    std::vector<std::string> used;
    if (birthNames) takeBirthName(list, end, name, used);

    std::vector<std::string> nameWords(list.begin(), list.begin() + static_cast<long>(end));
    const CommaSplit split = splitAtComma(nameWords);
    const std::vector<std::string>& before = split.before;
    if (!split.after.empty()) {
        takeSurname(before, before.size(), name.prefix, name.surname);
        name.given = join(split.after, 0, split.after.size());
    } else if (before.size() == 1) {
        name.given = before[0];
    } else {
        const std::size_t at = takeSurname(before, before.size(), name.prefix, name.surname);
        name.given = join(before, 0, at);
    }
    used.insert(used.begin(), nameWords.begin(), nameWords.end());

    bool cut = fitName(name.given, name.prefix, name.surname);
    if (!name.birthSurname.empty())
        cut = fitName(name.given, name.birthPrefix, name.birthSurname) || cut;
    name.complete = !cut && join(used, 0, used.size()) == collapseBlanks(field) &&
                    split.rebuilt == join(nameWords, 0, nameWords.size());
    return name;
}

EventDate mapDate(std::string_view text) {
    EventDate out;
    const std::string line = oneLine(text);
    if (line.empty()) return out;
    const std::vector<std::string> list = words(line);

    std::size_t at = 0;
    const char* qual = qualifier(list[0]);
    if (qual) at = 1;
    std::size_t used = 0;
    const std::string date = dateAt(list, at, used);
    if (!date.empty()) {
        const std::size_t rest = at + used;
        const std::string place = placeFrom(list, rest);
        if (rest == list.size() || !place.empty()) {
            out.date = (qual ? qual : "") + date;
            if (place.size() <= kMaxPlaceBytes)
                out.place = place;
            else
                out.note = line;
            return out;
        }
    } else if (!qual) {
        const std::string place = placeFrom(list, 0);
        if (!place.empty() && place.size() <= kMaxPlaceBytes) {
            out.place = place;
            return out;
        }
    }
    // Any other text: a date phrase, which holds no brackets of its own.
    std::string phrase = "(" + line + ")";
    for (std::size_t i = 1; i + 1 < phrase.size(); ++i) {
        if (phrase[i] == '(') phrase[i] = '[';
        if (phrase[i] == ')') phrase[i] = ']';
    }
    if (phrase.size() <= kMaxDateBytes)
        out.date = phrase;
    else
        out.note = line;
    return out;
}

}  // namespace holmtex
