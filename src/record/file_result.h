#pragma once
// What a file call came to: the errno that stopped it and the bare name of the file it was
// working on. Every file primitive of record/ answers with one, so a message can always
// say what went wrong and with which file.

#include <cerrno>
#include <filesystem>
#include <string>

namespace holmtex {

// The errno our file calls answer with when a name stands for a named pipe, a device or a
// socket where a plain file belongs (a folder gives EISDIR). Reading one could wait for
// ever or never end, and replacing one would put a plain file where something else was.
// No call of the system gives this errno for such a name.
inline constexpr int kNotAPlainFile = EMEDIUMTYPE;

// The code of a list file that ends inside an unfinished record, or reads out of step from an
// earlier record to its end: nothing is appended to it and nothing copied out of it. Beyond
// every errno.
inline constexpr int kDamagedTail = 0x10000;

struct FileResult {
    int error = 0;     // 0, or the errno of the step that failed
    std::string file;  // bare name of the file that step worked on; empty when none failed

    bool ok() const { return error == 0; }
    // True when it went through, as for an open that succeeded.
    explicit operator bool() const { return ok(); }

    // `error` (0: none) of a step on `path`.
    static FileResult of(int error, const std::filesystem::path& path) {
        if (error == 0) return {};
        return {error, path.filename().string()};
    }
};

}  // namespace holmtex
