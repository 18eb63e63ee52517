#pragma once
// What reading a list file from its start taught us, kept while the file stays as it was:
// the list lines, where each record lies, and the last record. Opening a line then reads
// one record, a list shown again is not read again, and after our own append only the new
// bytes are read. Whether the file stayed as it was is told by its identity (device,
// inode, size, times); anything else reads the file from the start.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
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

    // We appended `bytes` bytes to the list file, which had the identity `before` then and
    // has `after` now. When the file was as listed before, the next list() reads only
    // what was appended.
    void appended(ListKind kind, const std::optional<FileIdentity>& before,
                  const std::optional<FileIdentity>& after, std::uint64_t bytes);

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
    };

    struct Scan;
    static bool readFrom(const std::filesystem::path& file, std::uint64_t offset, Scan& scan);
    static bool readAt(const Entry& entry, const std::filesystem::path& file, std::size_t n,
                       PageRecord& into, std::string* raw = nullptr);
    Entry& entry(ListKind kind) { return entries_[static_cast<std::size_t>(kind)]; }

    std::array<Entry, 3> entries_;
    int readError_ = 0;
    bool damaged_ = false;
};

}  // namespace holmtex
