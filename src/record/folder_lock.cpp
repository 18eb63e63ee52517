#include "record/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "record/posix_io.h"

namespace holmtex {

namespace {

// One lock tried: held in `fd`, or busy, or not to be had (`error`).
struct Attempt {
    int fd = -1;
    bool busy = false;
    int error = 0;
};

// Takes the lock on the open `fd` without waiting (LOCK_EX or LOCK_SH); closes it when that
// fails.
Attempt lockOpen(int fd, int how = LOCK_EX) {
    Attempt attempt;
    if (fd < 0) {
        attempt.error = errno;
        return attempt;
    }
    int result;
    do {
        result = ::flock(fd, how | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        attempt.fd = fd;
        return attempt;
    }
    attempt.busy = errno == EWOULDBLOCK;
    attempt.error = attempt.busy ? 0 : errno;  // else no locks on this file system
    ::close(fd);
    return attempt;
}

// The folder itself: every name that leads to it (a link, "..", a trailing slash, a bind
// mount) leads to the same lock, and no file that anyone deletes or replaces takes it along.
Attempt lockFolder(const std::filesystem::path& folder, int how = LOCK_EX) {
    return lockOpen(posix::openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), how);
}

// The lock file, which older installations take. Opened first without creating it, so a
// refused start creates nothing either. Some network file systems lock only what is open
// for writing; a read-only folder may still hold a lock file to take for reading.
int openLockFile(const std::filesystem::path& path) {
    constexpr int kFlags = O_NOFOLLOW | O_CLOEXEC;
    int fd = posix::openRetrying(path.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == ENOENT)
        fd = posix::openRetrying(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = posix::openRetrying(path.c_str(), O_RDONLY | kFlags);
    return fd;
}

// Whether the name still names the file open in `fd`: a lock file deleted or replaced
// between the open and the lock guards nothing.
bool stillNamed(int fd, const std::filesystem::path& path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

Attempt lockFile(const std::filesystem::path& path) {
    Attempt attempt;
    for (int round = 0; round < 5; ++round) {
        attempt = lockOpen(openLockFile(path));
        if (attempt.fd < 0 || stillNamed(attempt.fd, path)) return attempt;
        ::close(std::exchange(attempt.fd, -1));
    }
    return attempt;  // replaced again and again: the folder's own lock has to do
}

}  // namespace

FolderLock::~FolderLock() { release(); }

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      folderFd_(std::exchange(other.folderFd_, -1)),
      state_(other.state_),
      error_(other.error_) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
        folderFd_ = std::exchange(other.folderFd_, -1);
        state_ = other.state_;
        error_ = other.error_;
    }
    return *this;
}

void FolderLock::release() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (folderFd_ >= 0) ::close(std::exchange(folderFd_, -1));
}

FolderLock FolderLock::take(const std::filesystem::path& folder) {
    FolderLock lock;
    const Attempt own = lockFolder(folder);
    if (own.busy) {
        lock.state_ = State::Busy;
        return lock;
    }
    lock.folderFd_ = own.fd;
    const Attempt file = lockFile(folder / folderLockName());
    if (file.busy) {
        lock.release();
        lock.state_ = State::Busy;
        return lock;
    }
    lock.fd_ = file.fd;
    if (lock.fd_ < 0 && lock.folderFd_ < 0) {
        lock.error_ = file.error ? file.error : own.error;
        return lock;
    }
    lock.state_ = State::Held;
    return lock;
}

FolderLock FolderLock::share(const std::filesystem::path& folder) {
    FolderLock lock;
    const Attempt own = lockFolder(folder, LOCK_SH);
    // The lock file only when there is one: a reader creates nothing, and an older
    // installation that runs has made it.
    const Attempt file = own.busy
                             ? Attempt{}
                             : lockOpen(posix::openRetrying((folder / folderLockName()).c_str(),
                                                            O_RDONLY | O_NOFOLLOW | O_CLOEXEC),
                                        LOCK_SH);
    lock.folderFd_ = own.fd;
    lock.fd_ = file.fd;
    if (own.busy || file.busy) {
        lock.release();
        lock.state_ = State::Busy;
    } else if (lock.fd_ >= 0 || lock.folderFd_ >= 0) {
        lock.state_ = State::Held;
    }
    return lock;
}

}  // namespace holmtex
