#pragma once
// A second reader of the list format, written as plainly as the rules read, byte by byte
// over the whole data. Tests hold the program's reader against it.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/page_record.h"

namespace holmtex::test {

struct PlainRecord {
    // The Windows-1252 bytes of items 1 to 49 (index 0 to 48); absent items are nullopt,
    // but the four remarks read as "" when absent.
    std::array<std::optional<std::string>, kItemCount> items;
    std::size_t begin = 0, end = 0;  // where the record's bytes lie, its line end included

    const std::string& text(int n) const;  // "" when absent
};

struct PlainList {
    std::vector<PlainRecord> records;  // the whole records, in order
    bool whole = true;                 // false: the data ends inside a record
    std::size_t tail = 0;              // where the damaged rest begins (when not whole)
};

// A record is whole when all its 49 items are: an item cannot begin at the end of the
// data, and a quote must be closed. A whole last record may lack its line end.
PlainList readPlain(std::string_view bytes);

// The record as a PageRecord, its items turned into UTF-8 as the program holds them.
PageRecord toPageRecord(const PlainRecord& record);

}  // namespace holmtex::test
