#include "record/list_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "record/data_files.h"
#include "record/list_end.h"
#include "record/page_record.h"
#include "record/posix_io.h"
#include "record/record_io.h"

namespace holmtex {

namespace {

using posix::Descriptor;
using redo::Header;
using redo::Step;

constexpr int kAppendFlags = O_RDWR | O_APPEND | O_CLOEXEC;

std::string bareName(const std::filesystem::path& path) { return path.filename().string(); }

int removeRedo(const std::filesystem::path& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

struct FileSum {
    std::uint64_t size = 0, sum = redo::kChecksumStart;
};

// The size and checksum of a regular file (through a link); EINVAL for any other kind.
int sumOfFile(const std::filesystem::path& path, FileSum& out) {
    Descriptor fd(posix::openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    constexpr std::size_t kChunk = 1 << 20;  // a multiple of eight, as the checksum wants
    out = {};
    for (std::string chunk;;) {
        if (int error = posix::readAt(fd.get(), out.size, kChunk, chunk)) return error;
        out.sum = redo::checksum(chunk, out.sum);
        out.size += chunk.size();
        if (chunk.size() < kChunk) return 0;
    }
}

// ---- The append ----

// Writes the redo file whole and syncs it with its folder. When that fails it is emptied
// and removed again; `left` says a whole one may still be there for a recovery to finish.
int writeRedo(const std::filesystem::path& path, std::string_view header, std::string_view bytes,
              bool& left) {
    Descriptor fd(posix::openRetrying(path.c_str(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return errno;
    int error = posix::writeAll(fd.get(), header);
    if (!error) error = posix::writeAll(fd.get(), bytes);
    bool whole = !error;
    if (!error && ::fsync(fd.get()) != 0) error = errno;
    if (!error) error = syncFolder(path.parent_path()).error;
    // An empty redo file is dropped without a word.
    if (error && ::ftruncate(fd.get(), 0) == 0) whole = false;
    if (const int closeError = fd.close(); !error) error = closeError;
    if (error) left = ::unlink(path.c_str()) != 0 && errno != ENOENT && whole;
    return error;
}

// Fills in the step of the header: the files' names and what they hold now.
FileResult describeStep(const AfterAppend& after, Header& h) {
    h.step = after.step;
    if (after.step == Step::None) return {};
    h.file = bareName(after.file);
    FileSum now;
    if (int error = sumOfFile(after.file, now)) return FileResult::of(error, after.file);
    h.size = now.size;
    h.sum = now.sum;
    if (after.step != Step::Replace) return {};
    h.work = bareName(after.work);
    h.backup = bareName(after.backup);
    if (int error = sumOfFile(after.work, now)) return FileResult::of(error, after.work);
    h.workSize = now.size;
    h.workSum = now.sum;
    return {};
}

// The redo header of `bytes` going behind the `size` bytes of the file open in `fd` (none:
// the append makes the file), with the step.
FileResult describeAppend(const Descriptor& fd, std::uint64_t size, std::string_view bytes,
                          const AfterAppend& after, Header& h) {
    h.create = !fd.valid();
    h.oldSize = size;
    const auto k = static_cast<std::size_t>(std::min<std::uint64_t>(redo::kAnchorBytes, size));
    std::string before;
    if (fd.valid()) {
        if (int error = posix::readAt(fd.get(), size - k, k, before)) return {error, {}};
        if (before.size() != k) return {EIO, {}};  // shorter than it was a moment ago
    }
    h.anchor = redo::anchorSum(size, before);
    h.newSize = bytes.size();
    h.newSum = redo::checksum(bytes);
    return describeStep(after, h);
}

// Writes `bytes` behind the end of `file` (open in `fd` when it existed, else still to be
// made), which stands for `real`: the redo file first, then the bytes, synced; all or
// nothing. When a failure cannot be taken back, `pending` says the redo file stays for a
// recovery to finish the append. With `keep` it also stays after a good append.
FileResult appendWithRedo(const std::filesystem::path& file, const std::filesystem::path& real,
                          Descriptor& fd, const Header& h, std::string_view bytes, bool keep,
                          bool& pending) {
    const std::filesystem::path redoPath = appendRedoFile(file);
    if (int error = writeRedo(redoPath, redo::headerText(h), bytes, pending))
        return FileResult::of(error, redoPath);
    int error = 0;
    if (h.create) fd.reset(posix::openRetrying(file.c_str(), kAppendFlags | O_CREAT, 0666));
    if (!fd.valid()) error = errno;
    if (!error) error = posix::writeAll(fd.get(), bytes);
    if (!error && ::fsync(fd.get()) != 0) error = errno;
    if (!error && h.create) error = syncFolder(real.parent_path()).error;
    if (error) {
        // Leave no half record behind. Should even that fail, the redo file stays, and the
        // next operation on the file finishes the append instead.
        const bool undone =
            !fd.valid() ||
            (::ftruncate(fd.get(), static_cast<off_t>(h.oldSize)) == 0 && ::fsync(fd.get()) == 0);
        if (undone && h.create && fd.valid()) ::unlink(real.c_str());
        pending = !undone || removeRedo(redoPath) != 0;
        return FileResult::of(error, file);
    }
    // The bytes are on the disk; a redo file that cannot go is finished harmlessly later.
    fd.close();
    if (!keep) removeRedo(redoPath);
    return {};
}

// Opens a file that is there for an append and looks at its end: its size goes into
// `result`, and kDamagedTail when it ends inside a record; `lineEnd` is what its last record
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
    if (tail.unfinished) result.failure = FileResult::of(kDamagedTail, file);
    lineEnd = tail.lineEnd;
    return {};
}

// Makes the missing file `file`, which stands for `real`, empty.
FileResult createEmpty(const std::filesystem::path& file, const std::filesystem::path& real) {
    Descriptor fd(posix::openRetrying(file.c_str(), kAppendFlags | O_CREAT, 0666));
    if (!fd.valid()) return FileResult::of(errno, file);
    return FileResult::of(syncFolder(real.parent_path()).error, file);
}

// ---- Recovery ----

struct Redo {
    Header header;
    std::string bytes;
};

// Reads a redo file that was a regular file a moment ago: nothing when it is not one this
// program wrote whole, or no regular file after all. Of a file longer than its header says,
// only the header is read.
int readRedo(const std::filesystem::path& path, std::optional<Redo>& redo) {
    Descriptor fd(
        posix::openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return errno == ELOOP ? 0 : errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return 0;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::string head;
    if (int error = posix::readAt(
            fd.get(), 0,
            static_cast<std::size_t>(std::min<std::uint64_t>(size, redo::kHeaderLimit)), head))
        return error;
    const std::optional<Header> header = redo::parseHeader(head);
    if (!header || size - header->length != header->newSize) return 0;
    Redo read{*header, {}};
    const auto newSize = static_cast<std::size_t>(header->newSize);
    if (int error = posix::readAt(fd.get(), header->length, newSize, read.bytes)) return error;
    if (read.bytes.size() != newSize || redo::checksum(read.bytes) != header->newSum) return 0;
    redo = std::move(read);
    return 0;
}

// Whether the step is about the files such a step is about, and no others.
bool knownStep(const Header& h, std::string_view list) {
    if (h.step == Step::None) return true;
    if (h.file == list) return false;
    if (h.step == Step::Remove) return h.file == transferFileName();
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        if (h.file == dataFileName(kind))
            return h.work == listWorkFileName() && h.backup == backupFileName(kind);
    return false;
}

// Gives the redo file a name of its own that says it was not used, never over another file.
Recovery setAside(const std::filesystem::path& redoPath, std::string_view stamp, Recovery r) {
    const std::string base = bareName(redoPath) + "-unbenutzt-" + std::string(stamp);
    for (int n = 1; n < 10; ++n) {
        const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        const FileResult renamed = renameIfFree(redoPath, redoPath.parent_path() / name);
        if (renamed.error == EEXIST) continue;
        if (!renamed) {
            r.failure = renamed;
            return r;
        }
        // Should the new name not reach the disk, the next start sets the file aside again.
        syncFolder(redoPath.parent_path());
        r.setAside = name;
        return r;
    }
    r.failure = FileResult::of(EEXIST, redoPath);
    return r;
}

// Opens the file in `fd` when it holds exactly its old content (as far as the anchor shows)
// and a first part of the new bytes, `have` of them; else `fd` stays closed.
int openIfOurs(const std::filesystem::path& file, const Redo& redo, Descriptor& fd,
               std::uint64_t& have) {
    const Header& h = redo.header;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (errno != ENOENT) return errno;
        if (!h.create) return 0;  // gone since
    } else if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0) {
        return 0;  // nothing this program appends to
    }
    fd.reset(posix::openRetrying(file.c_str(), kAppendFlags | O_NONBLOCK | (h.create ? O_CREAT : 0),
                                 0666));
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return errno;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const auto k = static_cast<std::size_t>(std::min<std::uint64_t>(redo::kAnchorBytes, h.oldSize));
    const auto added = static_cast<std::size_t>(size - h.oldSize);
    std::string before, there;
    int error = 0;
    const bool ours = S_ISREG(st.st_mode) && size >= h.oldSize && added <= h.newSize &&
                      !(error = posix::readAt(fd.get(), h.oldSize - k, k, before)) &&
                      before.size() == k && redo::anchorSum(h.oldSize, before) == h.anchor &&
                      !(error = posix::readAt(fd.get(), h.oldSize, added, there)) &&
                      there == std::string_view(redo.bytes).substr(0, added);
    if (!ours) fd.reset();
    have = added;
    return error;
}

// Writes what the file still lacks of the new bytes and syncs it; a file the append made
// gets its folder synced.
int completeAppend(const std::filesystem::path& file, const Redo& redo, Descriptor& fd,
                   std::uint64_t have) {
    if (have < redo.bytes.size())
        if (int error = posix::writeAll(fd.get(), std::string_view(redo.bytes).substr(have)))
            return error;
    // Done before the program ended, perhaps not yet on the disk.
    if (::fsync(fd.get()) != 0) return errno;
    if (int error = fd.close()) return error;
    if (!redo.header.create) return 0;
    std::filesystem::path real;
    if (FileResult resolved = resolveFile(file, real); !resolved) return resolved.error;
    return syncFolder(real.parent_path()).error;
}

// The list line of the record in `bytes`: date, time and process number.
std::string pageLine(const std::string& bytes) {
    StringSource source(bytes);
    RecordReader reader(source);
    if (reader.nextRaw(ProcessNumber) != ReadStatus::Record) return "";
    std::string line(reader.rawItem(SaveDate));
    return line.append(" ")
        .append(reader.rawItem(SaveTime))
        .append(" ")
        .append(reader.rawItem(ProcessNumber));
}

// Does the step of an append finished now, when its files are as the header says; one done
// already is left alone. One whose file changed since goes into `r`.
FileResult doStep(const std::filesystem::path& list, const Redo& redo, Recovery& r) {
    const Header& h = redo.header;
    if (h.step == Step::None) return {};
    const std::filesystem::path folder = list.parent_path(), file = folder / h.file;
    FileSum now;
    const int error = sumOfFile(file, now);
    if (error && error != ENOENT && error != EINVAL) return FileResult::of(error, file);
    const bool asBefore = !error && now.size == h.size && now.sum == h.sum;
    if (h.step == Step::Remove && error == ENOENT) return {};
    if (h.step == Step::Replace && !error && now.size == h.workSize && now.sum == h.workSum)
        return {};
    // The rest of the source lies beside the file the source stands for.
    bool workAsBefore = false;
    if (h.step == Step::Replace && asBefore) {
        std::filesystem::path real;
        if (FileResult resolved = resolveFile(file, real); !resolved) return resolved;
        FileSum work;
        const int workError = sumOfFile(real.parent_path() / h.work, work);
        if (workError && workError != ENOENT && workError != EINVAL)
            return FileResult::of(workError, h.work);
        workAsBefore = !workError && work.size == h.workSize && work.sum == h.workSum;
    }
    if (!asBefore || (h.step == Step::Replace && !workAsBefore)) {
        r.leftFile = h.file;
        r.leftStep = h.step;
        if (h.step == Step::Replace) r.page = pageLine(redo.bytes);
        return {};
    }
    if (h.step == Step::Remove) {
        if (::unlink(file.c_str()) != 0) return FileResult::of(errno, file);
        return syncFolder(folder);
    }
    FileReplacement rest(file, folder / h.work);
    if (FileResult adopted = rest.adopt(); !adopted) return adopted;
    const ReplaceResult replaced = rest.commit(folder / h.backup);
    if (replaced.replaced) r.replaced = h.file;
    return replaced.failure;
}

}  // namespace

std::filesystem::path appendRedoFile(const std::filesystem::path& file) {
    std::filesystem::path redo = file;
    redo += ".anhang";
    return redo;
}

bool endAppend(const std::filesystem::path& file) { return removeRedo(appendRedoFile(file)) == 0; }

Recovery finishInterruptedAppend(const std::filesystem::path& file, std::string_view stamp) {
    const std::filesystem::path redoPath = appendRedoFile(file);
    Recovery r;
    r.list = bareName(file);
    const auto failed = [&r](int error, const std::filesystem::path& path) {
        r.failure = FileResult::of(error, path);
        return r;
    };
    struct stat st {};
    if (::lstat(redoPath.c_str(), &st) != 0) return errno == ENOENT ? r : failed(errno, redoPath);
    // Not a file this program writes: set aside without being opened.
    if (!S_ISREG(st.st_mode)) return setAside(redoPath, stamp, r);
    // Made, but nothing written to it yet: it holds nothing to keep.
    if (st.st_size == 0) return failed(removeRedo(redoPath), redoPath);
    std::optional<Redo> redo;
    if (int error = readRedo(redoPath, redo)) return failed(error, redoPath);
    if (!redo || !knownStep(redo->header, r.list)) return setAside(redoPath, stamp, r);
    Descriptor fd;
    std::uint64_t have = 0;
    if (int error = openIfOurs(file, *redo, fd, have)) return failed(error, file);
    if (!fd.valid()) return setAside(redoPath, stamp, r);
    if (int error = completeAppend(file, *redo, fd, have)) return failed(error, file);
    if (FileResult step = doStep(file, *redo, r); !step) {
        r.failure = step;
        return r;
    }
    return failed(removeRedo(redoPath), redoPath);
}

AppendResult appendRecords(const std::filesystem::path& file, std::string_view records,
                           std::string_view stamp, const AfterAppend& after) {
    AppendResult result;
    const auto fail = [&result](const FileResult& failure) {
        result.failure = failure;
        return result;
    };
    result.unfinished = finishInterruptedAppend(file, stamp);
    if (!result.unfinished.ok()) return fail(result.unfinished.failure);
    if (!result.unfinished.quiet()) return result;

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
        if (!result.failure.ok()) return result;  // a damaged tail
    }
    // The file the name stands for, and so the folder a new file lies in.
    std::filesystem::path real;
    if (FileResult resolved = resolveFile(file, real); !resolved) return fail(resolved);
    if (records.empty()) return existed ? result : fail(createEmpty(file, real));

    std::string bytes;
    bytes.reserve(lineEnd.size() + records.size());
    bytes.append(lineEnd).append(records);
    Header h;
    if (FileResult described = describeAppend(fd, result.sizeBefore, bytes, after, h); !described)
        return fail(described.file.empty() ? FileResult::of(described.error, file) : described);
    if (FileResult appended =
            appendWithRedo(file, real, fd, h, bytes, after.step != Step::None, result.pending);
        !appended)
        return fail(appended);
    result.sizeAfter = result.sizeBefore + bytes.size();
    return result;
}

}  // namespace holmtex
