#include "record/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "record/posix_io.h"

namespace holmtex {

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), state_(other.state_), error_(other.error_) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        state_ = other.state_;
        error_ = other.error_;
    }
    return *this;
}

FolderLock FolderLock::take(const std::filesystem::path& folder) {
    FolderLock lock;
    const std::filesystem::path path = folder / folderLockName();
    // Opened first without creating it, so a refused start creates nothing either. Some
    // network file systems lock only what is open for writing; a read-only folder may
    // still hold a lock file to take for reading.
    constexpr int kFlags = O_NOFOLLOW | O_CLOEXEC;
    int fd = posix::openRetrying(path.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == ENOENT)
        fd = posix::openRetrying(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = posix::openRetrying(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0) {
        lock.error_ = errno;
        return lock;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            lock.state_ = State::Busy;
        } else {
            lock.error_ = error;  // no locks on this file system
        }
        return lock;
    }
    lock.fd_ = fd;
    lock.state_ = State::Held;
    return lock;
}

}  // namespace holmtex
