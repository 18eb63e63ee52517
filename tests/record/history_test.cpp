// The history of the lists: changes recorded around the real file calls of the operations,
// taken back and redone byte for byte, refused over a file changed since, bounded, and
// safe against a kill or a full disk at every file call (the fault library is linked in).
#include "record/history.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <map>
#include <set>

#include "faults/fault_control.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "support/pages.h"
#include "support/plain_records.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::namedPages;
using test::readFile;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

const std::string kAktuell = dataFileName(ListKind::Aktuell);
const std::string kArchiv = dataFileName(ListKind::Archiv);
const std::string kTrans = transferFileName();
const ChangeTime kTime{2026, 6, 12, 14, 3, 5};

// The files a change may touch, by name; a missing one is not there.
using Files = std::map<std::string, std::string>;

Files filesIn(const fs::path& dir) {
    Files files;
    for (const std::string& name : {kAktuell, kArchiv, kTrans})
        if (auto bytes = test::contentOf(dir / name)) files[name] = *bytes;
    return files;
}

void lay(const fs::path& dir, const Files& files) {
    for (const auto& [name, bytes] : files) writeFile(dir / name, bytes);
}

long long pagesIn(const fs::path& file) {
    return static_cast<long long>(test::readRecords(file).size());
}

// The process numbers of the pages in all the files.
std::multiset<std::string> pagesOf(const Files& files) {
    std::multiset<std::string> numbers;
    for (const auto& [name, bytes] : files)
        for (const test::PlainRecord& r : test::readPlain(bytes).records)
            numbers.insert(r.text(ProcessNumber));
    return numbers;
}

// ---- The operations, as they will record themselves ----

HistoryResult replaceWith(History& h, const fs::path& dir, const std::string& name,
                          const std::string& bytes) {
    const HistoryResult begun =
        h.begin({kTime, ChangeKind::Delete, 1, {{name, FileChange::Replace, pagesIn(dir / name)}}});
    if (begun.status == HistoryStatus::NoRoom) return begun;
    ContentHash hash;
    hash.update(bytes);
    const bool done = writeWholeFile(dir / name, bytes, LinkRule::Follow).replaced;
    const HistoryResult completed =
        h.complete({done ? FileAfter::written(hash, pagesIn(dir / name)) : FileAfter::unchanged()});
    return begun.ok() ? completed : begun;
}

HistoryResult appendTo(History& h, const fs::path& dir, const std::string& name,
                       const std::string& bytes) {
    const HistoryResult begun =
        h.begin({kTime, ChangeKind::Save, -1, {{name, FileChange::Append, pagesIn(dir / name)}}});
    if (begun.status == HistoryStatus::NoRoom) return begun;
    const AppendResult a = appendRecords(dir / name, bytes, "2612071010");
    const HistoryResult completed =
        h.complete({a.ok() ? FileAfter::appended(a.sizeBefore, a.sizeAfter, pagesIn(dir / name))
                           : FileAfter::unchanged()});
    return begun.ok() ? completed : begun;
}

// Begins a change as an operation does: only a full disk refuses it.
bool mayGoOn(History& h, const ChangeStart& change) {
    return h.begin(change).status != HistoryStatus::NoRoom;
}

// A page from AKTUELL to the end of ARCHIV: appended there first, then taken out.
void movePage(History& h, const fs::path& dir, const std::string& rest, const std::string& page) {
    if (!mayGoOn(h, {kTime,
                     ChangeKind::Move,
                     1,
                     {listFile(ListKind::Aktuell, FileChange::Replace, pagesIn(dir / kAktuell)),
                      listFile(ListKind::Archiv, FileChange::Append, pagesIn(dir / kArchiv))}}))
        return;
    const AppendResult a = appendRecords(dir / kArchiv, page, "2612071010");
    if (!a.ok()) return h.abandon();
    ContentHash hash;
    hash.update(rest);
    const bool replaced = writeWholeFile(dir / kAktuell, rest, LinkRule::Follow).replaced;
    h.complete(
        {replaced ? FileAfter::written(hash, pagesIn(dir / kAktuell)) : FileAfter::unchanged(),
         FileAfter::appended(a.sizeBefore, a.sizeAfter, pagesIn(dir / kArchiv))});
}

