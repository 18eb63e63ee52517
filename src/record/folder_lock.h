#pragma once
// One program per working folder: an exclusive lock on the folder itself, and one on the file
// "holmtex.lock" in it, which older installations take. Two programs on the same lists would
// each write work files and lists the other one reads. The locks go with the process, so a
// crash leaves none behind.

#include <filesystem>

#include "record/file_names.h"

namespace holmtex {

class FolderLock {
public:
    enum class State {
        Held,         // this program has the folder to itself
        Busy,         // another program holds it; nothing was changed
        Unavailable,  // neither the folder nor a lock file can be locked: nothing to guard
    };

    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Tries to take the locks of `folder` without waiting. A second start sees Busy and has
    // neither created nor changed any file, whatever name it took the folder by, and also
    // when the lock file was deleted or replaced since the first one started.
    static FolderLock take(const std::filesystem::path& folder);
    // The same locks shared, for a program that only reads the lists: Busy while a window
    // holds the folder, and while it is held no window starts there. Creates no file.
    static FolderLock share(const std::filesystem::path& folder);

    State state() const { return state_; }
    int error() const { return error_; }  // why it is Unavailable

private:
    void release();

    int fd_ = -1;        // the lock file
    int folderFd_ = -1;  // the folder
    State state_ = State::Unavailable;
    int error_ = 0;
};

}  // namespace holmtex
