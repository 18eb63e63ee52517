// krumo-34: turns the page lines of zzz.txt into the readable text z1.txt.
// zzz.txt holds one double-quoted text per line (a text may span several lines);
// z1.txt gets the same texts without their quotes, each ended by CR LF, in the same
// 8-bit code page. Started in the folder that holds zzz.txt.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

int fail(const char* what) {
    std::fprintf(stderr, "krumo-34: %s\n", what);
    return 2;
}

// The whole of zzz.txt; false when it cannot be read.
bool readAll(const char* name, std::string& bytes) {
    int fd;
    do {
        fd = ::open(name, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            return n == 0;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

int main() {
    std::string bytes;
    if (!readAll("zzz.txt", bytes)) {
        std::fprintf(stderr, "krumo-34: zzz.txt fehlt oder kann nicht gelesen werden\n");
        return 1;
    }

    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes[pos] == '\r' || bytes[pos] == '\n') {  // stray line ends between texts
            ++pos;
            continue;
        }
        if (bytes[pos] == '"') {
            const std::size_t close = bytes.find('"', pos + 1);
            const std::size_t end = close == std::string::npos ? bytes.size() : close;
            out.append(bytes, pos + 1, end - pos - 1);
            pos = close == std::string::npos ? bytes.size() : close + 1;
        } else {  // a line without quotes is taken as it stands
            const std::size_t end = bytes.find_first_of("\r\n", pos);
            const std::size_t stop = end == std::string::npos ? bytes.size() : end;
            out.append(bytes, pos, stop - pos);
            pos = stop;
        }
        // Skip the rest of the line after the text.
        while (pos < bytes.size() && bytes[pos] != '\r' && bytes[pos] != '\n') ++pos;
        if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
        out.append("\r\n");
    }

    // Written under another name first, so z1.txt is never seen half written. A stale
    // z1.txt.tmp goes first; the new one is made afresh and never through a link, which
    // could point at any file.
    if (::unlink("z1.txt.tmp") != 0 && errno != ENOENT) return fail("z1.txt.tmp bleibt liegen");
    const int fd = ::open("z1.txt.tmp", O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return fail("z1.txt kann nicht geschrieben werden");
    bool written = true;
    for (std::size_t at = 0; at < out.size() && written;) {
        const ssize_t n = ::write(fd, out.data() + at, out.size() - at);
        if (n > 0)
            at += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            written = false;
    }
    if (::fsync(fd) != 0) written = false;
    if (::close(fd) != 0) written = false;
    if (!written || std::rename("z1.txt.tmp", "z1.txt") != 0) {
        ::unlink("z1.txt.tmp");
        return fail("z1.txt kann nicht geschrieben werden");
    }
    return 0;
}