// The pages of the transfer file into AKTUELL, then the file removed.
void importPages(History& h, const fs::path& dir, const std::string& pages) {
    if (!mayGoOn(h, {kTime,
                     ChangeKind::Import,
                     -1,
                     {listFile(ListKind::Aktuell, FileChange::Append, pagesIn(dir / kAktuell)),
                      {kTrans, FileChange::Replace, pagesIn(dir / kTrans)}}}))
        return;
    const AppendResult a = appendRecords(dir / kAktuell, pages, "2612071010");
    if (!a.ok()) return h.abandon();
    const bool removed = removeFile(dir / kTrans).ok();
    h.complete({FileAfter::appended(a.sizeBefore, a.sizeAfter, pagesIn(dir / kAktuell)),
                removed ? FileAfter::removed() : FileAfter::unchanged()});
}

// "alle löschen" on a list file of its own: it becomes the backup.
void deleteAll(History& h, const fs::path& dir) {
    ASSERT_TRUE(h.begin({kTime,
                         ChangeKind::DeleteAll,
                         -1,
                         {listFile(ListKind::Aktuell, FileChange::Replace, 3)}})
                    .ok());
    ASSERT_TRUE(renameFile(dir / kAktuell, dir / backupFileName(ListKind::Aktuell)).ok());
    EXPECT_TRUE(h.complete({FileAfter::asItIsNow(0)}).ok());
}

struct Case {
    const char* name;
    Files before;
    std::function<void(History&, const fs::path&)> change;
    Files after;
};

std::vector<Case> changes() {
    const std::string a = namedPages("a", 3), r = namedPages("r", 1), t = namedPages("t", 2);
    const std::string page = namedPages({"neu"});
    const std::string a02 = test::bytesOf({test::namedPage("a0", 0), test::namedPage("a2", 2)});
    const auto append = [page](const std::string& name) {
        return [=](History& h, const fs::path& dir) { appendTo(h, dir, name, page); };
    };
    std::string moved = r;  // page a1 at the end of ARCHIV
    writeRecord(moved, test::namedPage("a1", 1));
    return {
        {"a line deleted: the list replaced whole",
         {{kAktuell, a}},
         [a02](History& h, const fs::path& dir) { replaceWith(h, dir, kAktuell, a02); },
         {{kAktuell, a02}}},
        {"a page saved: appended", {{kAktuell, a}}, append(kAktuell), {{kAktuell, a + page}}},
        {"saved behind a last page without CR LF",
         {{kAktuell, test::withoutLineEnd(a)}},
         append(kAktuell),
         {{kAktuell, a + page}}},
        {"the first page of a list that had no file", {}, append(kArchiv), {{kArchiv, page}}},
        {"a move: one change of two lists",
         {{kAktuell, a}, {kArchiv, r}},
         [a02](History& h, const fs::path& dir) {
             movePage(h, dir, a02, recordBytes(test::namedPage("a1", 1)));
         },
         {{kAktuell, a02}, {kArchiv, moved}}},
        {"an import with its transfer file",
         {{kAktuell, a}, {kTrans, t}},
         [t](History& h, const fs::path& dir) { importPages(h, dir, t); },
         {{kAktuell, a + t}}},
        {"alle löschen: the list file becomes the backup", {{kAktuell, a}}, deleteAll, {}},
    };
}

