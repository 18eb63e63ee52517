#include "record/data_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "record/list_append.h"
#include "record/posix_io.h"

namespace holmtex {

namespace {

using posix::openRetrying;
using posix::writeAll;

// Work files are written in pieces of this size.
constexpr std::size_t kWriteChunk = 1024 * 1024;

// A new file `to` with the bytes and mode bits of `from`, synced. Nothing is left of `to`
// when it fails.
int copySynced(const std::filesystem::path& from, const std::filesystem::path& to) {
    const int in = openRetrying(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat st {};
    if (const int error = ::fstat(in, &st) == 0 ? posix::plainFileError(st.st_mode) : errno) {
        ::close(in);
        return error;
    }
    const int out = openRetrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = 0;
    std::string buffer(kWriteChunk, '\0');
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        if ((error = writeAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n)))))
            break;
    }
    if (!error && ::fchmod(out, st.st_mode & 07777) != 0) error = errno;
    if (!error && ::fsync(out) != 0) error = errno;
    if (::close(out) != 0 && !error) error = errno;
    ::close(in);
    if (error) ::unlink(to.c_str());
    return error;
}

}  // namespace

FileResult linkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return {};
    const int error = errno;
    // EPERM is how Linux file systems without hard links (FAT and the like) refuse.
    if (error != EPERM && error != EOPNOTSUPP && error != EMLINK && error != EXDEV)
        return FileResult::of(error, to);
    return FileResult::of(copySynced(from, to), to);
}

FileResult backupFile(const std::filesystem::path& file, const std::filesystem::path& backup) {
    // The file itself is never moved away for this: it stays the list all the time. A
    // link would be taken as the link itself, so the backup is made from its target.
    std::filesystem::path real;
    if (FileResult resolved = resolveFile(file, real); !resolved) return resolved;
    const std::filesystem::path fresh = workFileFor(backup);
    if (::unlink(fresh.c_str()) != 0 && errno != ENOENT) return FileResult::of(errno, fresh);
    if (FileResult made = linkOrCopy(real, fresh); !made) return made;
    if (::rename(fresh.c_str(), backup.c_str()) != 0) {
        const int error = errno;
        ::unlink(fresh.c_str());
        return FileResult::of(error, backup);
    }
    return {};
}

namespace {

int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) return error;
    // No such rename on this file system; a new link cannot replace a file either.
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0 ? 0 : errno;
    const int linkError = errno;
    if (linkError != EPERM && linkError != EOPNOTSUPP && linkError != EMLINK) return linkError;
    // Neither: only this program works in the folder, so nothing takes the name between
    // the look and the rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

FileResult renameIfFree(const std::filesystem::path& from, const std::filesystem::path& to) {
    return FileResult::of(renameNoReplace(from, to), to);
}

FileResult writePermitted(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return FileResult::of(errno == ENOENT ? 0 : errno, file);
    if ((st.st_mode & 0222) == 0) return FileResult::of(EACCES, file);
    return FileResult::of(::access(file.c_str(), W_OK) == 0 ? 0 : errno, file);
}

FileResult resolveFile(const std::filesystem::path& file, std::filesystem::path& real) {
    real = file;
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return FileResult::of(errno == ENOENT ? 0 : errno, file);
    if (!S_ISLNK(st.st_mode)) return {};
    std::error_code ec;
    std::filesystem::path target = std::filesystem::weakly_canonical(file, ec);
    if (ec) return FileResult::of(ec.value(), file);
    if (!target.empty()) real = std::move(target);
    return {};
}

FileResult syncFolder(const std::filesystem::path& folder) {
    const std::filesystem::path name = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = openRetrying(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FileResult::of(errno, name);
    int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot sync a folder at all; their entries are as safe as they get.
    if (error == EINVAL) error = 0;
    return FileResult::of(error, name);
}

FileResult removeFile(const std::filesystem::path& file) {
    return FileResult::of(::unlink(file.c_str()) == 0 ? 0 : errno, file);
}

FileResult renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return FileResult::of(::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno, from);
}

