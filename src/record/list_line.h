#pragma once
// The line of a page in the page list.

#include <string>
#include <string_view>

#include "record/line_list.h"
#include "record/page_record.h"
#include "record/record_io.h"

namespace holmtex {

// The list line of a record: save date, blank, save time, blank, process number.
std::string listLine(const PageRecord& record);

// Adds listLine() of the record a reader has just found (nextRaw) to the lines, straight
// from its bytes, behind `prefix`.
void addRawListLine(LineList& lines, RecordReader& reader, std::string_view prefix = {});

}  // namespace holmtex