// Every change taken back and redone gives the files byte for byte as before and after, by
// a program started anew each time; the .bak files stay as the change left them. Also where
// the file system has no hard links, and the history keeps copies.
TEST(History, EveryChangeIsTakenBackAndRedoneByteForByte) {
    for (const Case& c : changes())
        for (const char* links : {"0", "every"}) {
            SCOPED_TRACE(std::string(c.name) + (links[0] == '0' ? "" : ", no hard links"));
            TempDir dir;
            test::FaultScope noLinks({{"DIR", dir.path().string()},
                                      {"AT", links},
                                      {"CALLS", "link"},
                                      {"ERRNO", "EPERM"}});
            lay(dir.path(), c.before);
            History(dir.path()).listing();  // reading makes nothing
            EXPECT_FALSE(fs::exists(dir / historyFolderName()));
            {
                History history(dir.path());
                c.change(history, dir.path());
            }
            EXPECT_EQ(filesIn(dir.path()), c.after);
            const std::string bak = readFile(dir / backupFileName(ListKind::Aktuell));
            for (const Files* expected : {&c.before, &c.after, &c.before}) {
                const bool back = expected == &c.before;
                const StepResult step =
                    back ? History(dir.path()).takeBack(kTime) : History(dir.path()).redo(kTime);
                EXPECT_EQ(step.status, StepStatus::Done);
                EXPECT_TRUE(step.recorded);
                EXPECT_EQ(filesIn(dir.path()), *expected);
            }
            EXPECT_EQ(readFile(dir / backupFileName(ListKind::Aktuell)), bak);
            EXPECT_EQ(History(dir.path()).takeBack(kTime).status, StepStatus::Nothing);
            EXPECT_EQ(filesIn(dir.path()), c.before);
        }
}

TEST(History, WalksBackAndForthUntilANewChange) {
    TempDir dir;
    History history(dir.path());
    std::vector<Files> states{filesIn(dir.path())};
    for (const char* n : {"1", "2", "3"}) {
        ASSERT_TRUE(appendTo(history, dir.path(), kAktuell, namedPages({n})).ok());
        states.push_back(filesIn(dir.path()));
    }
    for (int i = 2; i >= 0; --i) {
        EXPECT_EQ(history.takeBack(kTime).status, StepStatus::Done);
        EXPECT_EQ(filesIn(dir.path()), states[i]);
    }
    EXPECT_EQ(history.redo(kTime).status, StepStatus::Done);
    EXPECT_EQ(history.redo(kTime).status, StepStatus::Done);
    EXPECT_EQ(filesIn(dir.path()), states[2]);

    const HistoryListing listing = history.listing();
    ASSERT_EQ(listing.changes.size(), 8u);  // 3 changes, 3 back, 2 forth; newest first
    EXPECT_EQ(listing.changes[0].step, Step::Redo);
    EXPECT_EQ(listing.changes[0].kind, ChangeKind::Save);
    EXPECT_EQ(listing.changes[0].of, listing.changes[3].number);  // the second step back
    EXPECT_EQ(listing.changes[0].time, kTime);
    ASSERT_EQ(listing.changes[0].files.size(), 1u);
    EXPECT_EQ(listing.changes[0].files[0].list, ListKind::Aktuell);
    EXPECT_EQ(listing.changes[0].files[0].pagesBefore, 1);
    EXPECT_EQ(listing.changes[0].files[0].pagesAfter, 2);
    EXPECT_EQ(listing.nextTakeBack, listing.changes[0].number);

    // A new change ends what could be redone.
    ASSERT_TRUE(appendTo(history, dir.path(), kArchiv, namedPages({"x"})).ok());
    EXPECT_EQ(history.redo(kTime).status, StepStatus::Nothing);
    EXPECT_EQ(history.listing().nextRedo, 0u);
}

// A file changed since the change, or kept altered, is never overwritten.
TEST(History, RefusesOverAFileChangedSinceOrAKeptFileAltered) {
    const std::string a = namedPages("a", 3);
    const struct {
        const char* name;
        std::function<void(const fs::path&)> meddle;
        StepStatus status;
        std::string file;
    } cases[] = {
        {"a page added without the history",
         [](const fs::path& dir) {
             appendRecords(dir / kAktuell, namedPages({"z"}), "2612071010");
         },
         StepStatus::ChangedSince, kAktuell},
        {"the same length, other bytes",
         [&](const fs::path& dir) { writeFile(dir / kAktuell, std::string(a.size(), 'x')); },
         StepStatus::ChangedSince, kAktuell},
        {"a new transfer file where the import removed one",
         [](const fs::path& dir) { writeFile(dir / kTrans, namedPages({"t9"})); },
         StepStatus::ChangedSince, kTrans},
        {"an append to the list cut short",
         [](const fs::path& dir) { writeFile(appendRedoFile(dir / kAktuell), ""); },
         StepStatus::ChangedSince, kAktuell},
        {"the kept transfer file removed",
         [](const fs::path& dir) { fs::remove(dir / historyFolderName() / "00000001-1.alt"); },
         StepStatus::EntryDamaged, kTrans},
        {"the kept transfer file written to",
         [](const fs::path& dir) {
             appendRecords(dir / historyFolderName() / "00000001-1.alt", namedPages({"q"}),
                           "2612071010");
         },
         StepStatus::EntryDamaged, kTrans},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        lay(dir.path(), {{kAktuell, a}, {kTrans, namedPages("t", 2)}});
        History history(dir.path());
        importPages(history, dir.path(), namedPages("t", 2));
        c.meddle(dir.path());
        const Files meddled = filesIn(dir.path());
        const StepResult step = history.takeBack(kTime);
        EXPECT_EQ(step.status, c.status);
        EXPECT_EQ(step.file, c.file);
        EXPECT_EQ(step.change.kind, ChangeKind::Import);
        EXPECT_EQ(filesIn(dir.path()), meddled);
    }
}

