#include "record/data_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace holmtex {

const char* dataFileName(ListKind kind) {
    switch (kind) {
        case ListKind::Aktuell: return "holmtex-aktuell.dat";
        case ListKind::Archiv: return "holmtex-archiv.dat";
        case ListKind::Allgemein: return "holmtex-grund.dat";
    }
    return "holmtex-aktuell.dat";
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

}  // namespace

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
        case EACCES:
        case EPERM: return "keine Berechtigung";
        case EROFS: return "der Datenträger ist schreibgeschützt";
        case ENOENT: return "die Datei fehlt";
        case EISDIR: return "der Name gehört einem Ordner";
        case EIO: return "Ein-/Ausgabefehler";
        case EBUSY:
        case ETXTBSY: return "die Datei ist belegt";
        default: return "Fehler " + std::to_string(error);
    }
}

}  // namespace holmtex
