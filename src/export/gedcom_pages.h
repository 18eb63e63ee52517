#pragma once
// How the families of a genealogy file become note pages, the way back of the export:
// dates in German, names as a page field writes them, and a page for one family with the
// families of the husband's and the wife's parents as families 2 and 4.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/gedcom_store.h"
#include "record/local_time.h"
#include "record/page_record.h"

namespace holmtex {

// A date of the file in German: "12 MAR 1890" as "12.03.1890", "MAR 1890" as "03.1890",
// ABT as "um", BEF as "vor", AFT as "nach", "BET … AND …" as "zw. … und …", a date
// phrase "(…)" as its text; anything else as written.
std::string germanDateOf(std::string_view gedcomDate);

// A date and a place as one field: "12.03.1890 in Ulm", "in Ulm".
std::string dateAndPlace(std::string_view gedcomDate, std::string_view place);

// The words of a NAME value, "Johann /von Berg/ jr." as "Johann von Berg jr."; the
// surname alone (between the slashes) and the words without the surname.
std::string nameOf(std::string_view nameValue);
void appendNameOf(std::string& out, std::string_view nameValue);
std::string surnameOf(std::string_view nameValue);
std::string givenOf(std::string_view nameValue);

namespace gedcom {

// A person's facts (Person::facts) are lines; a line that begins with kSourceMark names a
// source record by its cross-reference number in eight hexadecimal digits, one that begins
// with kSourceText gives a source's title itself.
constexpr char kSourceMark = '\x01';
constexpr char kSourceText = '\x02';
std::string sourceMark(std::uint32_t xref);

// The date and time a save at that moment stamps.
struct PageStamp {
    explicit PageStamp(const LocalDateTime& t) : date(germanDate(t)), time(germanTime(t)) {}
    std::string date, time;
};

// The items of one page while it is made: each a text of the store, of the stamp or of
// the draft itself, UTF-8 with CR LF line breaks, double quotes not yet made apostrophes.
// A draft is used for page after page, so that its buffers are made once.
struct PageDraft {
    std::array<std::string_view, kItemCount + 1> items;  // by item number; 4 and 5 absent
    std::array<std::string, 5> remarks;                  // of families 1 to 4
    std::string pageText, moreChildren, processNumber;
    std::vector<std::uint32_t> persons, kids;
};

// The page of family `f` into `draft`, stamped like a save at `stamp`: view "->4" with the
// add marker when the family of the husband's or the wife's parents is known, else "->2".
// `missing` is set when the family names a note or a source that the file does not have.
void buildPage(const Store& store, std::uint32_t f, const PageStamp& stamp, PageDraft& draft,
               bool& missing);

// Appends the page as a list file stores it: a Windows-1252 record ending in CR LF, double
// quotes as apostrophes, as a save leaves them.
void writePage(const PageDraft& draft, std::string& out);

}  // namespace gedcom

}  // namespace holmtex
