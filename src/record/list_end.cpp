#include "record/list_end.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "record/page_record.h"
#include "record/posix_io.h"
#include "record/record_io.h"

namespace holmtex {

namespace {

// Reads an open file from an offset on, for the record reader.
class DescriptorSource : public ByteSource {
public:
    DescriptorSource(int fd, std::uint64_t offset) : fd_(fd), offset_(offset) {}
    long read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::pread(fd_, buffer, size, static_cast<off_t>(offset_));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = errno;
            if (n > 0) offset_ += static_cast<std::uint64_t>(n);
            return static_cast<long>(n);
        }
    }
    int error = 0;

private:
    int fd_;
    std::uint64_t offset_;
};

bool endsLine(char c) { return c == '\r' || c == '\n'; }

// Reads the file from `offset` to its end as records: whether they end whole.
Tail readRecordsFrom(int fd, std::uint64_t offset, std::size_t* records = nullptr) {
    Tail tail;
    DescriptorSource source(fd, offset);
    RecordReader reader(source);
    ReadStatus status;
    std::size_t count = 0;
    while ((status = reader.nextRaw(1)) == ReadStatus::Record) ++count;
    if (records) *records = count;
    tail.error = source.error;
    tail.unfinished = status == ReadStatus::Damaged && !tail.error;
    return tail;
}

}  // namespace

// Finds where the last record in `tail` (the last bytes of a file; `whole`: all of them)
// begins, walking back over its 49 items when they have the shape our writer gives them:
// quoted or empty, separated by commas, after a line end or at the start. NeedMore when the
// bytes before `tail` are wanted, OtherShape for any other shape. A text cut short holds no
// quote, so its end can never pass for the end of a record of this shape.
Walk findLastRecord(std::string_view tail, bool whole, std::size_t& start) {
    std::size_t p = tail.size();
    while (p > 0 && endsLine(tail[p - 1])) --p;
    if (p == 0) return whole ? Walk::NoRecord : Walk::NeedMore;
    const Walk cut = whole ? Walk::OtherShape : Walk::NeedMore;  // the bytes run out
    for (int item = kItemCount;; --item) {
        // The item ends at p; b becomes where it begins.
        std::size_t b = p;
        if (tail[p - 1] == '"') {
            if (p < 2) return cut;
            const std::size_t open = tail.rfind('"', p - 2);
            if (open == std::string_view::npos) return cut;
            b = open;
        } else if (tail[p - 1] != ',' && !(item == 1 && endsLine(tail[p - 1]))) {
            return Walk::OtherShape;  // a bare item with text
        }
        if (b == 0) {
            if (!whole) return Walk::NeedMore;
            if (item > 1) return Walk::OtherShape;
        } else if (item > 1 ? tail[b - 1] != ',' : !endsLine(tail[b - 1])) {
            return Walk::OtherShape;
        }
        if (item == 1) {
            start = b;
            return Walk::Found;
        }
        p = b - 1;
        if (p == 0) return cut;
    }
}

Walk walkBackToLastRecord(const ReadAt& readAt, std::uint64_t size, std::uint64_t firstWindow,
                          std::string& bytes, std::uint64_t& start, int& error) {
    for (std::uint64_t window = std::max<std::uint64_t>(firstWindow, 1);; window *= 4) {
        const std::uint64_t from = size > window ? size - window : 0;
        if ((error = readAt(from, static_cast<std::size_t>(size - from), bytes)))
            return Walk::OtherShape;
        if (bytes.size() != size - from) {  // shorter than it was a moment ago
            error = EIO;
            return Walk::OtherShape;
        }
        std::size_t at = 0;
        const Walk walk = findLastRecord(bytes, from == 0, at);
        if (walk == Walk::NeedMore) continue;
        start = from + at;
        return walk;
    }
}

// How the file of `size` bytes ends. Usually only its last record is read: it is found
// from the end and then read forward to check it. A file of another shape is read whole.
Tail inspectTail(int fd, std::uint64_t size, std::uint64_t firstWindow) {
    Tail tail;
    if (size == 0) return tail;
    std::string bytes;
    std::uint64_t lastStart = 0;
    const Walk walk = walkBackToLastRecord(
        [fd](std::uint64_t from, std::size_t length, std::string& out) {
            return posix::readAt(fd, from, length, out);
        },
        size, firstWindow, bytes, lastStart, tail.error);
    if (tail.error) return tail;
    const char last = bytes.back();
    tail.lineEnd = last == '\n' ? "" : last == '\r' ? "\n" : "\r\n";
    if (walk == Walk::NoRecord) return tail;
    if (walk == Walk::Found) {
        std::size_t records = 0;
        const Tail check = readRecordsFrom(fd, lastStart, &records);
        if (check.error) return check;
        if (!check.unfinished && records == 1) return tail;
    }
    const Tail whole = readRecordsFrom(fd, 0);
    if (whole.error || whole.unfinished) return whole;
    return tail;
}

}  // namespace holmtex