TEST(History, KeepsTheLast100ChangesOfEachListAndAtMost20TimesTheirSize) {
    TempDir dir;
    History history(dir.path());
    for (int i = 0; i < 101; ++i)
        ASSERT_TRUE(appendTo(history, dir.path(), kAktuell, namedPages({std::to_string(i)})).ok());
    ASSERT_TRUE(appendTo(history, dir.path(), kArchiv, namedPages({"r"})).ok());
    HistoryListing listing = history.listing();
    EXPECT_EQ(listing.changes.size(), 101u);
    EXPECT_EQ(listing.changes.back().number, 2u);  // the first change dropped

    // Lists of 200 kB, replaced whole 40 times: 8 MB of old lists for a bound of 4 MB.
    const std::string big = namedPages("b", 1, 200 * 1000);
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(
            replaceWith(history, dir.path(), kArchiv, big + namedPages({std::to_string(i)})).ok());
    std::uintmax_t kept = 0, lists = 0;
    for (const auto& entry : fs::directory_iterator(dir / historyFolderName()))
        kept += entry.file_size();
    for (const std::string& name : {kAktuell, kArchiv}) lists += fs::file_size(dir / name);
    EXPECT_LE(kept, 20 * lists);
    EXPECT_GT(kept, 15 * lists);
    listing = history.listing();
    EXPECT_EQ(listing.changes.front().number, 142u);  // the newest stays
    EXPECT_TRUE(listing.unreadable.empty());
}

// A missing, damaged or foreign history never stops a change, and is never restored from.
TEST(History, ADamagedOrForeignHistoryStopsNothing) {
    TempDir dir;
    const std::string a = namedPages("a", 2);
    writeFile(dir / kAktuell, a);
    writeFile(dir / historyFolderName(), "eine Datei, kein Ordner");
    History history(dir.path());
    const HistoryResult r = appendTo(history, dir.path(), kAktuell, namedPages({"n"}));
    EXPECT_EQ(r.status, HistoryStatus::NotWritten);
    EXPECT_EQ(r.failure.error, ENOTDIR);
    EXPECT_EQ(filesIn(dir.path())[kAktuell], a + namedPages({"n"}));
    EXPECT_EQ(history.takeBack(kTime).status, StepStatus::NotWritten);
    EXPECT_EQ(history.listing().read.error, ENOTDIR);

    // A full disk refuses the change before the list is touched.
    fs::remove(dir / historyFolderName());
    {
        test::FaultScope full({{"DIR", dir.path().string()},
                               {"AT", "every"},
                               {"CALLS", "write"},
                               {"ERRNO", "ENOSPC"}});
        EXPECT_EQ(appendTo(history, dir.path(), kAktuell, "x").status, HistoryStatus::NoRoom);
    }
    EXPECT_EQ(filesIn(dir.path())[kAktuell], a + namedPages({"n"}));
    EXPECT_TRUE(fs::is_empty(dir / historyFolderName()));

    // Foreign files are left alone; a damaged entry is skipped, and what it changed keeps
    // the older change from being taken back.
    ASSERT_TRUE(appendTo(history, dir.path(), kAktuell, namedPages({"m"})).ok());
    ASSERT_TRUE(replaceWith(history, dir.path(), kAktuell, a).ok());
    const fs::path folder = dir / historyFolderName();
    writeFile(folder / "notiz.txt", "fremd");
    writeFile(folder / "00000099.eintrag.alt", "fremd");
    std::string entry = readFile(folder / "00000002.eintrag");
    entry[entry.find("zeile")] = 'Z';
    writeFile(folder / "00000002.eintrag", entry);
    const HistoryListing listing = history.listing();
    EXPECT_EQ(listing.unreadable, std::vector<std::string>{"00000002.eintrag"});
    ASSERT_EQ(listing.changes.size(), 1u);
    const StepResult step = history.takeBack(kTime);
    EXPECT_EQ(step.status, StepStatus::ChangedSince);
    EXPECT_EQ(filesIn(dir.path())[kAktuell], a);
    ASSERT_TRUE(appendTo(history, dir.path(), kAktuell, namedPages({"o"})).ok());
    EXPECT_EQ(readFile(folder / "notiz.txt"), "fremd");
    EXPECT_TRUE(fs::exists(folder / "00000099.eintrag.alt"));
}

