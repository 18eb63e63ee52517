#include "record/data_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace holmtex {

const char* dataFileName(ListKind kind) {
    switch (kind) {
        case ListKind::Aktuell: return "holmtex-aktuell.dat";
        case ListKind::Archiv: return "holmtex-archiv.dat";
        case ListKind::Allgemein: return "holmtex-grund.dat";
    }
    return "holmtex-aktuell.dat";
}

const char* backupFileName(ListKind kind) {
    switch (kind) {
        case ListKind::Aktuell: return "holmtex-aktuell.bak";
        case ListKind::Archiv: return "holmtex-archiv.bak";
        case ListKind::Allgemein: return "holmtex-grund.bak";
    }
    return "holmtex-aktuell.bak";
}

namespace {

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Work files are written in pieces of this size.
constexpr std::size_t kWriteChunk = 64 * 1024;

std::string bareName(const std::filesystem::path& path) { return path.filename().string(); }

// A new file `to` with the bytes and mode bits of `from`, synced. Nothing is left of `to`
// when it fails.
int copySynced(const std::filesystem::path& from, const std::filesystem::path& to) {
    const int in = openRetrying(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        const int error = errno;
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

int backupFile(const std::filesystem::path& file, const std::filesystem::path& backup) {
    // The file itself is never moved away for this: it stays the list all the time.
    if (::unlink(backup.c_str()) != 0 && errno != ENOENT) return errno;
    if (::link(file.c_str(), backup.c_str()) == 0) return 0;
    const int error = errno;
    // EPERM is how Linux file systems without hard links (FAT and the like) refuse.
    if (error != EPERM && error != EOPNOTSUPP && error != EMLINK && error != EXDEV) return error;
    return copySynced(file, backup);
}

int renameIfFree(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) return error;
    // No such rename on this file system; a new link cannot replace a file either.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

int syncFolder(const std::filesystem::path& folder) {
    const std::filesystem::path name = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = openRetrying(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot sync a folder at all; their entries are as safe as they get.
    if (error == EINVAL) error = 0;
    return error;
}

namespace {

int writeThroughWorkFile(const std::filesystem::path& path, std::string_view bytes, bool replace) {
    std::filesystem::path work = path;
    work += ".neu";
    FileReplacement file(path, work);
    if (int error = file.begin()) return error;
    if (int error = file.write(bytes)) return error;
    return (replace ? file.commit() : file.commitNew()).error;
}

}  // namespace

int writeWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    return writeThroughWorkFile(path, bytes, true);
}

int writeNewFile(const std::filesystem::path& path, std::string_view bytes) {
    return writeThroughWorkFile(path, bytes, false);
}

FileReplacement::FileReplacement(std::filesystem::path target, std::filesystem::path work)
    : target_(std::move(target)), work_(std::move(work)) {}

FileReplacement::~FileReplacement() { discard(); }

int FileReplacement::begin() {
    discard();
    if (::unlink(work_.c_str()) != 0 && errno != ENOENT) return errno;
    fd_ = openRetrying(work_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) return errno;
    created_ = true;
    return 0;
}

int FileReplacement::write(std::string_view bytes) {
    if (fd_ < 0) return EBADF;
    buffer_.append(bytes);
    return buffer_.size() >= kWriteChunk ? flush() : 0;
}

int FileReplacement::flush() {
    const int error = writeAll(fd_, buffer_);
    buffer_.clear();
    return error;
}

ReplaceResult FileReplacement::commit(const std::filesystem::path& backup) {
    return finish(backup, true);
}

ReplaceResult FileReplacement::commitNew() { return finish({}, false); }

ReplaceResult FileReplacement::finish(const std::filesystem::path& backup, bool replace) {
    ReplaceResult result;
    const auto fail = [&](int error, const std::filesystem::path& file) {
        discard();
        result.error = error;
        result.failedFile = bareName(file);
        return result;
    };
    if (fd_ < 0) return fail(EBADF, work_);
    if (int error = flush()) return fail(error, work_);
    struct stat st {};
    const bool targetExists = ::stat(target_.c_str(), &st) == 0;
    if (!targetExists && errno != ENOENT) return fail(errno, target_);
    if (targetExists && !replace) return fail(EEXIST, target_);
    if (targetExists && ::fchmod(fd_, st.st_mode & 07777) != 0) return fail(errno, work_);
    if (::fsync(fd_) != 0) return fail(errno, work_);
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) return fail(errno, work_);
    if (targetExists && !backup.empty()) {
        if (int error = backupFile(target_, backup)) return fail(error, backup);
    }
    if (replace) {
        if (::rename(work_.c_str(), target_.c_str()) != 0) return fail(errno, target_);
    } else if (int error = renameIfFree(work_, target_)) {
        return fail(error, target_);
    }
    created_ = false;
    result.replaced = true;
    if (int error = syncFolder(target_.parent_path())) {
        result.error = error;
        result.failedFile = bareName(target_);
    }
    return result;
}

void FileReplacement::discard() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    buffer_.clear();
    if (created_) ::unlink(work_.c_str());
    created_ = false;
}

int appendToFile(const std::filesystem::path& path, std::string_view bytes) {
    int fd = openRetrying(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int error = errno;
        ::close(fd);
        return error;
    }
    const off_t oldSize = st.st_size;
    int error = 0;
    if (::lseek(fd, oldSize, SEEK_SET) < 0) error = errno;
    if (!error) error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0) error = errno;
    if (error) {
        // Leave no half record behind.
        if (::ftruncate(fd, oldSize) == 0) ::fsync(fd);
    }
    if (::close(fd) != 0 && !error) error = errno;
    return error;
}

std::string describeError(int error) {
    switch (error) {
        case 0: return "kein Fehler";
        case ENOSPC: return "der Datenträger ist voll";
        case EDQUOT: return "das Speicherkontingent ist erschöpft";
        case EFBIG: return "die Datei ist zu groß";
        case EACCES:
        case EPERM: return "keine Berechtigung";
        case EROFS: return "der Datenträger ist schreibgeschützt";
        case ENOENT: return "die Datei fehlt";
        case EISDIR: return "der Name gehört einem Ordner";
        case ENOTDIR: return "ein Teil des Pfads ist kein Ordner";
        case EIO: return "Ein-/Ausgabefehler";
        case ENAMETOOLONG: return "der Dateiname ist zu lang";
        case EBUSY:
        case ETXTBSY: return "die Datei ist belegt";
        default: return "Fehler " + std::to_string(error);
    }
}

}  // namespace holmtex
