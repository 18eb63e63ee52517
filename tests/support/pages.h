#pragma once
// Pages for the tests, the bytes of list files made of them, and reading a file back.

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "record/page_record.h"

namespace holmtex::test {

// A page as Save writes it: "->2", saved at 14:mm:00 on 06.12.2026, items 4 and 5 absent,
// "aktu", process number `number`, every other text empty but the given items.
PageRecord makePage(const std::string& number, int minute = 0,
                    std::initializer_list<std::pair<int, std::string>> items = {});

// A page known by its number: the text "Seite <number>" (made `padding` bytes longer) with
// a second line that holds a comma and an umlaut, and "Vater <number>" in family 1.
PageRecord namedPage(const std::string& number, int minute = 0, std::size_t padding = 0);

// The named pages prefix0, prefix1, … saved a minute apart, as the bytes of a list file.
std::string namedPages(const std::string& prefix, int count, std::size_t padding = 0);
std::string namedPages(std::initializer_list<std::string> numbers);

// The bytes of the pages as our writer puts them, one after the other.
std::string bytesOf(const std::vector<PageRecord>& pages);

// The bytes of a record or a list without its final CR LF.
std::string withoutLineEnd(std::string bytes);

// Every whole record of a file, none when it is missing; `whole` (when given) tells
// whether the file reads to its end without a damaged rest.
std::vector<PageRecord> readRecords(const std::filesystem::path& file, bool* whole = nullptr);

// The bytes of a file, or nothing when there is none (a dangling link counts as a file).
std::optional<std::string> contentOf(const std::filesystem::path& file);

}  // namespace holmtex::test
