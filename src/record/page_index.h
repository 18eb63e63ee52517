#pragma once
// What reading a list file from its start taught us, kept while the file stays as it was:
// the list lines, where each record lies, and the last record. Opening a line then reads
// one record, a list shown again is not read again, and after our own append only the new
// bytes are read. Whether the file stayed as it was is told by its identity (device,
// inode, size, times); anything else reads the file from the start.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/data_files.h"
#include "record/line_list.h"
#include "record/page_record.h"
#include "record/record_io.h"

namespace holmtex {

class PageIndex {
public:
    using Lines = LineList;
    struct Extent {
        std::uint64_t start = 0, end = 0;  // bytes of the record in the file
    };

    // The list lines of the file, as reading it from the start gives them; `last` gets the
    // last whole record, and stays as it is for a list without one. Afterwards the lines
    // are kept only for a file whose identity could be taken before reading it; with
    // `keep` false nothing is kept nor used. The lines kept are only ever added to at
    // their end, by a later call for the same list.
    std::shared_ptr<Lines> list(ListKind kind, const std::filesystem::path& file, PageRecord& last,
                                bool keep = true);

    // Why the last list() could not read the whole file (0: it could, or it is missing);
    // its lines then are those of the records read before.
    int readError() const { return readError_; }
    // Whether the file of the last list() ends inside a record when read from its start, as
    // every operation that reads it whole sees it (a read error aside): one record of the
    // wrong shape anywhere leaves the rest out of step up to the end.
    bool damaged() const { return damaged_; }

    // Reads record n of the file into `into` straight from its place, when the file is as
    // it was listed; with fewer records, the last one, and with none, nothing. False when
    // that cannot be vouched for: `into` is then untouched and the file must be read from
    // the start. `raw` (when given) gets the bytes of record n, or nothing when it has none.
    bool readRecord(ListKind kind, const std::filesystem::path& file, int n, PageRecord& into,
                    std::string* raw = nullptr);

    // How many whole records the file has, when it is as it was listed.
    std::optional<std::size_t> recordCount(ListKind kind, const std::filesystem::path& file);
    // Where the list's records lie while the file opened with `open` is the one listed (its
    // change time aside, which the history's link moves), whole to its clean end; none
    // otherwise. Valid until the index next changes.
    const std::vector<Extent>* placesOf(ListKind kind, const FileIdentity& open) const;

    // We appended `bytes` bytes to the list file, which had the identity `before` then and
    // has `after` now. When the file was as listed before, the next list() reads only
    // what was appended.
    void appended(ListKind kind, const std::optional<FileIdentity>& before,
                  const std::optional<FileIdentity>& after, std::uint64_t bytes);

    // ---- A list read on another thread, in pieces ----
    // What a read aside found, in file order: lines with their places, and with the last
    // piece what the read as a whole found.
    struct Piece {
        ListKind kind = ListKind::Aktuell;
        std::uint64_t read = 0;  // the read it belongs to
        Lines lines;
        std::vector<Extent> extents;
        bool last = false;  // the read ends with it; then:
        int error = 0;      // the file could not be read to its end
        bool whole = false, cleanEnd = false, damaged = false;
    };
    // A number for a read aside to come.
    std::uint64_t nextRead() { return ++reads_; }
    // The read aside `read` of the file, which had `identity` when it was opened, begins:
    // what was known of the list is dropped, and its lines come by addPiece(). Gives those
    // lines, which grow as the pieces come.
    std::shared_ptr<Lines> beginPieces(ListKind kind, std::uint64_t read,
                                       const FileIdentity& identity);
    // Reads the list lines of the file open in `source` (at its first byte) up to `size`
    // bytes on the calling thread, and hands them to `hand` in pieces, the first of about
    // `pieceBytes` bytes of the file, each further one twice as long up to 64 MB, the last
    // piece last. Stops, handing nothing more, once `stop` is
    // set. Touches nothing of any index.
    static void readPieces(ListKind kind, std::uint64_t read, FileSource& source,
                           std::uint64_t size, std::uint64_t pieceBytes,
                           const std::function<void(Piece)>& hand, const std::atomic<bool>& stop);
    // Adds a piece of the list's read aside. False when the read is no longer the list's: a
    // list() or a change of the list came in between. After the last piece of a whole read
    // the list is known as after list().
    bool addPiece(const Piece& piece);
    // Whether lines of the list are still to come from a read aside. Meanwhile the lines come
    // are opened from their place (readRecord); nothing else is known of the list.
    bool piecesComing(ListKind kind) const {
        return entries_[static_cast<std::size_t>(kind)].coming;
    }

    // We wrote the list file anew with its records but record `line`, or with a record whose
    // list line is `instead` in its place; the records now lie at `places`. It had the
    // identity `before` when it was read for that and has `after` now; `cleanEnd` as for
    // Entry. When the file was as listed before, its lines are kept with that change, so the
    // next list() reads nothing.
    void rewritten(ListKind kind, const std::optional<FileIdentity>& before, std::size_t line,
                   std::optional<std::string_view> instead, std::vector<Extent> places,
                   bool cleanEnd, const std::optional<FileIdentity>& after);

private:
    struct Entry {
        bool known = false;
        FileIdentity identity;
        std::shared_ptr<Lines> lines;
        std::vector<Extent> extents;  // one per line
        // The file ends in a line end after a whole record (or is empty), so bytes added
        // behind it begin a record of their own.
        bool cleanEnd = false;
        bool damaged = false;                 // see damaged()
        std::optional<FileIdentity> grownTo;  // after our own append to the file as known
        bool coming = false;                  // its lines come from a read aside
        std::uint64_t read = 0;               // that read
    };

    struct Scan;
    static bool readFrom(const std::filesystem::path& file, std::uint64_t offset, Scan& scan);
    // Reads list lines from `source`, which stands at byte `offset` of the file, to its end
    // or `limit` bytes, into `scan`; see readFrom. `piece` takes the lines read so far once
    // they reach `pieceBytes` bytes of the file, then twice as many each time (up to 64 MB);
    // false from it stops the read, as `stop` does once set.
    static void scanRecords(FileSource& source, std::uint64_t offset, Scan& scan,
                            std::uint64_t limit = UINT64_MAX,
                            const std::function<bool(Scan&)>& piece = {},
                            std::uint64_t pieceBytes = 0, const std::atomic<bool>* stop = nullptr);
    static bool readAt(const Entry& entry, const std::filesystem::path& file, std::size_t n,
                       PageRecord& into, std::string* raw = nullptr);
    Entry& entry(ListKind kind) { return entries_[static_cast<std::size_t>(kind)]; }

    std::array<Entry, 3> entries_;
    std::uint64_t reads_ = 0;
    int readError_ = 0;
    bool damaged_ = false;
};

}  // namespace holmtex
