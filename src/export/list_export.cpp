#include "export/list_export.h"

#include "export/gedcom_writer.h"
#include "record/record_io.h"

namespace holmtex {

ListPageRead readListPage(const std::filesystem::path& listFile, int line, PageRecord& into,
                          bool toEnd) {
    ListPageRead result;
    FileSource source;
    if ((result.openError = source.open(listFile).error)) return result;
    RecordReader reader(source);
    ReadStatus status;
    // Only the wanted record is decoded; the others are passed over.
    while ((status = reader.nextRaw(result.wholePages == line ? kItemCount : 1)) ==
           ReadStatus::Record) {
        if (result.wholePages == line) {
            reader.decodeInto(into);
            result.found = true;
        }
        ++result.wholePages;
        if (result.found && !toEnd) return result;
    }
    result.damaged = status == ReadStatus::Damaged;
    return result;
}

PageContent listPageContent(const PageRecord& record, ListKind list, int line) {
    PageContent content;
    content.page = record;
    content.addState = record.text(AddMarker) == "add";
    content.origin = PageOrigin{list, line, std::string(record.text(SaveDate)),
                                std::string(record.text(SaveTime)), false};
    return content;
}

GedcomExport exportListAsGedcom(const std::filesystem::path& listFile, ListKind list,
                                const std::filesystem::path& target, const LocalDateTime& now,
                                LinkRule rule) {
    GedcomExport result;
    FileSource source;
    if ((result.readError = source.open(listFile).error)) return result;

    FileReplacement file(target, workFileFor(target), rule);
    if ((result.writeError = file.begin().error)) return result;
    GedcomWriter writer;
    std::string chunk;
    writer.header(chunk, target.filename().string(), now);
    RecordReader reader(source);
    PageRecord record;
    ReadStatus status;
    while ((status = reader.next(record)) == ReadStatus::Record) {
        writer.page(chunk, listPageContent(record, list, result.pages));
        ++result.pages;
        if (chunk.size() >= 64 * 1024) {
            if ((result.writeError = file.write(chunk).error)) return result;
            chunk.clear();
        }
    }
    result.damaged = status == ReadStatus::Damaged;
    if (result.damaged && result.pages == 0) return result;  // nothing worth a file
    writer.trailer(chunk);
    if ((result.writeError = file.write(chunk).error)) return result;
    result.writeError = file.commit().failure.error;
    return result;
}

}  // namespace holmtex
