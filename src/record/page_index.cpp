#include "record/page_index.h"

#include <algorithm>
#include <cerrno>

#include "record/list_line.h"

namespace holmtex {

namespace {

// Written anew, it was still the file listed when each record kept has the length it had.
bool stillListed(const FileIdentity& known, const FileIdentity& read,
                 const std::vector<PageIndex::Extent>& was,
                 const std::vector<PageIndex::Extent>& now, std::size_t line, bool removed) {
    if (!sameButChangeTime(known, read)) return false;
    const auto length = [](const PageIndex::Extent& e) { return e.end - e.start; };
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i == line && !removed) continue;  // the page put in its place
        const std::size_t k = removed && i >= line ? i + 1 : i;
        if (length(now[i]) != length(was[k])) return false;
    }
    return true;
}

constexpr std::uint64_t kLargestPiece = 64 << 20;  // bytes of the file

// A list file as a scan reads it, up to a limit or until it is stopped: how many bytes
// came, and the last of them.
class CountingSource : public ByteSource {
public:
    CountingSource(FileSource& file, std::uint64_t limit, const std::atomic<bool>* stop)
        : file_(file), limit_(limit), stop_(stop) {}
    long read(char* buffer, std::size_t size) override {
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, limit_ - bytes));
        if (size == 0 || (stop_ && *stop_)) return 0;
        const long n = file_.read(buffer, size);
        if (n > 0) {
            bytes += static_cast<std::uint64_t>(n);
            lastByte = buffer[n - 1];
        }
        return n;
    }
    std::uint64_t bytes = 0;
    char lastByte = '\n';

private:
    FileSource& file_;
    std::uint64_t limit_;
    const std::atomic<bool>* stop_;
};

}  // namespace

// What one read of a list file found.
struct PageIndex::Scan {
    int error = 0;  // could not be opened (but missing) or read to its end
    bool opened = false;
    std::optional<FileIdentity> identity;  // taken before the first byte was read
    bool whole = false;     // read up to the size the identity gives, and nothing failed
    bool cleanEnd = false;  // see Entry
    bool damaged = false;   // see damaged()
    Lines lines;
    std::vector<Extent> extents;
    PageRecord last;  // the last whole record, when there are lines
};

// Reads the list lines of the records from `offset` on, which must be where a record may
// begin. False when the file cannot be opened there.
bool PageIndex::readFrom(const std::filesystem::path& file, std::uint64_t offset, Scan& scan) {
    FileSource source;
    if (FileResult opened = source.open(file); !opened) {
        if (opened.error != ENOENT) scan.error = opened.error;
        return false;
    }
    scan.identity = source.identity();
    if (offset > 0 && !source.seek(offset)) return false;
    scan.opened = true;
    scanRecords(source, offset, scan);
    return true;
}

void PageIndex::scanRecords(FileSource& source, std::uint64_t offset, Scan& scan,
                            std::uint64_t limit, const std::function<bool(Scan&)>& piece,
                            std::uint64_t pieceBytes, const std::atomic<bool>* stop) {
    CountingSource counted(source, limit, stop);
    // Only three items go into a line, so only those are worked out on the way; the last
    // whole record is decoded once, at the end.
    RecordReader reader(counted);
    ReadStatus status;
    std::uint64_t pieceEnd = offset + pieceBytes;
    while ((status = reader.nextRaw(ProcessNumber)) == ReadStatus::Record) {
        addRawListLine(scan.lines, reader);
        scan.extents.push_back({offset + reader.recordStart(), offset + reader.recordEnd()});
        if (piece && scan.extents.back().end >= pieceEnd) {
            // The pieces grow: the first lines show soon, and the window takes few pieces.
            pieceBytes = std::min<std::uint64_t>(2 * pieceBytes, kLargestPiece);
            pieceEnd = scan.extents.back().end + pieceBytes;  // before piece() takes them
            if (!piece(scan)) return;
            scan.lines = Lines();
            scan.extents.clear();
        }
    }
    if (!scan.lines.empty()) reader.decodeInto(scan.last);
    scan.error = source.error();
    scan.whole = scan.identity && !scan.error && offset + counted.bytes == scan.identity->size;
    scan.cleanEnd = status == ReadStatus::End && counted.lastByte == '\n';
    scan.damaged = status == ReadStatus::Damaged && !scan.error;
}

