#pragma once
// Random pages and list files for the tests that compare two ways of doing the same: our
// own records, records of foreign shapes, blank lines, damaged tails.

#include <random>
#include <string>
#include <vector>

#include "record/codepage.h"
#include "record/record_io.h"

namespace holmtex::test {

class ListMaker {
public:
    explicit ListMaker(unsigned seed) : rng(seed) {}

    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <typename T>
    const T& pick(const std::vector<T>& from) {
        return from[static_cast<std::size_t>(between(0, static_cast<int>(from.size()) - 1))];
    }

    // A short text: words with umlauts and capitals of every kind, now and then a comma or
    // a line break, and sometimes nothing.
    std::string text() {
        static const std::vector<std::string> words = {
            "Müller", "MÜLLER", "müller", "Straße", "Šárka",     "šárka",  "ŸVES",
            "ÿves",   "Jürgen", "Hans",   "Peter",  "aktu",      "Zürich", "4711",
            "x",      "Œuvre",  "Ärger",  "a,b",    "Akte_[12]", "Œ"};
        if (chance(25)) return "";
        std::string out;
        const int count = between(1, 4);
        for (int i = 0; i < count; ++i) {
            if (i > 0) out += chance(15) ? "\r\n" : " ";
            out += pick(words);
        }
        return out;
    }

    // A page as Save writes it.
    PageRecord page() {
        PageRecord p;
        p.set(ViewMarker, pick(std::vector<std::string>{"->2", "->4", "->"}));
        p.set(SaveDate, "0" + std::to_string(between(1, 9)) + ".12.2026");
        p.set(SaveTime, "14:0" + std::to_string(between(0, 9)) + ":00");
        if (chance(10)) p.set(Reserved4, "vier");
        p.set(AddMarker, chance(30) ? "add" : "");
        p.set(ListTag, pick(std::vector<std::string>{"aktu", "arch", "grun"}));
        p.set(PageText, text());
        p.set(ProcessNumber, pick(std::vector<std::string>{"10", "20", "30", "", "Ä1"}));
        for (int n = 10; n <= kItemCount; ++n) p.set(n, chance(60) ? "" : text());
        return p;
    }

    // The bytes of one record: mostly our own, else a foreign shape — bare texts, text
    // behind a closing quote, line ends between items, absent remarks, other line ends —
    // or our own with one of those.
    std::string record() {
        const PageRecord p = page();
        const int kind = between(1, 100);
        if (kind <= 60) return recordBytes(p);
        const bool foreign = kind > 80;
        const int odd = between(1, kItemCount);  // the one item or separator that differs
        const int how = between(1, 4);
        std::string out;
        for (int n = 1; n <= kItemCount; ++n) {
            if (n > 1) out += (foreign ? chance(5) : n == odd && how == 1) ? "\r\n" : ",";
            const std::string bytes = utf8ToCp1252(p.text(n));
            const bool plain = bytes.find_first_of(",\r\n\"") == std::string::npos;
            const int style = foreign    ? between(1, 10)
                              : n != odd ? 0
                              : how == 2 ? 3
                              : how == 4 ? 2
                                         : 0;
            if (!p.has(n) && style == 0)
                continue;
            else if (style == 1 && plain)
                out += bytes;  // bare
            else if (style == 2)
                out += "\"" + bytes + "\"xy";  // stray bytes behind the closing quote
            else if (style == 3 && (n % 10 == 9 || bytes.empty()))
                continue;  // absent, a remark too
            else
                out += "\"" + bytes + "\"";
        }
        out += !foreign && how == 3 ? pick(std::vector<std::string>{"\n", "\r", ",\r\n"})
                                    : pick(std::vector<std::string>{"\r\n", "\n", "\r\n\r\n"});
        return out;
    }

    // A list file of up to `most` records, perhaps ending in a damaged record or in a whole
    // one without its line end.
    std::string list(int most) {
        std::string out;
        const int count = between(0, most);
        for (int i = 0; i < count; ++i) out += record();
        if (chance(15))
            out += "\"->2\",\"07.12.2026\",\"09:00:00\",,,\"\",\"aktu\",\"halb";
        else if (chance(10) && out.size() > 2 && out.ends_with("\r\n"))
            out.resize(out.size() - 2);
        return out;
    }

    std::mt19937 rng;
};

}  // namespace holmtex::test
