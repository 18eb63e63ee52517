#pragma once
// The search through the pages of a list: a page is a hit when its page text (items 2 to 49
// joined with nothing between them) holds the search text, both lowered. Records of the
// shape our own writer gives them are searched in their own bytes, 64 at a time, through
// bit masks; any other record through its items joined.

#include <filesystem>
#include <string_view>

#include "record/line_list.h"
#include "record/page_record.h"

namespace holmtex {

// One line per whole page of the list file, in file order: ">" for a hit, two blanks for a
// miss, then the page's list line. `text` is in Windows-1252; `last` gets the last page.
LineList searchList(const std::filesystem::path& file, std::string_view text, PageRecord& last);

}  // namespace holmtex
