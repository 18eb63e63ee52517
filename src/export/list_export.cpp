#include "export/list_export.h"

#include "export/gedcom_writer.h"

namespace holmtex {

PageContent listPageContent(const PageRecord& record, ListKind list, int line) {
    PageContent content;
    content.page = record;
    content.addState = record.text(AddMarker) == "add";
    content.origin = PageOrigin{list, line, std::string(record.text(SaveDate)),
                                std::string(record.text(SaveTime)), false};
    return content;
}

GedcomExport exportListAsGedcom(const ListFiles& lists, ListKind list,
                                const std::filesystem::path& target, const LocalDateTime& now,
                                LinkRule rule) {
    GedcomExport result;
    // The file is begun once the list could be read, and written in pieces.
    FileReplacement file(target, workFileFor(target), rule);
    bool begun = false;
    const auto begin = [&] {
        begun = true;
        return (result.writeFailure = file.begin()).ok();
    };
    GedcomWriter writer;
    std::string chunk;
    writer.header(chunk, target.filename().string(), now);
    const ListFiles::PageRead read = lists.pages(list, [&](const PageRecord& page, int line) {
        if (!begun && !begin()) return false;
        writer.page(chunk, listPageContent(page, list, line));
        if (chunk.size() >= 64 * 1024) {
            if (!(result.writeFailure = file.write(chunk)).ok()) return false;
            chunk.clear();
        }
        return true;
    });
    result.pages = read.pages;
    result.damaged = read.damaged;
    result.readFailure = read.failure;
    if (!result.readFailure.ok() || !result.writeFailure.ok()) return result;
    if (result.damaged && result.pages == 0) return result;  // nothing worth a file
    if (!begun && !begin()) return result;
    writer.trailer(chunk);
    if (!(result.writeFailure = file.write(chunk)).ok()) return result;
    const ReplaceResult committed = file.commit();
    result.writeFailure = committed.failure;
    result.written = committed.replaced;
    return result;
}

}  // namespace holmtex