// A change begun and never completed is not listed, not taken back, and removed by the
// next change.
TEST(History, AChangeBegunAndNeverCompletedLeavesNothingBehind) {
    TempDir dir, keep;
    writeFile(dir / kAktuell, namedPages("a", 2));
    {
        History history(dir.path());
        ASSERT_TRUE(history
                        .begin({kTime,
                                ChangeKind::Delete,
                                0,
                                {listFile(ListKind::Aktuell, FileChange::Replace, 2)}})
                        .ok());
        fs::copy(dir / historyFolderName(), keep.path(), fs::copy_options::recursive);
    }  // abandoned: as a crash would leave it, but for the copy
    fs::copy(keep.path(), dir / historyFolderName(), fs::copy_options::recursive);
    History history(dir.path());
    EXPECT_TRUE(history.listing().changes.empty());
    EXPECT_TRUE(history.listing().unreadable.empty());
    EXPECT_EQ(history.takeBack(kTime).status, StepStatus::Nothing);
    ASSERT_TRUE(appendTo(history, dir.path(), kAktuell, namedPages({"n"})).ok());
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / historyFolderName()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, std::set<std::string>{"00000001.eintrag"});
}

// ---- A kill or a full disk at every file call ----

struct Sweep {
    const char* name;
    Files start;
    std::function<void(History&, const fs::path&)> prepare;  // not counted
    std::function<void(History&, const fs::path&)> run;      // every file call failed once
};

// How a file call fails, and the calls that are failed in turn.
struct Fault {
    const char* error;
    const char* calls;
};
constexpr Fault kFaults[] = {
    {"KILL", "write,rename,unlink,link,truncate"},  // where the folder changes
    {"ENOSPC", "write,link,fsync"},                 // where room is taken
    {"EIO", ""},                                    // every call
};

// Runs `s.run` on `dir` in a child in which the k-th of the fault's calls in the folder fails
// (for KILL: the child dies there); none for k = 0, when `trace` gets every one of them.
void runChild(const Sweep& s, const fs::path& dir, const Fault& fault, long k,
              const fs::path& trace = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        {
            History history(dir);
            test::FaultScope scope({{"DIR", dir.string()},
                                    {"AT", std::to_string(k)},
                                    {"ERRNO", fault.error},
                                    {"CALLS", fault.calls},
                                    {"TRACE", trace.string()}});
            s.run(history, dir);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// A copy of a folder with the modification times of its files, as the history checks them.
void copyFolder(const fs::path& from, const fs::path& to) {
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directory(target);
            continue;
        }
        fs::copy_file(entry.path(), target);
        fs::last_write_time(target, entry.last_write_time());
    }
}

