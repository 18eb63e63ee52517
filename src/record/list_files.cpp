// The list-file door: reading. The changes are in list_changes.cpp.
#include "record/list_files.h"

#include <cerrno>
#include <system_error>

#include "record/codepage.h"
#include "record/page_search.h"
#include "record/record_io.h"

namespace holmtex {

namespace {

// A page that was last in its file may have got its line end since.
std::string withoutLineEnd(std::string_view raw) {
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
    return std::string(raw);
}

}  // namespace

ListFiles::ListFiles(std::filesystem::path workDir, std::function<LocalDateTime()> clock,
                     ListReading reading)
    : workDir_(std::move(workDir)),
      clock_(std::move(clock)),
      reading_(reading),
      history_(workDir_) {}

std::filesystem::path ListFiles::path(ListKind list) const { return workDir_ / dataFileName(list); }

ListFiles::Listing ListFiles::lines(ListKind list, PageRecord& last) {
    Listing listing;
    // Failing that, the whole pages still list.
    listing.found = finishAppend(path(list));
    // The list shown anew: its lines are chosen afresh.
    if (opened_ && opened_->list == list) opened_.reset();
    listing.lines = index_.list(list, path(list), last, keep());
    if (index_.readError()) listing.problem = {index_.readError(), dataFileName(list)};
    return listing;
}

bool ListFiles::damaged(ListKind list) {
    // Known without reading while the file is as it was listed; read from the start, once,
    // when it is not, and then known for the next listing.
    PageRecord last;
    index_.list(list, path(list), last, keep());
    return index_.damaged();
}

ListFiles::PageRead ListFiles::readPage(ListKind list, int line, PageRecord& into,
                                        std::string& bytes, bool toEnd) {
    PageRead read;
    // Straight from the page's place when the file is as it was listed.
    if (keep() && !toEnd && index_.readRecord(list, path(list), line, into, &bytes)) {
        read.found = !bytes.empty();
        return read;
    }
    bytes.clear();
    FileSource source;
    if ((read.failure = source.open(path(list))).error) return read;
    // Only the page of the line is decoded; the others are passed over. With fewer pages,
    // the last whole one is.
    RecordReader reader(source);
    ReadStatus status = ReadStatus::Record;
    while ((read.pages <= line || toEnd) &&
           (status = reader.nextRaw(read.pages == line ? kItemCount : 1)) == ReadStatus::Record) {
        if (read.pages == line) {
            reader.decodeInto(into);
            bytes = reader.rawRecord();
        }
        ++read.pages;
    }
    read.found = line >= 0 && read.pages > line;
    if (!read.found && read.pages > 0) reader.decodeInto(into);
    read.damaged = status == ReadStatus::Damaged;
    return read;
}

void ListFiles::open(ListKind list, int line, PageRecord& into) {
    // Taken before the page is read: a change of the file after it shows as another one.
    std::optional<FileIdentity> identity = fileIdentity(path(list));
    std::string bytes;
    readPage(list, line, into, bytes);
    keepOpened(list, line, bytes, std::move(identity));
}

void ListFiles::keepOpened(ListKind list, int line, std::string_view bytes,
                           std::optional<FileIdentity> identity) {
    opened_.reset();
    if (!bytes.empty())
        opened_ = OpenedPage{list, line, withoutLineEnd(bytes), std::move(identity)};
}

bool ListFiles::isOpened(ListKind list, int line, std::string_view bytes) const {
    return opened_ && opened_->list == list && opened_->line == line &&
           opened_->bytes == withoutLineEnd(bytes);
}

Outcome ListFiles::openedPage(ListKind list, int line, PageRecord& into, std::string& bytes) {
    Outcome o(Operation::Export, Result::NotDone, Reason::Unreadable);
    o.list = dataFileName(list);
    o.line = line;
    if (line < 0) {
        o.reason = Reason::NoLine;
        return o;
    }
    // A list out of step anywhere carries pages out of step: delete refuses it too.
    if (damaged(list)) {
        o.failure = {kDamagedTail, o.list};
        return o;
    }
    // The buffer takes the page only once it is the one opened.
    PageRecord page;
    const PageRead found = readPage(list, line, page, bytes);
    if (!found.failure.ok()) {
        o.failure = found.failure;
    } else if (found.damaged && !found.found) {
        o.failure = {kDamagedTail, o.list};
    } else if (!found.found) {
        o.reason = Reason::LineGone;
    } else if (!isOpened(list, line, bytes)) {
        o.reason = Reason::ChangedSince;
    } else {
        into = std::move(page);
        return Outcome(Operation::Export);
    }
    return o;
}

ListFiles::PageRead ListFiles::page(ListKind list, int line, PageRecord& into, bool toEnd) {
    // The caller's buffer takes the page only when the line is one.
    PageRecord page;
    std::string bytes;
    const PageRead read = readPage(list, line, page, bytes, toEnd);
    if (read.found) into = std::move(page);
    return read;
}

bool ListFiles::glance(ListKind list, int line, PageRecord& into) {
    PageRecord page;
    std::string bytes;
    if (!keep() || !index_.readRecord(list, path(list), line, page, &bytes) || bytes.empty())
        return false;
    into = std::move(page);
    return true;
}

ListFiles::PageRead ListFiles::pages(
    ListKind list, const std::function<bool(const PageRecord&, int)>& each) const {
    PageRead read;
    FileSource source;
    if ((read.failure = source.open(path(list))).error) return read;
    RecordReader reader(source);
    PageRecord page;
    ReadStatus status;
    while ((status = reader.next(page)) == ReadStatus::Record) {
        if (!each(page, read.pages)) return read;
        ++read.pages;
    }
    read.damaged = status == ReadStatus::Damaged;
    return read;
}

ListFiles::PageRead ListFiles::count(ListKind list, PageRecord& last) {
    // Known without reading when the file is as it was listed.
    PageRead read;
    const std::optional<std::size_t> known =
        keep() ? index_.recordCount(list, path(list)) : std::nullopt;
    if (known && (*known == 0 || index_.readRecord(list, path(list), 0x7fffffff, last))) {
        read.pages = static_cast<int>(*known);
        return read;
    }
    // A missing file is a list without pages.
    FileSource source;
    if (FileResult opened = source.open(path(list)); !opened) {
        if (opened.error != ENOENT) read.failure = opened;
        return read;
    }
    RecordReader reader(source);
    ReadStatus status;
    while ((status = reader.nextRaw(1)) == ReadStatus::Record) ++read.pages;
    if (source.error()) {
        read.failure = FileResult::of(source.error(), path(list));
        return read;
    }
    if (read.pages > 0) reader.decodeInto(last);
    read.damaged = status == ReadStatus::Damaged;
    return read;
}

LineList ListFiles::search(ListKind list, std::string_view text, PageRecord& last) {
    return searchList(path(list), text, last);
}

Outcome ListFiles::markPages(ListKind list, std::size_t pages, std::string_view mark,
                             FileReplacement& into, PageRecord& last) {
    Outcome o(Operation::Duplicates, Result::NotDone, Reason::Unreadable);
    o.list = dataFileName(list);
    o.count = static_cast<long long>(pages);
    const std::string reference = utf8ToCp1252(last.text(ProcessNumber));
    FileResult written = into.begin();
    FileSource source;
    if (!source.open(path(list))) {
        o.failure = {source.error(), o.list};
        return o;
    }
    // Written in pieces, so that no second copy of the list is held.
    RecordReader reader(source);
    constexpr std::size_t kPiece = 256 * 1024;
    std::string piece;
    bool lastMarked = false;
    for (std::size_t k = 0; k + 1 < pages; ++k) {
        if (reader.nextRaw(ProcessNumber) != ReadStatus::Record) {
            // Fewer pages than counted: never a short file.
            if (source.error()) o.failure = {source.error(), o.list};
            if (!source.error()) o.reason = Reason::ChangedSince;
            return o;
        }
        lastMarked = reader.rawItem(ProcessNumber) == reference;
        reader.appendWritten(piece, lastMarked ? ListTag : 0, mark);
        if (piece.size() >= kPiece) {
            if (written) written = into.write(piece);
            piece.clear();
        }
    }
    if (pages > 1) {
        reader.decodeInto(last);
        if (lastMarked) last.set(ListTag, std::string(last.text(ListTag)).append(mark));
    }
    source.close();
    if (written) written = into.write(piece);
    if (written) written = into.commit().failure;
    o.result = written ? Result::Done : Result::DoneBut;
    o.reason = written ? Reason::None : Reason::Failed;
    o.failure = written;
    return o;
}

}  // namespace holmtex
