#include "record/safe_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace holmtex {

namespace {

int writeAndSync(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

int writeTo(const std::filesystem::path& path, std::string_view bytes, int extraFlags) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | extraFlags, 0666);
    if (fd < 0) return errno;
    int error = writeAndSync(fd, bytes);
    if (::close(fd) != 0 && !error) error = errno;
    return error;
}

}  // namespace

int writeWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    return writeTo(path, bytes, O_TRUNC);
}

int replaceFileContents(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".neu";
    if (int error = writeTo(temporary, bytes, O_TRUNC)) {
        ::unlink(temporary.c_str());
        return error;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    // The new name must reach the disk too.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return errno;
    int error = ::fsync(dir) == 0 ? 0 : errno;
    ::close(dir);
    return error;
}

}  // namespace holmtex