std::shared_ptr<PageIndex::Lines> PageIndex::list(ListKind kind, const std::filesystem::path& file,
                                                  PageRecord& last, bool keep) {
    readError_ = 0;
    Entry& known = entry(kind);
    damaged_ = known.damaged;
    if (keep && known.known) {
        const std::optional<FileIdentity> now = fileIdentity(file);
        if (now && *now == known.identity) {
            // The last record, read from its place, must still be what it was.
            if (known.extents.empty() || readAt(known, file, known.extents.size() - 1, last))
                return known.lines;
        } else if (now && known.grownTo && *now == *known.grownTo && known.cleanEnd) {
            Scan added;
            if (readFrom(file, known.identity.size, added) && added.whole &&
                added.identity == now) {
                known.lines->append(added.lines);
                known.extents.insert(known.extents.end(), added.extents.begin(),
                                     added.extents.end());
                if (!added.extents.empty()) last = std::move(added.last);
                known.identity = *now;
                known.cleanEnd = added.cleanEnd;
                known.damaged = damaged_ = added.damaged;
                known.grownTo.reset();
                return known.lines;
            }
        }
    }

    known = Entry{};
    Scan scan;
    readFrom(file, 0, scan);
    readError_ = scan.error;
    damaged_ = scan.damaged;
    if (!scan.lines.empty()) last = std::move(scan.last);
    auto lines = std::make_shared<Lines>(std::move(scan.lines));
    if (keep && scan.whole) {
        known.known = true;
        known.identity = *scan.identity;
        known.lines = lines;
        known.extents = std::move(scan.extents);
        known.cleanEnd = scan.cleanEnd || scan.identity->size == 0;
        known.damaged = scan.damaged;
    }
    return lines;
}

std::shared_ptr<PageIndex::Lines> PageIndex::beginPieces(ListKind kind, std::uint64_t read,
                                                         const FileIdentity& identity) {
    Entry& known = entry(kind);
    known = Entry{};
    known.identity = identity;
    known.lines = std::make_shared<Lines>();
    known.coming = true;
    known.read = read;
    return known.lines;
}

void PageIndex::readPieces(ListKind kind, std::uint64_t read, FileSource& source,
                           std::uint64_t size, std::uint64_t pieceBytes,
                           const std::function<void(Piece)>& hand, const std::atomic<bool>& stop) {
    Scan scan;
    scan.identity = source.identity();
    if (scan.identity) scan.identity->size = size;  // the file as it was when it was opened
    const auto handOver = [&](Scan& part, bool last) {
        Piece piece{kind, read, std::move(part.lines), std::move(part.extents), last};
        if (last) {
            piece.error = part.error;
            piece.whole = part.whole;
            piece.cleanEnd = part.cleanEnd;
            piece.damaged = part.damaged;
        }
        hand(std::move(piece));
    };
    scanRecords(
        source, 0, scan, size,
        [&](Scan& part) {
            if (stop) return false;
            handOver(part, false);
            return true;
        },
        std::max<std::uint64_t>(pieceBytes, 1), &stop);
    if (!stop) handOver(scan, true);
}

bool PageIndex::addPiece(const Piece& piece) {
    Entry& known = entry(piece.kind);
    if (!known.coming || known.read != piece.read) return false;
    known.lines->append(piece.lines);
    known.extents.insert(known.extents.end(), piece.extents.begin(), piece.extents.end());
    if (!piece.last) return true;
    known.coming = false;
    if (piece.whole) {
        known.known = true;
        known.cleanEnd = piece.cleanEnd || known.identity.size == 0;
        known.damaged = piece.damaged;
    }
    return true;
}

