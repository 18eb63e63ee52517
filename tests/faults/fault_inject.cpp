// A library for LD_PRELOAD that makes one chosen file call of a program fail, or kills the
// program right there, so tests can see what the program leaves behind. Set up by the
// environment:
//
//   HOLMTEX_FAULT_DIR      only calls on paths in this folder, and on descriptors opened
//                          from such paths, are counted; without it nothing happens
//   HOLMTEX_FAULT_AT       the number (from 1) of the counted call that fails; "every":
//                          each of them; "k+": the k-th and every one after it (a disk
//                          that fails from then on); 0 or unset: none
//   HOLMTEX_FAULT_ERRNO    what the call then does: an errno by name (EIO, ENOSPC, EACCES,
//                          EROFS, EPERM, ...) or number, or KILL for SIGKILL; a write killed
//                          this way writes the first half of its bytes first. Or one per
//                          kind or function: "renameat2:EINVAL,link:EPERM"
//   HOLMTEX_FAULT_CALLS    the kinds counted, separated by commas (default: all of them):
//                          open read write close stat seek fsync rename unlink link
//                          truncate chmod copy lock; or single functions by their names
//   HOLMTEX_FAULT_NAME     only calls on files of this bare name are counted
//   HOLMTEX_FAULT_TRACE    a file that gets a line per counted call: number, kind, "w" for
//                          an open that may write or create ("r" for one that only reads,
//                          "-" for other calls), the file's bare name
//   HOLMTEX_FAULT_COUNTER  a file of at least 8 bytes that holds the count, so that the
//                          programs a program starts count on where it stands
//   HOLMTEX_FAULT_WAIT     when set, counting starts with holmtex_fault_start(); programs
//                          started after that count from their start
//   HOLMTEX_FAULT_KILL_AFTER_US  SIGKILL this many microseconds after counting starts, by
//                          the program's own clock (programs it starts are not killed)
//
// A test program may also link the library instead of preloading it, set the variables
// itself and call holmtex_fault_reload() to take them up.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// clang-format off
enum Kind { kOpen, kRead, kWrite, kClose, kStat, kSeek, kFsync, kRename, kUnlink, kLink,
            kTruncate, kChmod, kCopy, kLock, kKinds };
// clang-format on
const char* const kKindNames[kKinds] = {"open",     "read",  "write",  "close",  "stat",
                                        "seek",     "fsync", "rename", "unlink", "link",
                                        "truncate", "chmod", "copy",   "lock"};

struct Config {
    bool ready = false;
    char dir[4096] = "";
    std::size_t dirLength = 0;
    long at = 0;
    bool every = false;        // every counted call fails
    bool from = false;         // every counted call from `at` on fails
    char errors[256] = "EIO";  // HOLMTEX_FAULT_ERRNO
    char kinds[512] = "";      // HOLMTEX_FAULT_CALLS; empty: all
    char name[256] = "";
    char trace[4096] = "";
    bool running = false;  // counting
    long ownCalls = 0;
    long* sharedCalls = nullptr;  // the count in HOLMTEX_FAULT_COUNTER
    long* calls() { return sharedCalls ? sharedCalls : &ownCalls; }
};
Config config;

constexpr int kMaxFd = 4096;
bool tracked[kMaxFd];    // the descriptor was opened from a path in the folder
char names[kMaxFd][64];  // and the last part of that path, for the trace and the name

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int errnoByName(const char* text) {
    static const struct {
        const char* name;
        int value;
    } names[] = {{"EIO", EIO},     {"ENOSPC", ENOSPC}, {"EACCES", EACCES}, {"EPERM", EPERM},
                 {"EROFS", EROFS}, {"EINVAL", EINVAL}, {"ENOLCK", ENOLCK}, {"EDQUOT", EDQUOT}};
    for (const auto& n : names)
        if (std::strcmp(n.name, text) == 0) return n.value;
    return std::atoi(text);
}

