// Appends killed at every file call, and file systems that lack a call, with the fault
// library linked into this program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "faults/fault_control.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "support/pages.h"
#include "support/scripted_platform.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::bytesOf;
using test::contentOf;
using test::makePage;
using test::readFile;
using test::readRecords;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

// Runs an append in a child that dies at counted call k. True when it died.
bool appendKilledAt(long k, const fs::path& file, const std::string& records) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        test::FaultScope kill({{"DIR", file.parent_path().string()},
                               {"CALLS", "write,fsync,truncate,unlink"},
                               {"AT", std::to_string(k)},
                               {"ERRNO", "KILL"}});
        const bool ok = appendRecords(file, records, "2612061403").ok();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// After a kill at any moment and the next start, a list holds its old content or its old
// content with the whole new records; never a part of them.
TEST(AppendKills, TheNextStartFindsTheOldListOrTheWholeAppend) {
    const std::string page1 = recordBytes(makePage("1", 0)), page2 = recordBytes(makePage("2", 1));
    const std::string added = bytesOf({makePage("neu", 2), makePage("neu2", 3)});
    const std::string cut = page1 + test::withoutLineEnd(page2);
    const struct {
        const char* name;
        std::optional<std::string> before;
        std::string after;
    } cases[] = {
        {"a list", page1 + page2, page1 + page2 + added},
        {"a list without its last CR LF", cut, page1 + page2 + added},
        {"no list yet", std::nullopt, added},
    };
    int kills = 0;
    for (const auto& c : cases) {
        int oldAfterKill = 0, newAfterKill = 0;
        for (long k = 1;; ++k) {
            SCOPED_TRACE(std::string(c.name) + ", call " + std::to_string(k));
            TempDir dir;
            const fs::path file = dir / "holmtex-aktuell.dat";
            if (c.before) writeFile(file, *c.before);
            const bool killed = appendKilledAt(k, file, added);
            ScriptedPlatform platform;
            Holmtex form(platform, dir.path());
            form.Form_Load();
            const auto content = contentOf(file);
            EXPECT_FALSE(fs::exists(appendRedoFile(file)));
            if (!killed) {
                EXPECT_EQ(content, c.after);
                break;
            }
            ++kills;
            if (content == c.before) {
                ++oldAfterKill;
            } else {
                EXPECT_EQ(content, c.after);
                ++newAfterKill;
                EXPECT_EQ(form.List1.listCount(), static_cast<int>(readRecords(file).size()));
                EXPECT_EQ(form.Text2.text(), "neu2");
            }
        }
        EXPECT_GT(oldAfterKill, 0) << c.name;
        EXPECT_GT(newAfterKill, 0) << c.name;
    }
    RecordProperty("kills", kills);
}

// Without a new start: the next operation on the list finishes the append first.
TEST(AppendKills, TheNextOperationOnTheListFinishesTheAppend) {
    const std::string before = bytesOf({makePage("1", 0), makePage("2", 1)});
    const std::string added = recordBytes(makePage("neu", 2));
    for (long k = 1;; ++k) {
        SCOPED_TRACE("call " + std::to_string(k));
        TempDir dir;
        const fs::path file = dir / "holmtex-aktuell.dat";
        writeFile(file, before);
        ScriptedPlatform platform;
        Holmtex form(platform, dir.path());
        form.Form_Load();
        ASSERT_TRUE(appendKilledAt(k, file, added)) << "no kill left a part of the record";
        const std::string torn = readFile(file);
        if (torn == before || torn == before + added) continue;
        // The list ends in half a record now, with its redo file beside it.
        ASSERT_TRUE(fs::exists(appendRedoFile(file)));
        form.List1.clickLine(0);
        form.Command2_Click();
        EXPECT_EQ(readFile(file), bytesOf({makePage("2", 1), makePage("neu", 2)}));
        EXPECT_EQ(form.List1.listCount(), 2);
        EXPECT_FALSE(fs::exists(appendRedoFile(file)));
        break;
    }
}

TEST(AppendRecords, AnAppendThatMakesTheFileSyncsItsFolder) {
    TempDir dir, traceDir;
    writeFile(dir / "holmtex-aktuell.dat", "");
    const auto folderSyncs = [&](const char* name) {
        const fs::path trace = traceDir / name;
        {
            test::FaultScope count({{"DIR", dir.path().string()},
                                    {"CALLS", "fsync"},
                                    {"NAME", dir.path().filename().string()},
                                    {"TRACE", trace.string()}});
            EXPECT_TRUE(
                appendRecords(dir / name, recordBytes(makePage("1", 0)), "2612061403").ok());
        }
        return test::tracedCalls(trace).size();
    };
    const std::size_t toAFile = folderSyncs("holmtex-aktuell.dat");
    EXPECT_EQ(folderSyncs("holmtex-archiv.dat"), toAFile + 1);
}

// A file in place whose folder could not be synced is said to be there but not safe; a list
// that cannot be read is no damaged data.
TEST(FolderSync, AFileInPlaceButNotSafeIsSaidToBeSo) {
    TempDir dir;
    writeFile(dir / "holmtex-aktuell.dat", recordBytes(makePage("1", 0)));
    ScriptedPlatform platform;
    Holmtex form(platform, dir.path());
    form.Form_Load();
    const std::string folder = dir.path().filename().string();
    const struct {
        const char *calls, *word;
        std::string name, said;
    } cases[] = {
        {"read", "datacheck!", "holmtex-aktuell.dat",
         "Prüfung nicht beendet, Lesefehler: Ein-/Ausgabefehler (holmtex-aktuell.dat)."},
        {"fsync", "pdf!", folder,
         "Familienblatt_1_2612061403.pdf im Programmordner, aber nicht sicher gespeichert."},
        {"fsync", "datacheck!", folder,
         "Prüfung erfolgt, Daten in Ordnung, check.dat aber nicht sicher gespeichert: "
         "Ein-/Ausgabefehler."},
    };
    for (const auto& c : cases) {
        form.Combo1.setText("");
        {
            test::FaultScope failing({{"DIR", dir.path().string()},
                                      {"CALLS", c.calls},
                                      {"NAME", c.name},
                                      {"AT", "every"},
                                      {"ERRNO", "EIO"}});
            form.Combo1.setText(c.word);
        }
        EXPECT_EQ(form.Text5.text(), c.said);
    }
    EXPECT_TRUE(fs::exists(dir / "Familienblatt_1_2612061403.pdf"));
    EXPECT_EQ(readFile(dir / "check.dat"), recordBytes(makePage("1", 0)));
}

// Some file systems (FAT, some network ones) know neither a no-replace rename nor hard
// links: the rename still never replaces a file.
TEST(RenameIfFree, WithNeitherNoReplaceRenameNorHardLinks) {
    TempDir dir;
    writeFile(dir / "a", "A");
    writeFile(dir / "b", "B");
    int taken, free;
    {
        test::FaultScope lacking({{"DIR", dir.path().string()},
                                  {"CALLS", "renameat2,link"},
                                  {"AT", "every"},
                                  {"ERRNO", "renameat2:EINVAL,link:EPERM"}});
        taken = renameIfFree(dir / "a", dir / "b").error;
        free = renameIfFree(dir / "a", dir / "c").error;
    }
    EXPECT_EQ(taken, EEXIST);
    EXPECT_EQ(free, 0);
    EXPECT_EQ(readFile(dir / "b"), "B");
    EXPECT_EQ(readFile(dir / "c"), "A");
    EXPECT_FALSE(fs::exists(dir / "a"));
}

}  // namespace
}  // namespace holmtex
