#pragma once
// Reading and writing page records in the data-file format: items separated by commas,
// texts in double quotes without escapes, absent items as nothing, CR LF after item 49.
// Records may span lines; line ends inside quotes belong to the text.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// Reads a file through a plain file descriptor; closes it on destruction.
class FileSource : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool open(const std::filesystem::path& path);  // false when it cannot be opened
    void close();
    bool isOpen() const { return fd_ >= 0; }
    long read(char* buffer, std::size_t size) override;

private:
    int fd_ = -1;
};

enum class ReadStatus {
    Record,   // a whole record was read
    End,      // clean end of the data: nothing but blank lines after the last record
    Damaged,  // the data ends inside a record, a quote is never closed, or reading failed
};

// Streams records out of a byte source, one at a time.
class RecordReader {
public:
    explicit RecordReader(ByteSource& source, std::size_t bufferSize = 256 * 1024);

    // On Record, replaces all 49 items of `into`; otherwise leaves `into` untouched.
    ReadStatus next(PageRecord& into);

    // Byte offset where the record last returned begins, and the offset after it.
    std::uint64_t recordStart() const { return recordStart_; }
    std::uint64_t recordEnd() const { return recordEnd_; }

private:
    enum class Sep { Comma, LineEnd, Eof };
    bool fill();  // false at the end of the data or on an error
    int peek();   // next byte or -1 at the end
    bool readQuoted(std::string& value);
    void readBare(std::string& value);
    Sep readSeparator();

    ByteSource& source_;
    std::vector<char> buf_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t base_ = 0;  // file offset of buf_[0]
    bool eof_ = false, error_ = false;
    std::uint64_t recordStart_ = 0, recordEnd_ = 0;
    std::array<std::string, kItemCount> values_;
    std::array<bool, kItemCount> present_{};
};

// Appends the bytes of one record, item 49 followed by CR LF.
void writeRecord(std::string& out, const PageRecord& record);
std::string recordBytes(const PageRecord& record);

}  // namespace holmtex
