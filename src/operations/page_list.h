#pragma once
// The lines of the page list.

#include <string>
#include <string_view>

#include "record/page_record.h"
#include "record/record_io.h"

namespace holmtex {

// The list line of a record: save date, blank, save time, blank, process number.
std::string listLine(const PageRecord& record);

// listLine() of the record a reader has just found (nextRaw), straight from its bytes,
// behind `prefix`.
std::string rawListLine(RecordReader& reader, std::string_view prefix = {});

}  // namespace holmtex
