#include "record/conflict_copies.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <regex>
#include <tuple>

#include "record/posix_io.h"

namespace holmtex {

namespace {

constexpr ListKind kLists[] = {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein};

// What follows the list's stem. Groups: year, month, day, hours, minutes, seconds.
const std::regex& syncthingStyle() {
    // ".sync-conflict-20261207-101010-ABCDEFG.dat"; early versions had no device ID.
    static const std::regex style(R"(^\.sync-conflict-(\d{4})(\d{2})(\d{2})-(\d{2})(\d{2})(\d{2}))"
                                  R"((?:-[A-Za-z0-9]+)?\.dat$)");
    return style;
}

const std::regex& bracketStyle() {
    // " (conflicted copy 2026-12-07 101010).dat" and " (Name's conflicted copy 2026-12-07).dat",
    // with a user name after "copy", a counter inside or after the brackets.
    static const std::regex style(
        R"(^ \((?:[^()]*(?:'|\xE2\x80\x99)s )?[Cc]onflicted [Cc]opy(?: [^()]*?)?)"
        R"( (\d{4})-(\d{2})-(\d{2})(?: (\d{2})(\d{2})(\d{2})?)?(?: \(\d+\)| \d+)?\))"
        R"((?: ?\(\d+\))?\.dat$)");
    return style;
}

int number(const std::csub_match& group) { return group.matched ? std::stoi(group.str()) : 0; }

// The local time the groups spell; none when they spell no real time.
std::optional<std::int64_t> timeOf(const std::cmatch& m) {
    std::tm tm{};
    tm.tm_year = number(m[1]) - 1900;
    tm.tm_mon = number(m[2]) - 1;
    tm.tm_mday = number(m[3]);
    tm.tm_hour = number(m[4]);
    tm.tm_min = number(m[5]);
    tm.tm_sec = number(m[6]);
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 60)
        return std::nullopt;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(t);
}

}  // namespace

std::optional<ConflictName> parseConflictName(std::string_view name) {
    for (ListKind list : kLists) {
        const std::string_view stem = listStem(list);
        if (!name.starts_with(stem)) continue;
        const std::string_view rest = name.substr(stem.size());
        std::cmatch m;
        for (const std::regex* style : {&syncthingStyle(), &bracketStyle()}) {
            if (std::regex_match(rest.data(), rest.data() + rest.size(), m, *style))
                return ConflictName{list, timeOf(m)};
        }
    }
    return std::nullopt;
}

std::vector<ConflictCopy> ConflictCopies::of(ListKind list) const {
    std::vector<ConflictCopy> found;
    for (const ConflictCopy& copy : copies)
        if (copy.list == list) found.push_back(copy);
    return found;
}

bool ConflictCopies::any(ListKind list) const {
    return std::any_of(copies.begin(), copies.end(),
                       [list](const ConflictCopy& copy) { return copy.list == list; });
}

namespace {

// Looks at one entry whose name is that of a conflict copy.
void takeEntry(int dirFd, const char* name, const ConflictName& parsed, ConflictCopies& found) {
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)  // gone since the folder was read: nothing to do
            found.leftAlone.push_back({parsed.list, name, errno});
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        const int error = S_ISLNK(st.st_mode) ? ELOOP : posix::plainFileError(st.st_mode);
        found.leftAlone.push_back({parsed.list, name, error});
        return;
    }
    const std::int64_t modifiedNs =
        std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    found.copies.push_back(
        {parsed.list, name, parsed.time.value_or(st.st_mtim.tv_sec), modifiedNs});
}

}  // namespace

ConflictCopies findConflictCopies(const std::filesystem::path& folder) {
    ConflictCopies found;
    const std::filesystem::path name = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = posix::openRetrying(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        found.failure = FileResult::of(errno, name);
        if (fd >= 0) ::close(fd);
        return found;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno) found.failure = FileResult::of(errno, name);
            break;
        }
        if (const auto parsed = parseConflictName(entry->d_name))
            takeEntry(::dirfd(dir), entry->d_name, *parsed, found);
    }
    ::closedir(dir);
    std::sort(found.copies.begin(), found.copies.end(),
              [](const ConflictCopy& a, const ConflictCopy& b) {
                  return std::tie(a.list, a.time, a.modifiedNs, a.name) <
                         std::tie(b.list, b.time, b.modifiedNs, b.name);
              });
    return found;
}

}  // namespace holmtex