bool PageIndex::readAt(const Entry& entry, const std::filesystem::path& file, std::size_t n,
                       PageRecord& into, std::string* raw) {
    const Extent extent = entry.extents[n];
    FileSource source;
    if (!source.open(file)) return false;
    const std::optional<FileIdentity> now = source.identity();
    if (!now || *now != entry.identity || !source.seek(extent.start)) return false;
    // Room for the record and a little more, so that one read brings all of it.
    const std::uint64_t length = extent.end - extent.start;
    RecordReader reader(source,
                        static_cast<std::size_t>(std::min<std::uint64_t>(length, 1 << 20)) + 256);
    // It must begin and end where it did, and give the line it gave.
    LineList line;
    if (reader.nextRaw(ProcessNumber) != ReadStatus::Record || reader.recordStart() != 0 ||
        reader.recordEnd() != length)
        return false;
    addRawListLine(line, reader);
    if (line.front() != (*entry.lines)[n]) return false;
    reader.decodeInto(into);
    if (raw) raw->assign(reader.rawRecord());
    return true;
}

bool PageIndex::readRecord(ListKind kind, const std::filesystem::path& file, int n,
                           PageRecord& into, std::string* raw) {
    const Entry& known = entry(kind);
    if (raw) raw->clear();
    if (n < 0 || !(known.known || known.coming)) return false;
    // While the lines come, only those read are known, and the last one is not yet.
    if (known.coming && static_cast<std::size_t>(n) >= known.extents.size()) return false;
    if (known.extents.empty()) {
        const std::optional<FileIdentity> now = fileIdentity(file);
        return now && *now == known.identity;  // there is nothing to read
    }
    const std::size_t last = known.extents.size() - 1;
    const auto wanted = static_cast<std::size_t>(n);
    return readAt(known, file, std::min(wanted, last), into, wanted <= last ? raw : nullptr);
}

std::optional<std::size_t> PageIndex::recordCount(ListKind kind,
                                                  const std::filesystem::path& file) {
    const Entry& known = entry(kind);
    if (!known.known) return std::nullopt;
    const std::optional<FileIdentity> now = fileIdentity(file);
    if (!now || *now != known.identity) return std::nullopt;
    return known.extents.size();
}

const std::vector<PageIndex::Extent>* PageIndex::placesOf(ListKind kind,
                                                          const FileIdentity& open) const {
    const Entry& known = entries_[static_cast<std::size_t>(kind)];
    if (!known.known || known.coming || known.damaged || !known.cleanEnd || known.grownTo ||
        known.extents.empty() || known.extents.back().end != open.size)
        return nullptr;
    return sameButChangeTime(known.identity, open) ? &known.extents : nullptr;
}

void PageIndex::appended(ListKind kind, const std::optional<FileIdentity>& before,
                         const std::optional<FileIdentity>& after, std::uint64_t bytes) {
    Entry& known = entry(kind);
    known.grownTo.reset();
    // Only the very file we knew, grown by exactly our bytes; anything else is read anew.
    if (known.known && before && after && *before == known.identity && bytes > 0 &&
        after->device == before->device && after->inode == before->inode &&
        after->size == before->size + bytes)
        known.grownTo = *after;
}

void PageIndex::rewritten(ListKind kind, const std::optional<FileIdentity>& before,
                          std::size_t line, std::optional<std::string_view> instead,
                          std::vector<Extent> places, bool cleanEnd,
                          const std::optional<FileIdentity>& after) {
    Entry& known = entry(kind);
    // The records kept are the bytes they were, so their lines are what a scan would give.
    const std::size_t removed = instead ? 0 : 1;
    if (!known.known || !before || !after || line >= known.extents.size() ||
        places.size() + removed != known.extents.size() ||
        !stillListed(known.identity, *before, known.extents, places, line, removed == 1)) {
        known = Entry{};
        return;
    }
    auto lines = std::make_shared<Lines>();
    for (std::size_t i = 0; i < known.lines->size(); ++i) {
        if (i != line)
            lines->push_back((*known.lines)[i]);
        else if (instead)
            lines->push_back(*instead);
    }
    known.lines = std::move(lines);
    known.extents = std::move(places);
    known.identity = *after;
    known.cleanEnd = cleanEnd;
    known.damaged = false;  // only whole records were written
    known.grownTo.reset();
}

}  // namespace holmtex
