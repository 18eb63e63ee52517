#include "record/folder_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

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

// Whatever name a second program takes the folder by, and whatever became of the lock file
// since the first one took it, the second finds the folder taken.
TEST(FolderLock, NoOtherNameAndNoLostLockFileLetsASecondProgramIn) {
    TempDir dir, links;
    fs::create_directory(dir / "unter");
    fs::create_directory_symlink(dir.path(), links / "verweis");
    const fs::path lockFile = dir / "holmtex.lock";
    const struct {
        const char* name;
        fs::path second;
        std::function<void()> meanwhile;
    } cases[] = {
        {"the same name", dir.path(), [] {}},
        {"a trailing slash", dir.path().string() + "/", [] {}},
        {"by way of ..", dir / "unter" / "..", [] {}},
        {"a link to the folder", links / "verweis", [] {}},
        {"the lock file deleted", dir.path(), [&] { fs::remove(lockFile); }},
        {"the lock file replaced", dir.path(),
         [&] {
             test::writeFile(dir / "neu", "");
             fs::rename(dir / "neu", lockFile);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OtherProgram first(dir.path());
        ASSERT_EQ(first.state(), 'H');
        c.meanwhile();
        EXPECT_EQ(OtherProgram(c.second).state(), 'B');
    }
    // A bind mount shows the same folder under another name; only the superuser may make one.
    OtherProgram first(dir.path());
    fs::create_directory(links / "eingehaengt");
    const fs::path mounted = links / "eingehaengt";
    if (::mount(dir.path().c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        std::printf("bind mount not tried: %s\n", std::strerror(errno));
        return;
    }
    EXPECT_EQ(OtherProgram(mounted).state(), 'B') << "through a bind mount";
    ::umount2(mounted.c_str(), MNT_DETACH);
}

// Older installations look only at the lock file: each keeps the other out.
TEST(FolderLock, AnOlderInstallationHoldingTheLockFileKeepsItsPlace) {
    TempDir dir;
    const auto olderTakes = [&] {
        const int fd = ::open((dir / "holmtex.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        return ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? fd : (::close(fd), -1);
    };
    const int older = olderTakes();
    EXPECT_EQ(FolderLock::take(dir.path()).state(), FolderLock::State::Busy);
    ::close(older);
    const FolderLock mine = FolderLock::take(dir.path());
    EXPECT_EQ(olderTakes(), -1);
}

// A program that only reads the lists shares the folder with other readers, never with a
// window, and creates no file.
TEST(FolderLock, ReadersShareTheFolderButNotWithAWindow) {
    TempDir dir;
    {
        const FolderLock reader = FolderLock::share(dir.path());
        EXPECT_EQ(reader.state(), FolderLock::State::Held);
        EXPECT_FALSE(fs::exists(dir / "holmtex.lock"));
        EXPECT_EQ(FolderLock::share(dir.path()).state(), FolderLock::State::Held);
        EXPECT_EQ(OtherProgram(dir.path()).state(), 'B');
    }
    OtherProgram window(dir.path());
    ASSERT_EQ(window.state(), 'H');
    EXPECT_EQ(FolderLock::share(dir.path()).state(), FolderLock::State::Busy);
    // An older installation takes only the lock file.
    window.end(false);
    fs::remove(dir / "holmtex.lock");
    test::writeFile(dir / "holmtex.lock", "");
    const int older = ::open((dir / "holmtex.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(older, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(FolderLock::share(dir.path()).state(), FolderLock::State::Busy);
    ::close(older);
}

TEST(FolderLock, AFolderThatCannotHoldALockFileIsNotGuarded) {
    TempDir dir;
    const FolderLock lock = FolderLock::take(dir / "fehlt");
    EXPECT_EQ(lock.state(), FolderLock::State::Unavailable);
    EXPECT_EQ(lock.error(), ENOENT);
}

}  // namespace
}  // namespace holmtex