namespace {

int copyTail(const std::filesystem::path& file, std::uint64_t offset,
             const std::filesystem::path& to) {
    std::string bytes;
    {
        posix::Descriptor in(openRetrying(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!in.valid() || ::fstat(in.get(), &st) != 0) return errno;
        if (const int error = posix::plainFileError(st.st_mode)) return error;
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (size < offset) return EIO;  // shorter than it was a moment ago
        if (int error = posix::readAt(in.get(), offset, size - offset, bytes)) return error;
    }
    posix::Descriptor out(openRetrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.valid()) return errno;
    int error = writeAll(out.get(), bytes);
    if (!error && ::fsync(out.get()) != 0) error = errno;
    if (const int closeError = out.close(); !error) error = closeError;
    if (!error) error = syncFolder(to.parent_path()).error;
    if (error) ::unlink(to.c_str());
    return error;
}

}  // namespace

FileResult copyTailToNewFile(const std::filesystem::path& file, std::uint64_t offset,
                             const std::filesystem::path& to) {
    return FileResult::of(copyTail(file, offset, to), to);
}

namespace {

bool isKeptName(const std::string& name) {
    for (ListKind kind : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein})
        if (name == dataFileName(kind) || name == backupFileName(kind)) return true;
    return name == transferFileName() || name == folderLockName() ||
           name.ends_with(appendRedoFile("").string());
}

}  // namespace

std::string keptFileAt(const std::filesystem::path& output, const std::filesystem::path& workDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(workDir, ec)) {
        const std::string name = entry.path().filename().string();
        if ((isKeptName(name) || name == historyFolderName()) &&
            fs::equivalent(output, entry.path(), ec))
            return name;
    }
    // Where it would go: the folder's own entry it is, or lies in.
    const fs::path where = fs::weakly_canonical(output, ec);
    for (fs::path p = where; !ec && p.has_relative_path(); p = p.parent_path()) {
        std::error_code other;
        if (!fs::equivalent(p.parent_path(), workDir, other)) continue;
        const std::string name = p.filename().string();
        if ((p == where && isKeptName(name)) || name == historyFolderName()) return name;
    }
    return {};
}

bool isRunnableFile(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec) && ::access(file.c_str(), X_OK) == 0;
}

namespace {

ReplaceResult writeThroughWorkFile(const std::filesystem::path& path, std::string_view bytes,
                                   bool replace, LinkRule rule) {
    ReplaceResult result;
    FileReplacement file(path, workFileFor(path), rule);
    FileResult step = file.begin();
    if (step) step = file.write(bytes);
    if (step) return replace ? file.commit() : file.commitNew();
    result.failure = step;
    return result;
}

}  // namespace

ReplaceResult writeWholeFile(const std::filesystem::path& path, std::string_view bytes,
                             LinkRule rule) {
    return writeThroughWorkFile(path, bytes, true, rule);
}

ReplaceResult writeNewFile(const std::filesystem::path& path, std::string_view bytes) {
    return writeThroughWorkFile(path, bytes, false, LinkRule::Replace);
}

FileResult prepareOutputFile(const std::filesystem::path& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return FileResult::of(errno == ENOENT ? 0 : errno, file);
    if (S_ISLNK(st.st_mode)) return removeFile(file);
    return FileResult::of(posix::plainFileError(st.st_mode), file);
}

FileReplacement::FileReplacement(std::filesystem::path target, std::filesystem::path work,
                                 LinkRule rule)
    : target_(std::move(target)), work_(std::move(work)), rule_(rule) {}

FileReplacement::~FileReplacement() { discard(); }

