#pragma once
// Pages as a lineage-linked genealogy file in UTF-8: one person per filled name field
// and one family per filled family block, page by page, never merged across pages.

#include <string>
#include <string_view>

#include "export/page_content.h"
#include "record/local_time.h"

namespace holmtex {

// Longest line of the file in bytes, the line end not counted.
constexpr std::size_t kMaxGedcomLine = 255;

class GedcomWriter {
public:
    // Each call appends its lines, each ended by "\n", to `out`.
    void header(std::string& out, std::string_view fileName, const LocalDateTime& now) const;
    void page(std::string& out, const PageContent& content);
    void trailer(std::string& out) const;

    int persons() const { return persons_; }
    int families() const { return families_; }

private:
    int persons_ = 0, families_ = 0;  // the last numbers given: @I1@, @F1@, …
};

// Appends "level tag text", the text's line breaks as CONT lines and whatever does not
// fit a line as CONC lines; "@" is doubled, control characters become blanks.
void appendGedcomText(std::string& out, int level, std::string_view tag, std::string_view text);

}  // namespace holmtex
