#include "record/record_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "record/codepage.h"

namespace holmtex {

long StringSource::read(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
}

FileSource::~FileSource() { close(); }

bool FileSource::open(const std::filesystem::path& path) {
    close();
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    return fd_ >= 0;
}

void FileSource::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

long FileSource::read(char* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

RecordReader::RecordReader(ByteSource& source, std::size_t bufferSize)
    : source_(source), buf_(bufferSize < 16 ? 16 : bufferSize) {}

bool RecordReader::fill() {
    if (pos_ < end_) return true;
    if (eof_ || error_) return false;
    base_ += end_;
    pos_ = end_ = 0;
    long n = source_.read(buf_.data(), buf_.size());
    if (n < 0) {
        error_ = true;
        return false;
    }
    if (n == 0) {
        eof_ = true;
        return false;
    }
    end_ = static_cast<std::size_t>(n);
    return true;
}

int RecordReader::peek() { return fill() ? static_cast<unsigned char>(buf_[pos_]) : -1; }

bool RecordReader::readQuoted(std::string& value) {
    ++pos_;  // the opening quote
    for (;;) {
        if (!fill()) return false;  // the quote is never closed
        const char* start = buf_.data() + pos_;
        const char* quote = static_cast<const char*>(std::memchr(start, '"', end_ - pos_));
        if (quote) {
            appendCp1252AsUtf8(value, start, quote - start);
            pos_ += (quote - start) + 1;
            break;
        }
        appendCp1252AsUtf8(value, start, end_ - pos_);
        pos_ = end_;
    }
    // Anything between the closing quote and the separator is not part of the item.
    for (int c = peek(); c >= 0 && c != ',' && c != '\r' && c != '\n'; c = peek()) ++pos_;
    return true;
}

void RecordReader::readBare(std::string& value) {
    while (fill()) {
        std::size_t stop = pos_;
        while (stop < end_ && buf_[stop] != ',' && buf_[stop] != '\r' && buf_[stop] != '\n') ++stop;
        appendCp1252AsUtf8(value, buf_.data() + pos_, stop - pos_);
        pos_ = stop;
        if (stop < end_) return;
    }
}

RecordReader::Sep RecordReader::readSeparator() {
    int c = peek();
    if (c == ',') {
        ++pos_;
        return Sep::Comma;
    }
    if (c == '\r') {
        ++pos_;
        if (peek() == '\n') ++pos_;
        return Sep::LineEnd;
    }
    if (c == '\n') {
        ++pos_;
        return Sep::LineEnd;
    }
    return Sep::Eof;
}

ReadStatus RecordReader::next(PageRecord& into) {
    // Blank lines between records carry nothing.
    int c = peek();
    while (c == '\r' || c == '\n') {
        ++pos_;
        c = peek();
    }
    if (error_) return ReadStatus::Damaged;
    if (c < 0) return ReadStatus::End;

    recordStart_ = base_ + pos_;
    Sep previous = Sep::LineEnd;
    for (int i = 0; i < kItemCount; ++i) {
        std::string& value = values_[i];
        value.clear();
        c = peek();
        if (c < 0 && previous != Sep::Comma) return ReadStatus::Damaged;
        if (c == '"') {
            if (!readQuoted(value)) return ReadStatus::Damaged;
            present_[i] = true;
        } else {
            readBare(value);
            present_[i] = !value.empty() || isTextItem(i + 1);
        }
        if (error_) return ReadStatus::Damaged;
        previous = readSeparator();
    }
    recordEnd_ = base_ + pos_;

    // Swap the values in so both sides keep their string capacity for the next record.
    for (int i = 0; i < kItemCount; ++i) {
        Item& target = into.items[i];
        if (present_[i]) {
            if (!target) target.emplace();
            target->swap(values_[i]);
        } else if (target) {
            target->swap(values_[i]);
            target.reset();
        }
    }
    return ReadStatus::Record;
}

void writeRecord(std::string& out, const PageRecord& record) {
    for (int n = 1; n <= kItemCount; ++n) {
        if (n > 1) out.push_back(',');
        const Item& item = record[n];
        if (item) {
            out.push_back('"');
            appendUtf8AsCp1252(out, *item);
            out.push_back('"');
        }
    }
    out.append("\r\n");
}

std::string recordBytes(const PageRecord& record) {
    std::string out;
    writeRecord(out, record);
    return out;
}

}  // namespace holmtex
