// A library for LD_PRELOAD that makes one chosen file call of a program fail, or kills the
// program right there, so tests can see what the program leaves behind. Set up by the
// environment:
//
//   HOLMTEX_FAULT_DIR    only calls on paths in this folder, and on descriptors opened
//                        from such paths, are counted; without it nothing happens
//   HOLMTEX_FAULT_AT     the number (from 1) of the counted call that fails; 0 or unset:
//                        none fails
//   HOLMTEX_FAULT_ERRNO  what the call then does: an errno by name (EIO, ENOSPC, EACCES,
//                        EPERM, ...) or number, or KILL for SIGKILL; a write killed this
//                        way writes the first half of its bytes first
//   HOLMTEX_FAULT_CALLS  the kinds counted, separated by commas (default: all of them):
//                        open read write fsync rename unlink link truncate chmod copy
//   HOLMTEX_FAULT_TRACE  a file that gets a line per counted call: number, kind, name
//   HOLMTEX_FAULT_WAIT   when set, counting starts with holmtex_fault_start()
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// clang-format off
enum Kind { kOpen, kRead, kWrite, kFsync, kRename, kUnlink, kLink, kTruncate, kChmod, kCopy, kKinds };
// clang-format on
const char* const kKindNames[kKinds] = {"open",   "read", "write",    "fsync", "rename",
                                        "unlink", "link", "truncate", "chmod", "copy"};

struct Config {
    bool ready = false;
    char dir[4096] = "";
    std::size_t dirLength = 0;
    long at = 0;
    int error = EIO;
    bool kill = false;
    bool counted[kKinds] = {};
    char trace[4096] = "";
    bool running = false;  // counting
    long calls = 0;
};
Config config;

constexpr int kMaxFd = 4096;
bool tracked[kMaxFd];    // the descriptor was opened from a path in the folder
char names[kMaxFd][64];  // and the last part of that path, for the trace

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int errnoByName(const char* text) {
    static const struct {
        const char* name;
        int value;
    } names[] = {{"EIO", EIO},     {"ENOSPC", ENOSPC}, {"EACCES", EACCES},
                 {"EPERM", EPERM}, {"EROFS", EROFS},   {"EINVAL", EINVAL}};
    for (const auto& n : names)
        if (std::strcmp(n.name, text) == 0) return n.value;
    return std::atoi(text);
}

void setUp() {
    if (config.ready) return;
    config.ready = true;
    const char* dir = std::getenv("HOLMTEX_FAULT_DIR");
    if (!dir || !*dir) return;
    std::snprintf(config.dir, sizeof config.dir, "%s", dir);
    config.dirLength = std::strlen(config.dir);
    while (config.dirLength > 1 && config.dir[config.dirLength - 1] == '/')
        config.dir[--config.dirLength] = '\0';
    if (const char* at = std::getenv("HOLMTEX_FAULT_AT")) config.at = std::atol(at);
    if (const char* e = std::getenv("HOLMTEX_FAULT_ERRNO")) {
        if (std::strcmp(e, "KILL") == 0)
            config.kill = true;
        else
            config.error = errnoByName(e);
    }
    const char* calls = std::getenv("HOLMTEX_FAULT_CALLS");
    for (int k = 0; k < kKinds; ++k) {
        if (!calls || !*calls) {
            config.counted[k] = true;
            continue;
        }
        const std::size_t n = std::strlen(kKindNames[k]);
        for (const char* p = calls; (p = std::strstr(p, kKindNames[k])); p += n)
            if ((p == calls || p[-1] == ',') && (p[n] == ',' || p[n] == '\0'))
                config.counted[k] = true;
    }
    if (const char* trace = std::getenv("HOLMTEX_FAULT_TRACE"))
        std::snprintf(config.trace, sizeof config.trace, "%s", trace);
    config.running = std::getenv("HOLMTEX_FAULT_WAIT") == nullptr;
}

bool inFolder(const char* path) {
    if (!path || !config.dirLength) return false;
    char absolute[4096];
    if (path[0] != '/') {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) return false;
        if (std::strlen(cwd) + std::strlen(path) + 2 > sizeof absolute) return false;
        std::strcpy(absolute, cwd);
        std::strcat(absolute, "/");
        std::strcat(absolute, path);
        path = absolute;
    }
    return std::strncmp(path, config.dir, config.dirLength) == 0 &&
           (path[config.dirLength] == '/' || path[config.dirLength] == '\0');
}

bool isTracked(int fd) { return fd >= 0 && fd < kMaxFd && tracked[fd]; }

bool inFolderAt(int dirfd, const char* path) {
    if (path && path[0] != '/' && dirfd != AT_FDCWD) return isTracked(dirfd);
    return inFolder(path);
}

