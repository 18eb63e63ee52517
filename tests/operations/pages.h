#pragma once
// Pages for the search and transfer tests, and reading a list file back.

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "record/record_io.h"

namespace holmtex::test {

// A page as Save writes it: process number `number`, saved at 14:0m:00 on 06.12.2026, all
// other fields empty except the given items.
inline PageRecord makePage(const std::string& number, int minute,
                           std::initializer_list<std::pair<int, std::string>> items = {}) {
    PageRecord page;
    page.set(ViewMarker, "->2");
    page.set(SaveDate, "06.12.2026");
    page.set(SaveTime, "14:0" + std::to_string(minute) + ":00");
    page.set(AddMarker, "");
    page.set(ListTag, "aktu");
    for (int n = PageText; n <= kItemCount; ++n) page.set(n, "");
    page.set(ProcessNumber, number);
    for (const auto& [n, text] : items) page.set(n, text);
    return page;
}

inline std::string bytesOf(const std::vector<PageRecord>& pages) {
    std::string bytes;
    for (const PageRecord& page : pages) writeRecord(bytes, page);
    return bytes;
}

// Every whole record of a file.
inline std::vector<PageRecord> readRecords(const std::filesystem::path& file) {
    std::vector<PageRecord> out;
    FileSource source;
    if (!source.open(file)) return out;
    RecordReader reader(source);
    PageRecord r;
    while (reader.next(r) == ReadStatus::Record) out.push_back(r);
    return out;
}

}  // namespace holmtex::test
