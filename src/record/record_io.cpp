#include "record/record_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "record/block_scan.h"
#include "record/codepage.h"
#include "record/posix_io.h"

namespace holmtex {

long StringSource::read(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
}

namespace {

FileIdentity identityOf(const struct stat& st) {
    FileIdentity id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identityOf(st);
}

FileSource::~FileSource() { close(); }

FileResult FileSource::open(const std::filesystem::path& path) {
    close();
    // Without waiting: a named pipe would wait for a writer, a device may wait too. On a plain
    // file the flag changes nothing.
    fd_ = posix::openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        // A socket cannot be opened at all.
        error_ = errno == ENXIO ? kNotAPlainFile : errno;
        return FileResult::of(error_, path);
    }
    struct stat st {};
    error_ = ::fstat(fd_, &st) == 0 ? posix::plainFileError(st.st_mode) : errno;
    if (error_) close();
    return FileResult::of(error_, path);
}

bool FileSource::seek(std::uint64_t offset) {
    return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::optional<FileIdentity> FileSource::identity() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identityOf(st);
}

void FileSource::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

long FileSource::read(char* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = errno;
        return static_cast<long>(n);
    }
}

namespace {

bool endsItem(char c) { return c == ',' || c == '\r' || c == '\n'; }

}  // namespace

RecordReader::RecordReader(ByteSource& source, std::size_t bufferSize)
    : source_(source),
      size_(bufferSize < 16 ? 16 : bufferSize),
      buf_(size_ + scan::kSlack),
      quoteBits_(size_ / scan::kBlock + 2) {}

RecordReader::~RecordReader() = default;

bool RecordReader::fill() {
    if (eof_ || error_) return false;
    // Keep the last record and whatever has not been read yet; drop what lies before.
    const std::size_t keep = hasLast_ ? lastStart_ : pos_;
    if (keep > 0) {
        std::memmove(buf_.data(), buf_.data() + keep, end_ - keep);
        end_ -= keep;
        pos_ -= keep;
        if (hasLast_) lastStart_ -= keep;
        base_ += keep;
    }
    // A record longer than the buffer makes it grow.
    if (end_ == size_) {
        size_ *= 2;
        buf_.resize(size_ + scan::kSlack);
        quoteBits_.resize(size_ / scan::kBlock + 2);
    }
    // Fill up completely, so a source that hands out little at a time does not make us
    // parse the same record over and over.
    const std::size_t before = end_;
    while (end_ < size_) {
        long n = source_.read(buf_.data() + end_, size_ - end_);
        if (n < 0) {
            error_ = true;
            break;
        }
        if (n == 0) {
            eof_ = true;
            break;
        }
        end_ += static_cast<std::size_t>(n);
    }
    // All of it, as the kept bytes moved; they are few next to the bytes just read.
    scan::markQuotes(buf_.data(), end_, quoteBits_.data());
    bytes_ = {buf_.data(), end_, quoteBits_.data()};
    return end_ > before;
}

// Finds the items of the record at start, the plain way that takes any bytes: the
// reference the fast ways of block_scan.h agree with. NeedMore when the bytes end before
// the record does and more may come. Once nothing more can come, the end of the data ends
// the last item as a separator would, unless a read error stopped it; an item that has not
// begun when the data ends is damage, even right after a comma: a record cut after its
// 48th comma is as unfinished as one cut anywhere else.
RecordReader::Parse RecordReader::parse(std::size_t start, ItemSpans& spans,
                                        std::size_t& length) const {
    const bool error = error_, final = eof_ || error;
    const char* begin = buf_.data() + start;
    const std::size_t size = end_ - start;
    scan::StopFinder stops(begin, size);
    std::size_t p = 0;
    for (int i = 0; i < kItemCount; ++i) {
        ItemSpan& span = spans[i];
        if (p == size) return final ? Parse::Damaged : Parse::NeedMore;
        // The items of the written shape, "text" and an empty bare item, take the short way.
        const char c = begin[p];
        if (c == '"') {
            const void* found = std::memchr(begin + p + 1, '"', size - p - 1);
            if (!found) return final ? Parse::Damaged : Parse::NeedMore;
            const auto quote = static_cast<std::size_t>(static_cast<const char*>(found) - begin);
            span = {p + 1, quote - p - 1, true};
            p = quote + 1;
            if (p < size && begin[p] == ',') {
                ++p;
                continue;
            }
            // Anything between the closing quote and the separator is not part of the item.
            if (p < size && !endsItem(begin[p])) p = stops.next(p);
        } else if (c == ',') {
            span = {p, 0, isTextItem(i + 1)};
            ++p;
            continue;
        } else {
            const std::size_t text = p;
            if (!endsItem(c)) p = stops.next(p);
            span = {text, p - text, p != text || isTextItem(i + 1)};
        }
        if (p == size) {
            if (!final) return Parse::NeedMore;
            if (error) return Parse::Damaged;
        } else if (begin[p] == ',') {
            ++p;
        } else if (begin[p++] == '\r') {
            if (p == size && !final) return Parse::NeedMore;
            if (p < size && begin[p] == '\n') ++p;
        }
    }
    length = p;
    return Parse::Complete;
}

