#include "record/list_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>

#include "record/data_files.h"
#include "record/page_record.h"
#include "record/posix_io.h"
#include "record/record_io.h"

namespace holmtex {

namespace {

using posix::Descriptor;

std::string bareName(const std::filesystem::path& path) { return path.filename().string(); }

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

// ---- The end of a list file ----

struct Tail {
    int error = 0;
    bool unfinished = false;   // the file ends inside a record
    std::string_view lineEnd;  // what the last record still needs before a new one
};

enum class Walk { Found, NoRecord, NeedMore, OtherShape };

bool endsLine(char c) { return c == '\r' || c == '\n'; }

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

// How the file of `size` bytes ends. Usually only its last record is read: it is found
// from the end and then read forward to check it. A file of another shape is read whole.
Tail inspectTail(int fd, std::uint64_t size) {
    Tail tail;
    if (size == 0) return tail;
    std::string bytes;
    std::optional<std::uint64_t> lastStart;
    bool noRecord = false;
    for (std::uint64_t window = 64 * 1024;; window *= 4) {
        const std::uint64_t from = size > window ? size - window : 0;
        if ((tail.error = posix::readAt(fd, from, static_cast<std::size_t>(size - from), bytes)))
            return tail;
        if (bytes.size() != size - from) {  // shorter than it was a moment ago
            tail.error = EIO;
            return tail;
        }
        std::size_t start = 0;
        const Walk walk = findLastRecord(bytes, from == 0, start);
        if (walk == Walk::NeedMore) continue;
        if (walk == Walk::Found) lastStart = from + start;
        noRecord = walk == Walk::NoRecord;
        break;
    }
    const char last = bytes.back();
    tail.lineEnd = last == '\n' ? "" : last == '\r' ? "\n" : "\r\n";
    if (noRecord) return tail;
    if (lastStart) {
        std::size_t records = 0;
        const Tail check = readRecordsFrom(fd, *lastStart, &records);
        if (check.error) return check;
        if (!check.unfinished && records == 1) return tail;
    }
    const Tail whole = readRecordsFrom(fd, 0);
    if (whole.error || whole.unfinished) return whole;
    return tail;
}

// ---- The redo file ----

constexpr std::string_view kRedoMagic = "holmtex-anhang 1\n";

// What an append is about to do to a file.
struct Redo {
    std::uint64_t device = 0, inode = 0, oldSize = 0;
    std::string_view bytes;
};

std::uint64_t checksum(std::string_view bytes) {
    std::uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a
    for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ULL;
    return h;
}

std::string redoHeader(const Redo& redo) {
    char line[160];
    const int n = std::snprintf(line, sizeof line, "%llu %llu %llu %zu %llx\n",
                                static_cast<unsigned long long>(redo.device),
                                static_cast<unsigned long long>(redo.inode),
                                static_cast<unsigned long long>(redo.oldSize), redo.bytes.size(),
                                static_cast<unsigned long long>(checksum(redo.bytes)));
    return std::string(kRedoMagic) + std::string(line, static_cast<std::size_t>(n));
}

// A redo file written whole, or nothing.
std::optional<Redo> parseRedo(std::string_view data) {
    if (data.substr(0, kRedoMagic.size()) != kRedoMagic) return std::nullopt;
    data.remove_prefix(kRedoMagic.size());
    const std::size_t newline = data.find('\n');
    if (newline == std::string_view::npos) return std::nullopt;
    const char* p = data.data();
    const char* const end = p + newline;
    std::uint64_t fields[5];
    for (int i = 0; i < 5; ++i) {
        const auto [next, ec] = std::from_chars(p, end, fields[i], i == 4 ? 16 : 10);
        if (ec != std::errc() || next == p) return std::nullopt;
        p = next;
        if (i < 4 && (p == end || *p++ != ' ')) return std::nullopt;
    }
    if (p != end) return std::nullopt;
    Redo redo{fields[0], fields[1], fields[2], data.substr(newline + 1)};
    if (redo.bytes.size() != fields[3] || checksum(redo.bytes) != fields[4]) return std::nullopt;
    return redo;
}

int writeRedo(const std::filesystem::path& path, const Redo& redo) {
    Descriptor fd(posix::openRetrying(path.c_str(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return errno;
    int error = posix::writeAll(fd.get(), redoHeader(redo));
    if (!error) error = posix::writeAll(fd.get(), redo.bytes);
    if (!error && ::fsync(fd.get()) != 0) error = errno;
    if (const int closeError = fd.close(); !error) error = closeError;
    if (!error) error = syncFolder(path.parent_path()).error;
    if (error) ::unlink(path.c_str());
    return error;
}

int removeRedo(const std::filesystem::path& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

}  // namespace

std::filesystem::path appendRedoFile(const std::filesystem::path& file) {
    std::filesystem::path redo = file;
    redo += ".anhang";
    return redo;
}

namespace {

int finishAppend(const std::filesystem::path& file, const std::filesystem::path& redoPath) {
    struct stat st {};
    if (::lstat(redoPath.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    std::string data;
    {
        Descriptor fd(posix::openRetrying(redoPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid()) return errno;
        if (int error = posix::readAt(fd.get(), 0, static_cast<std::size_t>(st.st_size), data))
            return error;
    }
    const std::optional<Redo> redo = parseRedo(data);
    // Not written whole: the append had not begun.
    if (!redo) return removeRedo(redoPath);

    // An append that was to create the file may not have got that far.
    const bool create = redo->inode == 0;
    Descriptor fd(posix::openRetrying(
        file.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | (create ? O_CREAT : 0), 0666));
    if (!fd.valid()) return errno == ENOENT ? removeRedo(redoPath) : errno;
    if (::fstat(fd.get(), &st) != 0) return errno;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    // Another file by now, or one shorter than before the append, or a made one that holds
    // more than the append would have put there: not ours to change.
    const bool ours =
        create ? size <= redo->bytes.size()
               : st.st_dev == redo->device && st.st_ino == redo->inode && size >= redo->oldSize;
    if (!ours) return removeRedo(redoPath);
    std::string there;
    if (int error = posix::readAt(fd.get(), redo->oldSize, redo->bytes.size(), there)) return error;
    if (there != redo->bytes) {
        if (::ftruncate(fd.get(), static_cast<off_t>(redo->oldSize)) != 0) return errno;
        if (int error = posix::writeAll(fd.get(), redo->bytes)) return error;
    }
    // Done before the program ended, perhaps not yet on the disk.
    if (::fsync(fd.get()) != 0) return errno;
    fd.close();
    if (create) {
        std::filesystem::path real;
        if (FileResult resolved = resolveFile(file, real); !resolved) return resolved.error;
        if (FileResult synced = syncFolder(real.parent_path()); !synced) return synced.error;
    }
    return removeRedo(redoPath);
}

constexpr int kAppendFlags = O_RDWR | O_APPEND | O_CLOEXEC;

// Opens a file that is there for an append and looks at its end: its size goes into
// `result`, and damagedTail when it ends inside a record; `lineEnd` is what its last record
// still needs.
FileResult openExisting(const std::filesystem::path& file, Descriptor& fd, struct stat& st,
                        AppendResult& result, std::string_view& lineEnd) {
    fd.reset(posix::openRetrying(file.c_str(), kAppendFlags));
    if (!fd.valid()) return FileResult::of(errno, file);
    if (::fstat(fd.get(), &st) != 0) return FileResult::of(errno, file);
    if (!S_ISREG(st.st_mode)) return FileResult::of(EINVAL, file);
    result.sizeBefore = result.sizeAfter = static_cast<std::uint64_t>(st.st_size);
    const Tail tail = inspectTail(fd.get(), result.sizeBefore);
    if (tail.error) return FileResult::of(tail.error, file);
    result.damagedTail = tail.unfinished;
    lineEnd = tail.lineEnd;
    return {};
}

// Makes the missing file `file`, which stands for `real`, empty.
FileResult createEmpty(const std::filesystem::path& file, const std::filesystem::path& real) {
    Descriptor fd(posix::openRetrying(file.c_str(), kAppendFlags | O_CREAT, 0666));
    if (!fd.valid()) return FileResult::of(errno, file);
    return FileResult::of(syncFolder(real.parent_path()).error, file);
}

// Writes `redo.bytes` behind the end of `file` (open in `fd` when it existed, else still to
// be made), which stands for `real`: the redo file first, then the bytes, synced; all or
// nothing.
FileResult appendWithRedo(const std::filesystem::path& file, const std::filesystem::path& real,
                          bool existed, Descriptor& fd, const Redo& redo) {
    const std::filesystem::path redoPath = appendRedoFile(file);
    if (int error = writeRedo(redoPath, redo)) return FileResult::of(error, redoPath);
    if (!existed) {
        fd.reset(posix::openRetrying(file.c_str(), kAppendFlags | O_CREAT, 0666));
        if (!fd.valid()) {
            const int error = errno;
            removeRedo(redoPath);
            return FileResult::of(error, file);
        }
    }
    int error = posix::writeAll(fd.get(), redo.bytes);
    if (!error && ::fsync(fd.get()) != 0) error = errno;
    if (!error && !existed) error = syncFolder(real.parent_path()).error;
    if (error) {
        // Leave no half record behind. Should even that fail, the redo file stays, and the
        // next operation on the file finishes the append instead.
        if (::ftruncate(fd.get(), static_cast<off_t>(redo.oldSize)) == 0 &&
            ::fsync(fd.get()) == 0) {
            if (!existed) ::unlink(real.c_str());
            removeRedo(redoPath);
        }
        return FileResult::of(error, file);
    }
    // The bytes are on the disk; a redo file that cannot go is finished harmlessly later.
    fd.close();
    removeRedo(redoPath);
    return {};
}

}  // namespace

FileResult finishInterruptedAppend(const std::filesystem::path& file) {
    const std::filesystem::path redoPath = appendRedoFile(file);
    return FileResult::of(finishAppend(file, redoPath), redoPath);
}

AppendResult appendRecords(const std::filesystem::path& file, std::string_view records) {
    AppendResult result;
    const auto fail = [&result](const FileResult& failure) {
        static_cast<FileResult&>(result) = failure;
        return result;
    };
    if (FileResult finished = finishInterruptedAppend(file); !finished) return fail(finished);

    struct stat st {};
    const bool existed = ::stat(file.c_str(), &st) == 0;
    if (!existed && errno != ENOENT) return fail(FileResult::of(errno, file));
    // Not opened at all when it is no plain file: a pipe or device could keep us waiting.
    if (existed && posix::plainFileError(st.st_mode))
        return fail(FileResult::of(posix::plainFileError(st.st_mode), file));
    // A protected list keeps its content, also for the superuser.
    if (existed && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
        return fail(FileResult::of(EACCES, file));
    Descriptor fd;
    std::string_view lineEnd;
    if (existed) {
        if (FileResult opened = openExisting(file, fd, st, result, lineEnd); !opened)
            return fail(opened);
        if (result.damagedTail) {
            result.file = bareName(file);
            return result;
        }
    }
    // The file the name stands for, and so the folder a new file lies in.
    std::filesystem::path real;
    if (FileResult resolved = resolveFile(file, real); !resolved) return fail(resolved);
    if (records.empty()) return existed ? result : fail(createEmpty(file, real));

    std::string bytes;
    bytes.reserve(lineEnd.size() + records.size());
    bytes.append(lineEnd).append(records);
    // A file still to be made has no number yet; the redo then makes it.
    const Redo redo{existed ? static_cast<std::uint64_t>(st.st_dev) : 0,
                    existed ? static_cast<std::uint64_t>(st.st_ino) : 0, result.sizeBefore, bytes};
    if (FileResult appended = appendWithRedo(file, real, existed, fd, redo); !appended)
        return fail(appended);
    result.sizeAfter = result.sizeBefore + bytes.size();
    return result;
}

}  // namespace holmtex
