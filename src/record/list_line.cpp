#include "record/list_line.h"

#include "record/codepage.h"

namespace holmtex {

std::string listLine(const PageRecord& record) {
    const std::string_view date = record.text(SaveDate);
    const std::string_view time = record.text(SaveTime);
    const std::string_view number = record.text(ProcessNumber);
    std::string line;
    line.reserve(date.size() + time.size() + number.size() + 2);
    line.append(date).append(" ").append(time).append(" ").append(number);
    return line;
}

void addRawListLine(LineList& lines, RecordReader& reader, std::string_view prefix) {
    const std::string_view date = reader.rawItem(SaveDate);
    const std::string_view time = reader.rawItem(SaveTime);
    const std::string_view number = reader.rawItem(ProcessNumber);
    std::string& line = lines.openLine();
    line.append(prefix);
    appendCp1252AsUtf8(line, date.data(), date.size());
    line.push_back(' ');
    appendCp1252AsUtf8(line, time.data(), time.size());
    line.push_back(' ');
    appendCp1252AsUtf8(line, number.data(), number.size());
    lines.closeLine();
}

}  // namespace holmtex