// Lists as before or as after, never a page in none of the files, the history readable and
// nothing left in it that belongs to no change.
void expectSound(const fs::path& dir, const Files& before, const Files& after) {
    for (const std::string& name : {kAktuell, kArchiv, kTrans})
        finishInterruptedAppend(dir / name, "2612071010");  // as the next start does
    const Files now = filesIn(dir);
    for (const std::string& name : {kAktuell, kArchiv, kTrans}) {
        const auto state = [&name](const Files& f) {
            return f.count(name) ? std::optional(f.at(name)) : std::nullopt;
        };
        EXPECT_TRUE(state(now) == state(before) || state(now) == state(after)) << name;
    }
    const auto pagesNow = pagesOf(now), pagesAfter = pagesOf(after);
    for (const std::string& page : pagesOf(before))
        EXPECT_TRUE(!pagesAfter.count(page) || pagesNow.count(page)) << page;

    History history(dir);
    history.begin({kTime, ChangeKind::Save, -1, {}});  // removes what a change left behind
    history.abandon();
    const HistoryListing listing = history.listing();
    EXPECT_TRUE(listing.read.ok());
    EXPECT_TRUE(listing.unreadable.empty());
    std::set<std::string> expected, names;
    for (const RecordedChange& c : listing.changes) {
        char number[16];
        std::snprintf(number, sizeof number, "%08llu", static_cast<unsigned long long>(c.number));
        expected.insert(std::string(number) + ".eintrag");
        for (std::size_t i = 0; i < c.files.size(); ++i)
            expected.insert(std::string(number) + "-" + std::to_string(i) + ".alt");
    }
    for (const auto& entry : fs::directory_iterator(dir / historyFolderName()))
        names.insert(entry.path().filename().string());
    for (const std::string& name : names) EXPECT_TRUE(expected.count(name)) << name;
}

// Appends to AKTUELL through the history, or leaves it when the history refuses.
void save(History& h, const fs::path& dir) { appendTo(h, dir, kAktuell, namedPages({"neu"})); }

TEST(History, AKillOrAFullDiskAtEveryFileCallLosesNothing) {
    const Files two{{kAktuell, namedPages("a", 3)}, {kArchiv, namedPages("r", 1)}};
    const Files transfer{{kAktuell, ""}, {kTrans, namedPages("t", 2)}};
    const auto move = [](History& h, const fs::path& dir) {
        movePage(h, dir, test::bytesOf({test::namedPage("a0", 0), test::namedPage("a2", 2)}),
                 recordBytes(test::namedPage("a1", 1)));
    };
    const auto import = [](History& h, const fs::path& dir) {
        importPages(h, dir, namedPages("t", 2));
    };
    const auto none = [](History&, const fs::path&) {};
    const auto back = [](History& h, const fs::path&) { h.takeBack(kTime); };
    // The list shrinks from 1.1 MB to a page: the next change drops this one, which keeps
    // more than the smallest bound of the history.
    const auto shrink = [](History& h, const fs::path& dir) {
        replaceWith(h, dir, kAktuell, namedPages({"a0"}));
    };
    const Sweep sweeps[] = {
        {"recording a save, the oldest change dropped",
         {{kAktuell, namedPages("a", 1, 1100 * 1000)}},
         shrink,
         save},
        {"recording a move", two, none, move},
        {"recording an import", transfer, none, import},
        {"taking back a move", two, move, back},
        {"redoing a move", two,
         [&](History& h, const fs::path& dir) {
             move(h, dir);
             h.takeBack(kTime);
         },
         [](History& h, const fs::path&) { h.redo(kTime); }},
        {"taking back an import", transfer, import, back},
    };
    int faults = 0;
    for (const Sweep& s : sweeps) {
        TempDir start;
        lay(start.path(), s.start);
        {
            History history(start.path());
            s.prepare(history, start.path());
        }
        for (const Fault& fault : kFaults) {
            TempDir counted;
            copyFolder(start.path(), counted.path());
            const fs::path trace = counted / "trace";
            runChild(s, counted.path(), fault, 0, trace);
            const long calls = static_cast<long>(test::tracedCalls(trace).size());
            fs::remove(trace);
            const Files before = filesIn(start.path()), after = filesIn(counted.path());
            ASSERT_NE(before, after) << s.name;
            for (long k = 1; k <= calls; ++k, ++faults) {
                SCOPED_TRACE(std::string(s.name) + ", " + fault.error + " at call " +
                             std::to_string(k));
                TempDir dir;
                copyFolder(start.path(), dir.path());
                runChild(s, dir.path(), fault, k);
                expectSound(dir.path(), before, after);
            }
        }
    }
    std::printf("history: %d file calls failed or killed\n", faults);
}

}  // namespace
}  // namespace holmtex