bool RecordReader::skipBlankLines() {
    // Blank lines between records carry nothing.
    for (;;) {
        while (pos_ < end_ && (buf_[pos_] == '\r' || buf_[pos_] == '\n')) ++pos_;
        if (pos_ < end_) return true;
        if (!fill()) return false;
    }
}

ReadStatus RecordReader::takeRecord(std::size_t length, int known, std::size_t walked,
                                    bool written) {
    recordStart_ = base_ + pos_;
    last_ = 1 - last_;
    lastKnown_ = known;
    lastWalked_ = walked;
    lastWritten_ = written;
    hasLast_ = true;
    lastStart_ = pos_;
    lastLength_ = length;
    pos_ += length;
    recordEnd_ = base_ + pos_;
    return ReadStatus::Record;
}

ReadStatus RecordReader::nextRaw(int wanted) {
    if (!skipBlankLines()) return error_ ? ReadStatus::Damaged : ReadStatus::End;
    ItemSpans& spans = spans_[1 - last_];
    const int walk = std::clamp(wanted, 1, kItemCount);
    for (;;) {
        std::size_t after = 0;
        // The items wanted one by one and the rest passed over in blocks, or all one by one.
        if (walk < kItemCount && scan::walkWritten(bytes_, pos_, walk, spans, after)) {
            const std::size_t walked = after - pos_;
            if (scan::passWritten(bytes_, after, kItemCount - walk))
                return takeRecord(after - pos_, walk, walked, true);
        }
        if (scan::walkWritten(bytes_, pos_, kItemCount, spans, after))
            return takeRecord(after - pos_, kItemCount, 0, true);
        std::size_t length = 0;
        switch (parse(pos_, spans, length)) {
            case Parse::Complete:
                return takeRecord(length, kItemCount, 0, false);
            case Parse::Damaged:
                recordStart_ = base_ + pos_;
                pos_ = end_;  // the damage reaches the end of the data
                return ReadStatus::Damaged;
            case Parse::NeedMore:
                fill();  // either more bytes, or the end is known for the next look
                break;
        }
    }
}

void RecordReader::finishLast() {
    // The record was taken for the written shape, and its bytes are all still here.
    std::size_t after = 0;
    if (!scan::walkWritten(bytes_, lastStart_, kItemCount, spans_[last_], after)) {
        std::size_t length = 0;
        parse(lastStart_, spans_[last_], length);
    }
    lastKnown_ = kItemCount;
}

std::string_view RecordReader::rawItem(int n) {
    if (!hasLast_) return {};
    if (n > lastKnown_) finishLast();
    const ItemSpan& span = spans_[last_][n - 1];
    return {buf_.data() + lastStart_ + span.begin, span.size};
}

std::size_t RecordReader::joinRawItems(int first, int last, char* out) {
    if (!hasLast_) return 0;
    const char* const record = buf_.data() + lastStart_;
    // The items nobody has asked for yet have the written shape: the bytes between their
    // quotes are theirs, found block by block.
    const bool quotedRest =
        last == kItemCount && lastKnown_ < kItemCount && first <= lastKnown_ + 1;
    if (!quotedRest && last > lastKnown_) finishLast();
    char* w = out;
    // Most items are short: one 16-byte copy each, of which only the item's bytes count.
    // The buffer has room behind the record for it.
    for (int n = first; n <= std::min(last, lastKnown_); ++n) {
        const ItemSpan& span = spans_[last_][n - 1];
        const char* const from = record + span.begin;
        std::memcpy(w, from, 16);
        if (span.size > 16) std::memcpy(w + 16, from + 16, span.size - 16);
        w += span.size;
    }
    if (quotedRest)
        w = scan::joinQuoted(bytes_, lastStart_ + lastWalked_, lastStart_ + lastLength_, w);
    return static_cast<std::size_t>(w - out);
}

