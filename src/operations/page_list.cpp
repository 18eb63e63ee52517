// The page list and the choice of list.
#include "operations/page_list.h"

#include "window/holmtex.h"

namespace holmtex {

std::string listLine(const PageRecord& record) {
    const std::string& date = record.text(SaveDate);
    const std::string& time = record.text(SaveTime);
    const std::string& number = record.text(ProcessNumber);
    std::string line;
    line.reserve(date.size() + time.size() + number.size() + 2);
    line.append(date).append(" ").append(time).append(" ").append(number);
    return line;
}

ListScan scanListLines(const std::filesystem::path& file, PageRecord& buffer,
                       std::vector<std::string>& lines) {
    ListScan scan;
    FileSource source;
    if (!source.open(file)) return scan;
    scan.opened = true;
    RecordReader reader(source);
    while ((scan.status = reader.next(buffer)) == ReadStatus::Record) lines.push_back(listLine(buffer));
    return scan;
}

void Holmtex::RefreshList() {
    List1.clear();
    // A missing file lists as an empty list; a damaged tail lists the whole records before it.
    std::vector<std::string> lines;
    if (auto kind = selectedList()) scanListLines(filePath(dataFileName(*kind)), CurrentRecord, lines);
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

void Holmtex::List1_Click() {
    // Every step is skipped when it fails; the next one still runs.
    const int line = List1.listIndex();
    MarkedLine = line;
    {
        FileSource source;
        auto kind = selectedList();
        if (kind && source.open(filePath(dataFileName(*kind)))) {
            RecordReader reader(source);
            for (int k = 0; k <= line; ++k)
                if (reader.next(CurrentRecord) != ReadStatus::Record) break;
        }
    }

    const std::string& marker = CurrentRecord.text(ViewMarker);
    if (!marker.empty() && marker.back() == '2') {
        Text1.setHeight(5175);
        Text1.setTop(3600);
    }
    if (!marker.empty() && marker.back() == '4') {
        Text1.setHeight(1695);
        Text1.setTop(7080);
    }
    if (CurrentRecord.text(AddMarker) == "add" && CurrentRecord[AddMarker])
        Line1.setVisible(Line2.visible());
    else
        Line1.setVisible(false);

    // The change operations of Text1 and Text2 may read records themselves, so each
    // field takes the buffer's item as it stands at that moment.
    Text1.setText(CurrentRecord.text(PageText));
    Text2.setText(CurrentRecord.text(ProcessNumber));
    for (int n = 10; n <= kItemCount; ++n) fieldForItem(n).setText(CurrentRecord.text(n));

    Text5.setText("Listenzeile " + std::to_string(line));
    Combo1.setText("");
}

}  // namespace holmtex
