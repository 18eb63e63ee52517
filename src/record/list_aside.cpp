// The list-file door: a long list read aside, its last page first.
#include <system_error>

#include "record/list_append.h"
#include "record/list_end.h"
#include "record/list_files.h"
#include "record/record_io.h"

namespace holmtex {

namespace {

// The line of a page whose line is not known yet.
constexpr int kLineToCome = -1;

// `length` bytes of the open file from `from` on.
int readBytes(FileSource& source, std::uint64_t from, std::size_t length, std::string& out) {
    out.resize(length);
    if (!source.seek(from)) return source.error() ? source.error() : EIO;
    std::size_t got = 0;
    while (got < length) {
        const long n = source.read(out.data() + got, length - got);
        if (n < 0) return source.error();
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return 0;
}

// The last record of the file open in `source`, of `size` bytes: where it begins and its
// bytes, when the file ends in one whole record of the shape our writer gives.
std::optional<std::uint64_t> lastRecord(FileSource& source, std::uint64_t size,
                                        std::string& record) {
    std::string tail;
    std::uint64_t start = 0;
    int error = 0;
    const ReadAt readAt = [&](std::uint64_t from, std::size_t length, std::string& out) {
        return readBytes(source, from, length, out);
    };
    if (walkBackToLastRecord(readAt, size, 64 * 1024, tail, start, error) != Walk::Found)
        return std::nullopt;
    // One whole record, and after it nothing but line ends.
    StringSource bytes(tail.substr(tail.size() - (size - start)));
    RecordReader reader(bytes);
    if (reader.nextRaw() != ReadStatus::Record || !reader.inWrittenShape()) return std::nullopt;
    record.assign(reader.rawRecord());
    if (reader.nextRaw(1) != ReadStatus::End) return std::nullopt;
    return start;
}

}  // namespace

std::shared_ptr<const LineList> ListFiles::readAside(ListKind list, PageRecord& last,
                                                     const Deliver& deliver,
                                                     const StartAside& start) {
    std::error_code ec;
    if (!keep() || aside_ || index_.recordCount(list, path(list)) ||
        std::filesystem::exists(appendRedoFile(path(list)), ec) || ec)
        return nullptr;
    auto source = std::make_shared<FileSource>();
    if (!source->open(path(list))) return nullptr;
    const std::optional<FileIdentity> identity = source->identity();
    std::string record;
    if (!identity || identity->size < kReadAsideFrom) return nullptr;
    const std::optional<std::uint64_t> lastStart = lastRecord(*source, identity->size, record);
    if (!lastStart || !source->seek(0)) return nullptr;

    const std::uint64_t read = index_.nextRead();
    AsideWork work = [list, read, source, size = identity->size,
                      deliver](const std::atomic<bool>& stop) {
        PageIndex::readPieces(
            list, read, *source, size, kPieceBytes,
            [&deliver](Piece piece) { deliver(std::make_shared<const Piece>(std::move(piece))); },
            stop);
    };
    if (!start(std::move(work))) return nullptr;
    aside_ = AsideRead{list, read, *lastStart, 0, std::nullopt};
    StringSource bytes(record);
    RecordReader reader(bytes);
    reader.next(last);
    keepOpened(list, kLineToCome, record, identity);
    return index_.beginPieces(list, read, *identity);
}

ListFiles::Taken ListFiles::takeLines(const Piece& piece) {
    Taken taken;
    taken.added = index_.addPiece(piece);
    if (!aside_ || aside_->read != piece.read) return taken;
    if (taken.added) {
        aside_->pages += static_cast<int>(piece.lines.size());
        if (!piece.extents.empty()) aside_->lineStart = piece.extents.back().start;
    }
    if (!piece.last) return taken;
    taken.ended = true;
    taken.pages = aside_->pages;
    if (piece.error) taken.problem = {piece.error, dataFileName(aside_->list)};
    taken.lastOpen = taken.added && aside_->lineStart == aside_->pageStart;
    // The page opened at once has its line now; or none, when the whole read ends elsewhere.
    if (opened_ && opened_->list == aside_->list && opened_->line == kLineToCome) {
        if (taken.lastOpen)
            opened_->line = taken.pages - 1;
        else
            opened_.reset();
    }
    aside_.reset();
    return taken;
}

}  // namespace holmtex