void writeTrace(long number, Kind kind, const char* name) {
    if (!config.trace[0]) return;
    static auto realOpen = real<int (*)(const char*, int, ...)>("open");
    static auto realWrite = real<ssize_t (*)(int, const void*, size_t)>("write");
    static auto realClose = real<int (*)(int)>("close");
    const int fd = realOpen(config.trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    char line[4200];
    const int n =
        std::snprintf(line, sizeof line, "%ld %s %s\n", number, kKindNames[kind], name ? name : "");
    if (n > 0) realWrite(fd, line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
    realClose(fd);
}

// Counts the call; true when it is to fail (errno is set then). Does not return when the
// program is to die here; `lastWords` runs just before.
template <typename F>
bool hit(Kind kind, bool relevant, const char* name, F lastWords) {
    setUp();
    if (!relevant || !config.running || !config.counted[kind]) return false;
    const long number = ++config.calls;
    writeTrace(number, kind, name);
    if (number != config.at) return false;
    if (config.kill) {
        lastWords();
        kill(getpid(), SIGKILL);
    }
    errno = config.error;
    return true;
}

bool hit(Kind kind, bool relevant, const char* name) {
    return hit(kind, relevant, name, [] {});
}

void track(int fd, bool inside, const char* path) {
    if (fd < 0 || fd >= kMaxFd) return;
    tracked[fd] = inside;
    const char* slash = path ? std::strrchr(path, '/') : nullptr;
    std::snprintf(names[fd], sizeof names[fd], "%s", slash ? slash + 1 : path ? path : "");
}

const char* fdName(int fd) { return fd >= 0 && fd < kMaxFd ? names[fd] : ""; }

mode_t modeArg(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

// The body the open calls share: fail when this is the chosen call, else open and
// remember whether the descriptor lies in the watched folder.
template <typename Open>
int openCounted(bool inside, const char* path, Open open) {
    if (hit(kOpen, inside, path)) return -1;
    const int fd = open();
    track(fd, inside, path);
    return fd;
}

}  // namespace

extern "C" {

void holmtex_fault_start() {
    setUp();
    config.running = true;
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(inFolder(path), path, [&] {
        static auto f = real<int (*)(const char*, int, ...)>("open");
        return f(path, flags, mode);
    });
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(inFolder(path), path, [&] {
        static auto f = real<int (*)(const char*, int, ...)>("open64");
        return f(path, flags, mode);
    });
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(inFolderAt(dirfd, path), path, [&] {
        static auto f = real<int (*)(int, const char*, int, ...)>("openat");
        return f(dirfd, path, flags, mode);
    });
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(inFolderAt(dirfd, path), path, [&] {
        static auto f = real<int (*)(int, const char*, int, ...)>("openat64");
        return f(dirfd, path, flags, mode);
    });
}

int close(int fd) {
    track(fd, false, nullptr);
    static auto f = real<int (*)(int)>("close");
    return f(fd);
}

ssize_t read(int fd, void* buffer, size_t size) {
    if (hit(kRead, isTracked(fd), fdName(fd))) return -1;
    static auto f = real<ssize_t (*)(int, void*, size_t)>("read");
    return f(fd, buffer, size);
}

ssize_t write(int fd, const void* buffer, size_t size) {
    static auto f = real<ssize_t (*)(int, const void*, size_t)>("write");
    // A write cut short by a crash leaves part of its bytes.
    if (hit(kWrite, isTracked(fd), fdName(fd), [&] { f(fd, buffer, size / 2); })) return -1;
    return f(fd, buffer, size);
}

int fsync(int fd) {
    if (hit(kFsync, isTracked(fd), fdName(fd))) return -1;
    static auto f = real<int (*)(int)>("fsync");
    return f(fd);
}

int fdatasync(int fd) {
    if (hit(kFsync, isTracked(fd), fdName(fd))) return -1;
    static auto f = real<int (*)(int)>("fdatasync");
    return f(fd);
}

int ftruncate(int fd, off_t length) {
    if (hit(kTruncate, isTracked(fd), fdName(fd))) return -1;
    static auto f = real<int (*)(int, off_t)>("ftruncate");
    return f(fd, length);
}

int fchmod(int fd, mode_t mode) {
    if (hit(kChmod, isTracked(fd), fdName(fd))) return -1;
    static auto f = real<int (*)(int, mode_t)>("fchmod");
    return f(fd, mode);
}

int rename(const char* from, const char* to) {
    if (hit(kRename, inFolder(from) || inFolder(to), to)) return -1;
    static auto f = real<int (*)(const char*, const char*)>("rename");
    return f(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    if (hit(kRename, inFolderAt(fromDir, from) || inFolderAt(toDir, to), to)) return -1;
    static auto f = real<int (*)(int, const char*, int, const char*)>("renameat");
    return f(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (hit(kRename, inFolderAt(fromDir, from) || inFolderAt(toDir, to), to)) return -1;
    static auto f = real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return f(fromDir, from, toDir, to, flags);
}

int unlink(const char* path) {
    if (hit(kUnlink, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*)>("unlink");
    return f(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    if (hit(kUnlink, inFolderAt(dirfd, path), path)) return -1;
    static auto f = real<int (*)(int, const char*, int)>("unlinkat");
    return f(dirfd, path, flags);
}

int link(const char* from, const char* to) {
    if (hit(kLink, inFolder(from) || inFolder(to), to)) return -1;
    static auto f = real<int (*)(const char*, const char*)>("link");
    return f(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    if (hit(kLink, inFolderAt(fromDir, from) || inFolderAt(toDir, to), to)) return -1;
    static auto f = real<int (*)(int, const char*, int, const char*, int)>("linkat");
    return f(fromDir, from, toDir, to, flags);
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t size,
                        unsigned flags) {
    if (hit(kCopy, isTracked(in) || isTracked(out), fdName(out))) return -1;
    static auto f =
        real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range");
    return f(in, inOffset, out, outOffset, size, flags);
}

}  // extern "C"