void RecordReader::appendWritten(std::string& out, int extended, std::string_view extra) {
    if (!hasLast_) return;
    const std::string_view raw = rawRecord();
    if (extended > lastKnown_ || !lastWritten_ ||
        !scan::writtenAsIs(bytes_, lastStart_, raw.size())) {
        appendRebuilt(out, extended, extra);
        return;
    }
    // The bytes as they are; `extra` before the closing quote of the extended item, or as a
    // text of its own where it has none.
    if (extended == 0) {
        out.append(raw);
        return;
    }
    const ItemSpan& span = spans_[last_][extended - 1];
    const std::size_t at = span.begin + span.size;
    out.append(raw.substr(0, at));
    if (!span.present) out.push_back('"');
    out.append(extra);
    if (!span.present) out.push_back('"');
    out.append(raw.substr(at));
}

void RecordReader::appendRebuilt(std::string& out, int extended, std::string_view extra) {
    if (lastKnown_ < kItemCount) finishLast();
    // Decoding and encoding give every byte back, so the bytes are written as they are; only
    // the quotes, separators and the line end are the writer's own.
    const char* const record = buf_.data() + lastStart_;
    const std::size_t at = out.size();
    out.resize(at + lastLength_ + 3 * kItemCount + 2 + extra.size());  // room enough
    char* w = out.data() + at;
    for (int n = 1; n <= kItemCount; ++n) {
        if (n > 1) *w++ = ',';
        const ItemSpan& span = spans_[last_][n - 1];
        if (!span.present && n != extended) continue;
        *w++ = '"';
        w = std::copy_n(record + span.begin, span.size, w);
        if (n == extended) w = std::copy(extra.begin(), extra.end(), w);
        *w++ = '"';
    }
    *w++ = '\r';
    *w++ = '\n';
    out.resize(static_cast<std::size_t>(w - out.data()));
}

void RecordReader::decodeInto(PageRecord& into) {
    if (!hasLast_) return;
    if (lastKnown_ < kItemCount) finishLast();
    into.assign(spareTexts_, [&](ItemBounds& bounds) {
        scan::decodeSpans(buf_.data() + lastStart_, spans_[last_], spareTexts_, growth_, bounds);
    });
}

ReadStatus RecordReader::next(PageRecord& into) {
    if (!skipBlankLines()) return error_ ? ReadStatus::Damaged : ReadStatus::End;
    // Records of the written shape take the short way; into stays untouched unless it
    // succeeds. Their spans are worked out only when someone asks for them.
    std::uint32_t separators[kItemCount];
    std::size_t length = 0;
    if (scan::decodeWritten(bytes_, pos_, spareTexts_, separators, length)) {
        into.assign(spareTexts_, [&](ItemBounds& bounds) {
            scan::placeWritten(spareTexts_.data(), separators, bounds);
        });
        return takeRecord(length, 0, 0, true);
    }
    const ReadStatus status = nextRaw();
    if (status == ReadStatus::Record) decodeInto(into);
    return status;
}

void writeRecord(std::string& out, const PageRecord& record) {
    for (int n = 1; n <= kItemCount; ++n) {
        if (n > 1) out.push_back(',');
        if (record.has(n)) {
            out.push_back('"');
            appendUtf8AsCp1252(out, record.text(n));
            out.push_back('"');
        }
    }
    out.append("\r\n");
}

std::string withoutQuotes(std::string text) {
    std::replace(text.begin(), text.end(), '"', '\'');
    return text;
}

bool removeQuotes(PageRecord& record) {
    bool any = false;
    for (int n = 1; n <= kItemCount; ++n) {
        if (record.text(n).find('"') == std::string_view::npos) continue;
        record.set(n, withoutQuotes(std::string(record.text(n))));
        any = true;
    }
    return any;
}

void writeRecordWithoutQuotes(std::string& out, const PageRecord& record) {
    PageRecord copy = record;
    removeQuotes(copy);
    writeRecord(out, copy);
}

std::string recordBytes(const PageRecord& record) {
    std::string out;
    writeRecord(out, record);
    return out;
}

PagesFile readPagesFile(const std::filesystem::path& file, PageRecord& last) {
    PagesFile read;
    FileSource source;
    if ((read.failure = source.open(file)).error) return read;
    RecordReader reader(source);
    ReadStatus status;
    while ((status = reader.next(last)) == ReadStatus::Record) {
        ++read.pages;
        removeQuotes(last);
        writeRecord(read.bytes, last);
    }
    read.damaged = status != ReadStatus::End;
    return read;
}

}  // namespace holmtex
