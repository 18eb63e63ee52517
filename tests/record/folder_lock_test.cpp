#include "record/folder_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.h"

namespace holmtex {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// A second program that takes the folder's lock and holds it until told to end, or until
// it is killed.
class OtherProgram {
public:
    explicit OtherProgram(const fs::path& folder) {
        int ready[2], stop[2];
        if (::pipe(ready) != 0 || ::pipe(stop) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only its own ends of the pipes, so that it sees the end of `stop`.
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != ready[1] && fd != stop[0]) ::close(fd);
            const FolderLock lock = FolderLock::take(folder);
            const char state = lock.state() == FolderLock::State::Held ? 'H' : 'B';
            if (::write(ready[1], &state, 1) != 1) ::_exit(2);
            char c;
            while (::read(stop[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(stop[0]);
        stop_ = stop[1];
        if (::read(ready[0], &state_, 1) != 1) state_ = '?';
        ::close(ready[0]);
    }
    ~OtherProgram() { end(false); }

    char state() const { return state_; }  // 'H' held, 'B' busy
    void end(bool kill) {
        if (pid_ <= 0) return;
        if (kill) ::kill(pid_, SIGKILL);
        ::close(stop_);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int stop_ = -1;
    char state_ = '?';
};

TEST(FolderLock, OneProgramPerFolder) {
    for (bool crash : {false, true}) {
        SCOPED_TRACE(crash ? "the first one crashes" : "the first one ends");
        TempDir dir;
        OtherProgram first(dir.path());
        ASSERT_EQ(first.state(), 'H');
        EXPECT_TRUE(fs::exists(dir / "holmtex.lock"));
        EXPECT_EQ(FolderLock::take(dir.path()).state(), FolderLock::State::Busy);
        {
            OtherProgram second(dir.path());
            EXPECT_EQ(second.state(), 'B');
        }
        // Another folder is free all the time.
        TempDir elsewhere;
        EXPECT_EQ(FolderLock::take(elsewhere.path()).state(), FolderLock::State::Held);
        // Gone with the process, however it ends: no stale lock.
        first.end(crash);
        const FolderLock mine = FolderLock::take(dir.path());
        EXPECT_EQ(mine.state(), FolderLock::State::Held);
        OtherProgram third(dir.path());
        EXPECT_EQ(third.state(), 'B');
    }
}

TEST(FolderLock, AFolderThatCannotHoldALockFileIsNotGuarded) {
    TempDir dir;
    const FolderLock lock = FolderLock::take(dir / "fehlt");
    EXPECT_EQ(lock.state(), FolderLock::State::Unavailable);
    EXPECT_EQ(lock.error(), ENOENT);
}

}  // namespace
}  // namespace holmtex
