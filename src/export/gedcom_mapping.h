#pragma once
// How the free texts of a page become the parts of a genealogy file: names of persons
// and wedding dates. Texts are UTF-8.

#include <string>
#include <string_view>

namespace holmtex {

// Longest values the file format allows in a name and its parts, in bytes.
constexpr std::size_t kMaxNameBytes = 120;

struct PersonName {
    std::string given;
    std::string prefix, surname;            // "von", "Berg"
    std::string birthPrefix, birthSurname;  // from "geb. X"
    // The whole field went into the name; when false some of it (a date, a second line,
    // characters a name cannot hold, the end of a very long word) is only in the note.
    bool complete = true;

    bool empty() const { return given.empty() && surname.empty() && birthSurname.empty(); }
};

// A field of a person: the last word is the surname, the words before it the given
// names; a single word is a given name only. Words like "von" right before the surname
// belong to it. With birthNames (a father's or mother's field) "geb. X" gives the birth
// surname X; "geb." before a date ends the name.
PersonName mapName(std::string_view field, bool birthNames);

// A name for the file's NAME line: "Given /prefix surname/", or the given names alone.
std::string nameValue(std::string_view given, std::string_view prefix, std::string_view surname);

struct EventDate {
    std::string date;   // a valid date value, a date phrase "(…)", or empty
    std::string place;  // from "in X"
    std::string note;   // a text too long for a date phrase
};

// A German wedding date: "12.03.1890", "03.1890", "1890", "12. März 1890", with "um",
// "ca.", "vor", "nach" before it and "in X" after it; anything else becomes a date phrase.
EventDate mapDate(std::string_view text);

// The text in one line: tabs and line breaks as blanks, other control characters left
// out, runs of blanks as one, none at either end.
std::string oneLine(std::string_view text);

// Cuts a UTF-8 text to at most `bytes` bytes without splitting a character.
std::string cutUtf8(std::string_view text, std::size_t bytes);

}  // namespace holmtex
