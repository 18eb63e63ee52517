#include "support/pages.h"

#include <cstdio>

#include "record/record_io.h"
#include "support/test_support.h"

namespace holmtex::test {

PageRecord makePage(const std::string& number, int minute,
                    std::initializer_list<std::pair<int, std::string>> items) {
    PageRecord page;
    page.set(ViewMarker, "->2");
    page.set(SaveDate, "06.12.2026");
    char time[16];
    std::snprintf(time, sizeof time, "14:%02d:00", minute % 60);
    page.set(SaveTime, time);
    page.set(AddMarker, "");
    page.set(ListTag, "aktu");
    for (int n = PageText; n <= kItemCount; ++n) page.set(n, "");
    page.set(ProcessNumber, number);
    for (const auto& [n, text] : items) page.set(n, text);
    return page;
}

PageRecord namedPage(const std::string& number, int minute, std::size_t padding) {
    return makePage(
        number, minute,
        {{PageText, "Seite " + number + std::string(padding, '.') + "\r\nzweite Zeile, mit Ärger"},
         {fatherItem(1), "Vater " + number}});
}

std::string namedPages(const std::string& prefix, int count, std::size_t padding) {
    std::string bytes;
    for (int i = 0; i < count; ++i)
        writeRecord(bytes, namedPage(prefix + std::to_string(i), i, padding));
    return bytes;
}

std::string namedPages(std::initializer_list<std::string> numbers) {
    std::string bytes;
    int minute = 0;
    for (const std::string& number : numbers) writeRecord(bytes, namedPage(number, minute++));
    return bytes;
}

std::string bytesOf(const std::vector<PageRecord>& pages) {
    std::string bytes;
    for (const PageRecord& page : pages) writeRecord(bytes, page);
    return bytes;
}

std::string withoutLineEnd(std::string bytes) {
    if (bytes.ends_with("\r\n")) bytes.resize(bytes.size() - 2);
    return bytes;
}

std::vector<PageRecord> readRecords(const std::filesystem::path& file, bool* whole) {
    std::vector<PageRecord> records;
    if (whole) *whole = true;
    FileSource source;
    if (!source.open(file)) return records;
    RecordReader reader(source);
    PageRecord record;
    ReadStatus status;
    while ((status = reader.next(record)) == ReadStatus::Record) records.push_back(record);
    if (whole) *whole = status == ReadStatus::End;
    return records;
}

std::optional<std::string> contentOf(const std::filesystem::path& file) {
    if (!std::filesystem::exists(std::filesystem::symlink_status(file))) return std::nullopt;
    return readFile(file);
}

}  // namespace holmtex::test