// The file the target stands for, and the work file beside it; for a device or pipe the
// user named, the target itself.
FileResult FileReplacement::place() {
    real_ = target_;
    stream_ = false;
    struct stat st {};
    if (rule_ == LinkRule::Stream && ::stat(target_.c_str(), &st) == 0 &&
        (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        stream_ = true;
        return {};
    }
    if (rule_ != LinkRule::Replace) {
        if (FileResult resolved = resolveFile(target_, real_); !resolved) return resolved;
    }
    if (real_ != target_) work_ = real_.parent_path() / work_.filename();
    const bool link = rule_ == LinkRule::Replace;
    if ((link ? ::lstat(real_.c_str(), &st) : ::stat(real_.c_str(), &st)) != 0)
        return FileResult::of(errno == ENOENT ? 0 : errno, target_);
    if (link && S_ISLNK(st.st_mode)) return {};
    return FileResult::of(posix::plainFileError(st.st_mode), target_);
}

FileResult FileReplacement::begin() {
    discard();
    written_ = {};
    if (FileResult placed = place(); !placed) return placed;
    if (stream_) {
        // A device or pipe takes the bytes as they come; it has nothing to replace.
        fd_ = openRetrying(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        return FileResult::of(fd_ >= 0 ? 0 : errno == ENXIO ? kNotAPlainFile : errno, target_);
    }
    if (::unlink(work_.c_str()) != 0 && errno != ENOENT) return FileResult::of(errno, work_);
    fd_ = openRetrying(work_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) return FileResult::of(errno, work_);
    created_ = true;
    return {};
}

FileResult FileReplacement::write(std::string_view bytes) {
    if (fd_ < 0) return FileResult::of(EBADF, work_);
    written_.update(bytes);
    buffer_.append(bytes);
    return buffer_.size() >= kWriteChunk ? flush() : FileResult{};
}

FileResult FileReplacement::flush() {
    const int error = writeAll(fd_, buffer_);
    buffer_.clear();
    return FileResult::of(error, stream_ ? target_ : work_);
}

ReplaceResult FileReplacement::commit(const std::filesystem::path& backup) {
    return finish(backup, true);
}

ReplaceResult FileReplacement::commitNew() { return finish({}, false); }

namespace {

// The target as the rule sees it: a link itself for Replace, else what it points to.
int lookAtTarget(const std::filesystem::path& real, LinkRule rule, struct stat& st) {
    const int looked =
        rule == LinkRule::Replace ? ::lstat(real.c_str(), &st) : ::stat(real.c_str(), &st);
    return looked == 0 ? 0 : errno;
}

}  // namespace

ReplaceResult FileReplacement::finish(const std::filesystem::path& backup, bool replace) {
    ReplaceResult result;
    const auto fail = [&](const FileResult& failure) {
        discard();
        result.failure = failure;
        return result;
    };
    const auto failWith = [&](int error, const std::filesystem::path& file) {
        return fail(FileResult::of(error, file));
    };
    if (stream_) return fd_ < 0 ? failWith(EBADF, target_) : finishStream();
    if (FileResult sealed = seal(); !sealed) return fail(sealed);
    // Looked at again: something else may have taken the name since begin().
    struct stat st {};
    const int looked = lookAtTarget(real_, rule_, st);
    const bool targetExists = looked == 0;
    if (!targetExists && looked != ENOENT) return failWith(looked, target_);
    const bool link = targetExists && S_ISLNK(st.st_mode);
    if (targetExists && !link && posix::plainFileError(st.st_mode))
        return failWith(posix::plainFileError(st.st_mode), target_);
    if (targetExists && !replace) return failWith(EEXIST, target_);
    if (targetExists && !backup.empty()) {
        if (FileResult backedUp = backupFile(real_, backup); !backedUp)
            return failWith(backedUp.error, backup);
    }
    if (replace) {
        if (::rename(work_.c_str(), real_.c_str()) != 0) return failWith(errno, target_);
    } else if (FileResult renamed = renameIfFree(work_, real_); !renamed) {
        return failWith(renamed.error, target_);
    }
    created_ = false;
    result.replaced = true;
    FileResult synced = syncFolder(real_.parent_path());
    // A backup beside a link to another folder has a folder of its own.
    if (synced && targetExists && !backup.empty() && backup.parent_path() != real_.parent_path())
        synced = syncFolder(backup.parent_path());
    if (!synced) result.failure = FileResult::of(synced.error, target_);
    return result;
}

ReplaceResult FileReplacement::finishStream() {
    ReplaceResult result;
    const FileResult flushed = flush();
    const int closed = ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
    result.failure = flushed ? FileResult::of(closed, target_) : flushed;
    result.replaced = result.ok();
    return result;
}

void FileReplacement::discard() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    buffer_.clear();
    if (created_ && ::unlink(work_.c_str()) != 0 && errno != ENOENT) return;  // left
    created_ = sealed_ = false;
}

FileResult FileReplacement::seal() {
    if (sealed_) return {};
    if (fd_ < 0) return FileResult::of(EBADF, work_);
    if (FileResult flushed = flush(); !flushed) return flushed;
    struct stat st {};
    if (const int looked = lookAtTarget(real_, rule_, st); looked == 0) {
        if (!S_ISLNK(st.st_mode) && ::fchmod(fd_, st.st_mode & 07777) != 0)
            return FileResult::of(errno, work_);
    } else if (looked != ENOENT) {
        return FileResult::of(looked, target_);
    }
    if (::fsync(fd_) != 0) return FileResult::of(errno, work_);
    if (::close(std::exchange(fd_, -1)) != 0) return FileResult::of(errno, work_);
    sealed_ = true;
    return {};
}

FileResult FileReplacement::adopt() {
    discard();
    if (FileResult placed = place(); !placed) return placed;
    if (stream_) return FileResult::of(EINVAL, target_);
    struct stat st {};
    if (::lstat(work_.c_str(), &st) != 0) return FileResult::of(errno, work_);
    if (!S_ISREG(st.st_mode)) return FileResult::of(EINVAL, work_);
    created_ = sealed_ = true;
    return {};
}

}  // namespace holmtex
