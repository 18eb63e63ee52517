#pragma once
// Reading and writing page records in the data-file format: items separated by commas,
// texts in double quotes without escapes, absent items as nothing, CR LF after item 49.
// Records may span lines; line ends inside quotes belong to the text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/file_result.h"
#include "record/page_record.h"

namespace holmtex {

// Where the reader gets its bytes from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to size bytes; returns the count, 0 at the end, -1 on a read error.
    virtual long read(char* buffer, std::size_t size) = 0;
};

class StringSource : public ByteSource {
public:
    explicit StringSource(std::string bytes) : bytes_(std::move(bytes)) {}
    long read(char* buffer, std::size_t size) override;

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

// Tells one state of a file from another without reading it: which file it is (device,
// inode), its size, and the times of its last write and last change, in nanoseconds.
// Writing, truncating or replacing the file changes at least one of them.
struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNs = 0, changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The same file with the same contents, its change time aside: the history keeps a list by
// a hard link just before the list is written anew, which moves that time and nothing else.
inline bool sameButChangeTime(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs;
}

// The identity of the file a path names (links followed); none when it cannot be looked at.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

// Reads a file through a plain file descriptor; closes it on destruction.
class FileSource : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Not ok when it cannot be read: ENOENT when it is missing, EISDIR for a folder (which
    // opens on Linux but gives no bytes), kNotAPlainFile for a pipe, device or socket, which
    // is refused without waiting and without a byte read.
    FileResult open(const std::filesystem::path& path);
    void close();
    long read(char* buffer, std::size_t size) override;
    // The next read starts at this byte of the file; false when it cannot.
    bool seek(std::uint64_t offset);
    // Of the file that is open; none when it cannot be looked at.
    std::optional<FileIdentity> identity() const;
    // The errno of the last open or read that failed, 0 when none did.
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

enum class ReadStatus {
    Record,   // a whole record was read
    End,      // clean end of the data: nothing but blank lines after the last record
    Damaged,  // the data ends inside a record, a quote is never closed, or reading failed
};

// Where an item lies in the bytes of its record: its text (inside the quotes, if any)
// begins `begin` bytes into the record and has `size` bytes; absent when not present.
struct ItemSpan {
    std::size_t begin = 0, size = 0;
    bool present = false;
};
using ItemSpans = std::array<ItemSpan, kItemCount>;

namespace scan {
// The bytes a reader has at hand, for the block scan (block_scan.h): data in buf[0, end),
// readable up to end + kSlack. Bit i of quoteBits[b] is set when buf[64 * b + i] is a
// quote; after the data's words comes one with bit 0 set, a stop for a walk along the quotes.
struct Buffer {
    const char* buf = nullptr;
    std::size_t end = 0;
    const std::uint64_t* quoteBits = nullptr;
};
struct BlockGrowth;
}  // namespace scan

// Streams records out of a byte source, one at a time.
class RecordReader {
public:
    explicit RecordReader(ByteSource& source, std::size_t bufferSize = 256 * 1024);
    ~RecordReader();

    // On Record, replaces all 49 items of `into`; otherwise leaves `into` untouched.
    ReadStatus next(PageRecord& into);

    // Like next(), but leaves the record as bytes: take single items with rawItem() or
    // all of them with decodeInto(). The record stays at hand until another one is
    // found, so after End or Damaged the last whole record can still be decoded.
    // `wanted` says up to which item rawItem() will be asked for; the items after it
    // are passed over as fast as the bytes allow and only worked out when asked for.
    ReadStatus nextRaw(int wanted = kItemCount);
    // The Windows-1252 bytes of item n (1..49) of that record; empty when absent.
    std::string_view rawItem(int n);
    // The bytes of items first to last (1..49) of that record joined with nothing between
    // them, stored at out; returns their count. out needs room for the record's bytes
    // (rawRecord().size()) and 16 more.
    std::size_t joinRawItems(int first, int last, char* out);
    // Appends that record as writeRecord() writes it once decoded, straight from its bytes,
    // with `extra` added at the end of item `extended` (none when 0), which then has a value.
    void appendWritten(std::string& out, int extended = 0, std::string_view extra = {});
    // Whether that record has the written shape, the one our own writer gives a record:
    // every item in quotes or empty, and outside quotes nothing but commas and line ends.
    bool inWrittenShape() const { return hasLast_ && lastWritten_; }
    // Replaces all 49 items of `into` with that record's, as next() does.
    void decodeInto(PageRecord& into);

    // Byte offset where the record last returned begins, and the offset after it. After
    // Damaged, recordStart() is where the unfinished record begins.
    std::uint64_t recordStart() const { return recordStart_; }
    std::uint64_t recordEnd() const { return recordEnd_; }
    // The bytes of the last whole record, its line end included, as they stand in the
    // data; valid until the next call that reads.
    std::string_view rawRecord() const {
        return hasLast_ ? std::string_view(buf_.data() + lastStart_, lastLength_)
                        : std::string_view();
    }

private:
    enum class Parse { Complete, NeedMore, Damaged };

    bool fill();            // false when no byte came: the end of the data or an error
    bool skipBlankLines();  // false when the data ends first
    // The plain way of finding the items of the record at buffer position start, for any
    // bytes; see the .cpp.
    Parse parse(std::size_t start, ItemSpans& spans, std::size_t& length) const;
    // The record of `length` bytes at pos_ is the last one now; `known` of its items have
    // their spans, and when that is not all, the next item begins `walked` bytes into it.
    // `written`: it has the written shape.
    ReadStatus takeRecord(std::size_t length, int known, std::size_t walked, bool written);
    void finishLast();  // all spans of the last record, when only some were worked out
    void appendRebuilt(std::string& out, int extended, std::string_view extra);

    ByteSource& source_;
    std::size_t size_;       // bytes the buffer holds; buf_ has some spare after them
    std::vector<char> buf_;  // so the scan may look at whole blocks past the data
    // Bit i of word b: buf_[64 * b + i] is a quote; see scan::Buffer.
    std::vector<std::uint64_t> quoteBits_;
    std::size_t pos_ = 0, end_ = 0;  // next unread byte; end of the bytes in buf_
    // The three above for the block scan, set each time the buffer fills, so that the scan
    // reads them from where they have long stood.
    scan::Buffer bytes_;
    std::uint64_t base_ = 0;  // file offset of buf_[0]
    bool eof_ = false, error_ = false;
    std::uint64_t recordStart_ = 0, recordEnd_ = 0;
    // The record last found: its bytes start at buf_[lastStart_] and stay in the buffer.
    bool hasLast_ = false;
    std::size_t lastStart_ = 0, lastLength_ = 0;
    ItemSpans spans_[2];
    int last_ = 0;                // which of spans_ is the last record's; the other is scratch
    int lastKnown_ = 0;           // how many items of the last record have their spans
    std::size_t lastWalked_ = 0;  // with fewer than all: where the next item begins
    bool lastWritten_ = false;    // see inWrittenShape()
    std::string spareTexts_;      // records are decoded into it, then swapped in
    std::vector<scan::BlockGrowth> growth_;  // room for decoding
};

// Appends the bytes of one record, item 49 followed by CR LF. Every text is written in
// quotes as it is: the caller sees to it that none holds a double quote.
void writeRecord(std::string& out, const PageRecord& record);
std::string recordBytes(const PageRecord& record);

// The format has no escape for a double quote: written in quotes, one would end its item
// early. So an apostrophe takes its place, in every text that is to be written.
std::string withoutQuotes(std::string text);
// The whole pages of a file of pages (the transfer file), read through and written anew
// without quotes inside their items, ready to be appended to a list.
struct PagesFile {
    FileResult failure;    // it could not be opened or read (ENOENT: it is missing)
    bool damaged = false;  // it ends inside a page
    int pages = 0;
    std::string bytes;
};
// `last` gets the last page.
PagesFile readPagesFile(const std::filesystem::path& file, PageRecord& last);

// withoutQuotes() for every item; false when none held a quote (the record is unchanged).
// A bare item of a foreign file may hold one.
bool removeQuotes(PageRecord& record);
// writeRecord() of the record as removeQuotes() leaves it.
void writeRecordWithoutQuotes(std::string& out, const PageRecord& record);

}  // namespace holmtex
