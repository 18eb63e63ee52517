// The page list and the choice of list.
#include "operations/page_list.h"

#include <algorithm>
#include <string_view>

#include "record/codepage.h"
#include "record/list_append.h"
#include "window/holmtex.h"

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

// The line is put together on the stack and then made a string in one step.
std::string rawListLine(RecordReader& reader) {
    const std::string_view date = reader.rawItem(SaveDate);
    const std::string_view time = reader.rawItem(SaveTime);
    const std::string_view number = reader.rawItem(ProcessNumber);
    constexpr std::size_t kPlain = 64;
    if (date.size() + time.size() + number.size() > kPlain) {
        std::string line;
        appendCp1252AsUtf8(line, date.data(), date.size());
        line.push_back(' ');
        appendCp1252AsUtf8(line, time.data(), time.size());
        line.push_back(' ');
        appendCp1252AsUtf8(line, number.data(), number.size());
        return line;
    }
    char text[3 * kPlain + 2];
    char* w = text;
    const auto add = [&w](std::string_view bytes) {
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                *w++ = c;
            } else {
                const std::string utf8 = cp1252ToUtf8(std::string_view(&c, 1));
                w = std::copy(utf8.begin(), utf8.end(), w);
            }
        }
    };
    add(date);
    *w++ = ' ';
    add(time);
    *w++ = ' ';
    add(number);
    return std::string(text, w);
}

ListScan scanListLines(const std::filesystem::path& file, PageRecord& buffer,
                       std::vector<std::string>& lines) {
    ListScan scan;
    FileSource source;
    if (!source.open(file)) return scan;
    scan.opened = true;
    // Only three items go into a line, so only those are decoded on the way; the buffer
    // gets the last whole record once, at the end.
    RecordReader reader(source);
    bool any = false;
    while ((scan.status = reader.nextRaw(ProcessNumber)) == ReadStatus::Record) {
        any = true;
        lines.push_back(rawListLine(reader));
    }
    if (any) reader.decodeInto(buffer);
    return scan;
}

void Holmtex::RefreshList() {
    List1.clear();
    // A missing file lists as an empty list; a damaged tail lists the whole records before it.
    std::vector<std::string> lines;
    if (auto kind = selectedList()) {
        const std::filesystem::path file = filePath(dataFileName(*kind));
        finishInterruptedAppend(file);  // failing that, the whole records still list
        scanListLines(file, CurrentRecord, lines);
    }
    List1.setLines(std::move(lines));
    if (List1.listCount() > 0) List1.setListIndex(List1.listCount() - 1);
}

void Holmtex::Option1_Click() {
    Command19.setVisible(true);
    Command21.setVisible(false);
    Command22.setVisible(true);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten AKTUELL");
    RefreshList();
}

void Holmtex::Option2_Click() {
    Command19.setVisible(false);
    Command21.setVisible(true);
    Command22.setVisible(true);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten ARCHIV");
    RefreshList();
}

void Holmtex::Option3_Click() {
    Command19.setVisible(false);
    Command21.setVisible(true);
    Command22.setVisible(false);
    Command2.setVisible(true);
    Text31.setText("gespeicherte Merkseiten ALLGEMEIN");
    RefreshList();
}

}  // namespace holmtex
