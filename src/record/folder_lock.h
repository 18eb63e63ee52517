#pragma once
// One program per working folder: an exclusive lock on the file "holmtex.lock" in it. Two
// programs on the same lists would each write work files and lists the other one reads.
// The lock goes with the process, so a crash leaves none behind.

#include <filesystem>

#include "record/file_names.h"

namespace holmtex {

class FolderLock {
public:
    enum class State {
        Held,         // this program has the folder to itself
        Busy,         // another program holds it; nothing was changed
        Unavailable,  // no lock file can be made (a read-only folder): nothing to guard
    };

    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Tries to take the lock of `folder` without waiting. A second start sees Busy and has
    // neither created nor changed any file.
    static FolderLock take(const std::filesystem::path& folder);

    State state() const { return state_; }
    int error() const { return error_; }  // why it is Unavailable

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
    int error_ = 0;
};

}  // namespace holmtex