// The count shared through a file: every program on the way adds to the same number.
void shareCount(const char* file) {
    static auto realOpen = real<int (*)(const char*, int, ...)>("open");
    static auto realClose = real<int (*)(int)>("close");
    const int fd = realOpen(file, O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    void* shared = mmap(nullptr, sizeof(long), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    realClose(fd);
    if (shared != MAP_FAILED) config.sharedCalls = static_cast<long*>(shared);
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
    if (const char* at = std::getenv("HOLMTEX_FAULT_AT")) {
        config.every = std::strcmp(at, "every") == 0;
        config.at = std::atol(at);
        config.from = at[0] && at[std::strlen(at) - 1] == '+';
    }
    if (const char* e = std::getenv("HOLMTEX_FAULT_ERRNO"))
        std::snprintf(config.errors, sizeof config.errors, "%s", e);
    if (const char* calls = std::getenv("HOLMTEX_FAULT_CALLS"))
        std::snprintf(config.kinds, sizeof config.kinds, "%s", calls);
    if (const char* name = std::getenv("HOLMTEX_FAULT_NAME"))
        std::snprintf(config.name, sizeof config.name, "%s", name);
    if (const char* trace = std::getenv("HOLMTEX_FAULT_TRACE"))
        std::snprintf(config.trace, sizeof config.trace, "%s", trace);
    if (const char* counter = std::getenv("HOLMTEX_FAULT_COUNTER")) shareCount(counter);
    config.running = std::getenv("HOLMTEX_FAULT_WAIT") == nullptr;
}

// Whether `word` is one of the comma-separated words of `list`.
bool listed(const char* list, const char* word) {
    const std::size_t n = std::strlen(word);
    for (const char* p = list; (p = std::strstr(p, word)); p += n)
        if ((p == list || p[-1] == ',') && (p[n] == ',' || p[n] == ':' || p[n] == '\0'))
            return true;
    return false;
}

bool counted(const char* function, Kind kind) {
    return !config.kinds[0] || listed(config.kinds, kKindNames[kind]) ||
           listed(config.kinds, function);
}

// What the failing call does: the errno for its function or kind, or -1 for a kill.
int failureOf(const char* function, Kind kind) {
    const char* wanted = config.errors;
    if (std::strchr(wanted, ':')) {
        wanted = nullptr;
        for (const char* word : {function, kKindNames[kind]}) {
            const std::size_t n = std::strlen(word);
            for (const char* p = config.errors; !wanted && (p = std::strstr(p, word)); p += n)
                if ((p == config.errors || p[-1] == ',') && p[n] == ':') wanted = p + n + 1;
            if (wanted) break;
        }
        if (!wanted) return EIO;
    }
    char name[32];
    std::size_t n = std::strcspn(wanted, ",");
    n = n < sizeof name ? n : sizeof name - 1;
    std::memcpy(name, wanted, n);
    name[n] = '\0';
    return std::strcmp(name, "KILL") == 0 ? -1 : errnoByName(name);
}

bool inFolder(const char* path) {
    setUp();  // the first call of a program may well be one in the folder
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

const char* bareName(const char* path) {
    const char* slash = path ? std::strrchr(path, '/') : nullptr;
    return slash ? slash + 1 : path ? path : "";
}

void writeTrace(long number, Kind kind, char mode, const char* name) {
    if (!config.trace[0]) return;
    static auto realOpen = real<int (*)(const char*, int, ...)>("open");
    static auto realWrite = real<ssize_t (*)(int, const void*, size_t)>("write");
    static auto realClose = real<int (*)(int)>("close");
    const int fd = realOpen(config.trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    char line[4200];
    const int n =
        std::snprintf(line, sizeof line, "%ld %s %c %s\n", number, kKindNames[kind], mode, name);
    if (n > 0) realWrite(fd, line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
    realClose(fd);
}

// Counts the call of `function`; true when it is to fail (errno is set then). Does not
// return when the program is to die here; `lastWords` runs just before. `mode` as in the
// trace.
template <typename F>
bool hit(const char* function, Kind kind, bool relevant, const char* path, char mode, F lastWords) {
    setUp();
    if (!relevant || !config.running || !counted(function, kind)) return false;
    const char* name = bareName(path);
    if (config.name[0] && std::strcmp(name, config.name) != 0) return false;
    const long number = __atomic_add_fetch(config.calls(), 1, __ATOMIC_SEQ_CST);
    writeTrace(number, kind, mode, name);
    if (!config.every && number != config.at && !(config.from && number > config.at)) return false;
    const int failure = failureOf(function, kind);
    if (failure < 0) {
        lastWords();
        kill(getpid(), SIGKILL);
    }
    errno = failure;
    return true;
}

bool hit(const char* function, Kind kind, bool relevant, const char* path) {
    return hit(function, kind, relevant, path, '-', [] {});
}

void track(int fd, bool inside, const char* path) {
    if (fd < 0 || fd >= kMaxFd) return;
    tracked[fd] = inside;
    std::snprintf(names[fd], sizeof names[fd], "%s", bareName(path));
}

const char* fdName(int fd) { return fd >= 0 && fd < kMaxFd ? names[fd] : ""; }

bool fdHit(const char* function, Kind kind, int fd) {
    return hit(function, kind, isTracked(fd), fdName(fd));
}

// An empty path with AT_EMPTY_PATH asks about the descriptor itself.
bool statAtInside(int dirfd, const char* path) {
    return path && !*path ? isTracked(dirfd) : inFolderAt(dirfd, path);
}
const char* statAtName(int dirfd, const char* path) { return path && *path ? path : fdName(dirfd); }

mode_t modeArg(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

char openMode(int flags) {
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) ? 'w' : 'r';
}

// The body the open calls share: fail when this is the chosen call, else open and
// remember whether the descriptor lies in the watched folder.
template <typename Open>
int openCounted(const char* function, bool inside, const char* path, int flags, Open open) {
    if (hit(function, kOpen, inside, path, openMode(flags), [] {})) return -1;
    const int fd = open();
    track(fd, inside, path);
    return fd;
}

// fopen() opens through the C library's inner calls, which no preloaded library sees.
template <typename Open>
FILE* fopenCounted(const char* function, const char* path, const char* mode, Open open) {
    const bool inside = inFolder(path);
    const bool writes = std::strpbrk(mode, "wa+") != nullptr;
    if (hit(function, kOpen, inside, path, writes ? 'w' : 'r', [] {})) return nullptr;
    FILE* file = open();
    if (file) track(fileno(file), inside, path);
    return file;
}

// A close that fails has still given the descriptor back, as on Linux.
template <typename Close>
int closeCounted(const char* function, int fd, Close close) {
    const bool failed = fdHit(function, kClose, fd);
    const int error = errno;
    track(fd, false, nullptr);
    const int result = close();
    if (!failed) return result;
    errno = error;
    return -1;
}

}  // namespace

extern "C" {

void holmtex_fault_reload() {
    config = Config();
    setUp();
}

void holmtex_fault_start() {
    setUp();
    config.running = true;
    unsetenv("HOLMTEX_FAULT_WAIT");
    if (const char* after = std::getenv("HOLMTEX_FAULT_KILL_AFTER_US")) {
        // A timer of the program itself: no delay of a second process in between.
        const long micros = std::atol(after);
        unsetenv("HOLMTEX_FAULT_KILL_AFTER_US");
        if (micros <= 0) kill(getpid(), SIGKILL);
        sigevent event{};
        event.sigev_notify = SIGEV_SIGNAL;
        event.sigev_signo = SIGKILL;
        timer_t timer;
        if (timer_create(CLOCK_MONOTONIC, &event, &timer) == 0) {
            itimerspec when{};
            when.it_value.tv_sec = micros / 1000000;
            when.it_value.tv_nsec = micros % 1000000 * 1000;
            timer_settime(timer, 0, &when, nullptr);
        }
    }
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(__func__, inFolder(path), path, flags, [&] {
        static auto f = real<int (*)(const char*, int, ...)>("open");
        return f(path, flags, mode);
    });
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(__func__, inFolder(path), path, flags, [&] {
        static auto f = real<int (*)(const char*, int, ...)>("open64");
        return f(path, flags, mode);
    });
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(__func__, inFolderAt(dirfd, path), path, flags, [&] {
        static auto f = real<int (*)(int, const char*, int, ...)>("openat");
        return f(dirfd, path, flags, mode);
    });
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArg(flags, args);
    va_end(args);
    return openCounted(__func__, inFolderAt(dirfd, path), path, flags, [&] {
        static auto f = real<int (*)(int, const char*, int, ...)>("openat64");
        return f(dirfd, path, flags, mode);
    });
}

FILE* fopen(const char* path, const char* mode) {
    return fopenCounted(__func__, path, mode, [&] {
        static auto f = real<FILE* (*)(const char*, const char*)>("fopen");
        return f(path, mode);
    });
}

FILE* fopen64(const char* path, const char* mode) {
    return fopenCounted(__func__, path, mode, [&] {
        static auto f = real<FILE* (*)(const char*, const char*)>("fopen64");
        return f(path, mode);
    });
}

int close(int fd) {
    return closeCounted(__func__, fd, [&] {
        static auto f = real<int (*)(int)>("close");
        return f(fd);
    });
}

int fclose(FILE* file) {
    return closeCounted(__func__, fileno(file), [&] {
        static auto f = real<int (*)(FILE*)>("fclose");
        return f(file);
    });
}

ssize_t read(int fd, void* buffer, size_t size) {
    if (fdHit(__func__, kRead, fd)) return -1;
    static auto f = real<ssize_t (*)(int, void*, size_t)>("read");
    return f(fd, buffer, size);
}

ssize_t write(int fd, const void* buffer, size_t size) {
    static auto f = real<ssize_t (*)(int, const void*, size_t)>("write");
    // A write cut short by a crash leaves part of its bytes.
    if (hit(__func__, kWrite, isTracked(fd), fdName(fd), '-', [&] { f(fd, buffer, size / 2); }))
        return -1;
    return f(fd, buffer, size);
}

ssize_t writev(int fd, const struct iovec* pieces, int count) {
    static auto f = real<ssize_t (*)(int, const struct iovec*, int)>("writev");
    static auto realWrite = real<ssize_t (*)(int, const void*, size_t)>("write");
    const auto half = [&] {
        if (count > 0) realWrite(fd, pieces[0].iov_base, pieces[0].iov_len / 2);
    };
    if (hit(__func__, kWrite, isTracked(fd), fdName(fd), '-', half)) return -1;
    return f(fd, pieces, count);
}

// ---- stat and friends: the C library routes stat() itself through fstatat/statx inside,
// so each entry point is counted where the program calls it.

int stat(const char* path, struct stat* st) {
    if (hit(__func__, kStat, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*, struct stat*)>("stat");
    return f(path, st);
}

int stat64(const char* path, struct stat64* st) {
    if (hit(__func__, kStat, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*, struct stat64*)>("stat64");
    return f(path, st);
}

int lstat(const char* path, struct stat* st) {
    if (hit(__func__, kStat, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*, struct stat*)>("lstat");
    return f(path, st);
}

int lstat64(const char* path, struct stat64* st) {
    if (hit(__func__, kStat, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*, struct stat64*)>("lstat64");
    return f(path, st);
}

int fstat(int fd, struct stat* st) {
    if (fdHit(__func__, kStat, fd)) return -1;
    static auto f = real<int (*)(int, struct stat*)>("fstat");
    return f(fd, st);
}

int fstat64(int fd, struct stat64* st) {
    if (fdHit(__func__, kStat, fd)) return -1;
    static auto f = real<int (*)(int, struct stat64*)>("fstat64");
    return f(fd, st);
}

int fstatat(int dirfd, const char* path, struct stat* st, int flags) {
    if (hit(__func__, kStat, statAtInside(dirfd, path), statAtName(dirfd, path))) return -1;
    static auto f = real<int (*)(int, const char*, struct stat*, int)>("fstatat");
    return f(dirfd, path, st, flags);
}

int fstatat64(int dirfd, const char* path, struct stat64* st, int flags) {
    if (hit(__func__, kStat, statAtInside(dirfd, path), statAtName(dirfd, path))) return -1;
    static auto f = real<int (*)(int, const char*, struct stat64*, int)>("fstatat64");
    return f(dirfd, path, st, flags);
}

int statx(int dirfd, const char* path, int flags, unsigned mask, struct statx* st) {
    if (hit(__func__, kStat, statAtInside(dirfd, path), statAtName(dirfd, path))) return -1;
    static auto f = real<int (*)(int, const char*, int, unsigned, struct statx*)>("statx");
    return f(dirfd, path, flags, mask, st);
}

int access(const char* path, int how) {
    if (hit(__func__, kStat, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*, int)>("access");
    return f(path, how);
}

int faccessat(int dirfd, const char* path, int how, int flags) {
    if (hit(__func__, kStat, inFolderAt(dirfd, path), path)) return -1;
    static auto f = real<int (*)(int, const char*, int, int)>("faccessat");
    return f(dirfd, path, how, flags);
}

off_t lseek(int fd, off_t offset, int whence) {
    if (fdHit(__func__, kSeek, fd)) return -1;
    static auto f = real<off_t (*)(int, off_t, int)>("lseek");
    return f(fd, offset, whence);
}

off64_t lseek64(int fd, off64_t offset, int whence) {
    if (fdHit(__func__, kSeek, fd)) return -1;
    static auto f = real<off64_t (*)(int, off64_t, int)>("lseek64");
    return f(fd, offset, whence);
}

int fsync(int fd) {
    if (fdHit(__func__, kFsync, fd)) return -1;
    static auto f = real<int (*)(int)>("fsync");
    return f(fd);
}

int fdatasync(int fd) {
    if (fdHit(__func__, kFsync, fd)) return -1;
    static auto f = real<int (*)(int)>("fdatasync");
    return f(fd);
}

int ftruncate(int fd, off_t length) {
    if (fdHit(__func__, kTruncate, fd)) return -1;
    static auto f = real<int (*)(int, off_t)>("ftruncate");
    return f(fd, length);
}

int ftruncate64(int fd, off64_t length) {
    if (fdHit(__func__, kTruncate, fd)) return -1;
    static auto f = real<int (*)(int, off64_t)>("ftruncate64");
    return f(fd, length);
}

int truncate(const char* path, off_t length) {
    if (hit(__func__, kTruncate, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*, off_t)>("truncate");
    return f(path, length);
}

int fchmod(int fd, mode_t mode) {
    if (fdHit(__func__, kChmod, fd)) return -1;
    static auto f = real<int (*)(int, mode_t)>("fchmod");
    return f(fd, mode);
}

int chmod(const char* path, mode_t mode) {
    if (hit(__func__, kChmod, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*, mode_t)>("chmod");
    return f(path, mode);
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) {
    if (hit(__func__, kChmod, inFolderAt(dirfd, path), path)) return -1;
    static auto f = real<int (*)(int, const char*, mode_t, int)>("fchmodat");
    return f(dirfd, path, mode, flags);
}

int flock(int fd, int operation) {
    if (fdHit(__func__, kLock, fd)) return -1;
    static auto f = real<int (*)(int, int)>("flock");
    return f(fd, operation);
}

int rename(const char* from, const char* to) {
    if (hit(__func__, kRename, inFolder(from) || inFolder(to), to)) return -1;
    static auto f = real<int (*)(const char*, const char*)>("rename");
    return f(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    if (hit(__func__, kRename, inFolderAt(fromDir, from) || inFolderAt(toDir, to), to)) return -1;
    static auto f = real<int (*)(int, const char*, int, const char*)>("renameat");
    return f(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (hit(__func__, kRename, inFolderAt(fromDir, from) || inFolderAt(toDir, to), to)) return -1;
    static auto f = real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return f(fromDir, from, toDir, to, flags);
}

int unlink(const char* path) {
    if (hit(__func__, kUnlink, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*)>("unlink");
    return f(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    if (hit(__func__, kUnlink, inFolderAt(dirfd, path), path)) return -1;
    static auto f = real<int (*)(int, const char*, int)>("unlinkat");
    return f(dirfd, path, flags);
}

int remove(const char* path) {
    if (hit(__func__, kUnlink, inFolder(path), path)) return -1;
    static auto f = real<int (*)(const char*)>("remove");
    return f(path);
}

int link(const char* from, const char* to) {
    if (hit(__func__, kLink, inFolder(from) || inFolder(to), to)) return -1;
    static auto f = real<int (*)(const char*, const char*)>("link");
    return f(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    if (hit(__func__, kLink, inFolderAt(fromDir, from) || inFolderAt(toDir, to), to)) return -1;
    static auto f = real<int (*)(int, const char*, int, const char*, int)>("linkat");
    return f(fromDir, from, toDir, to, flags);
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t size,
                        unsigned flags) {
    if (hit(__func__, kCopy, isTracked(in) || isTracked(out), fdName(out))) return -1;
    static auto f =
        real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range");
    return f(in, inOffset, out, outOffset, size, flags);
}

ssize_t sendfile(int out, int in, off_t* offset, size_t size) {
    if (hit(__func__, kCopy, isTracked(in) || isTracked(out), fdName(out))) return -1;
    static auto f = real<ssize_t (*)(int, int, off_t*, size_t)>("sendfile");
    return f(out, in, offset, size);
}

}  // extern "C"
