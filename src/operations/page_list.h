#pragma once
// Reading a list file for the page list.

#include <filesystem>
#include <string>
#include <vector>

#include "record/page_record.h"
#include "record/record_io.h"

namespace holmtex {

// The list line of a record: save date, blank, save time, blank, process number.
std::string listLine(const PageRecord& record);

// listLine() of the record a reader has just found (nextRaw), straight from its bytes.
std::string rawListLine(RecordReader& reader);

struct ListScan {
    bool opened = false;                  // false: the file is missing or unreadable
    ReadStatus status = ReadStatus::End;  // Damaged: the file ends inside a record
};

// Reads every whole record of a list file into `buffer` in turn and appends its list
// line; afterwards `buffer` holds the last whole record (unchanged for an empty list).
ListScan scanListLines(const std::filesystem::path& file, PageRecord& buffer,
                       std::vector<std::string>& lines);

}  // namespace holmtex
