#include "record/list_append.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "record/data_files.h"
#include "record/record_io.h"
#include "record/redo_file.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::namedPages;
using test::readFile;
using test::TempDir;
using test::withoutLineEnd;
using test::writeFile;
namespace fs = std::filesystem;

// A record as Save writes it, known by its process number.
std::string page(const std::string& number, const std::string& text = "Text") {
    return recordBytes(test::makePage(number, 0, {{PageText, text}}));
}

// The process numbers of the records of a file, and whether it reads to its end.
std::vector<std::string> numbersIn(const fs::path& file, bool* whole = nullptr) {
    std::vector<std::string> numbers;
    for (const PageRecord& r : test::readRecords(file, whole))
        numbers.emplace_back(r.text(ProcessNumber));
    return numbers;
}

TEST(AppendRecords, CreatesTheFileThenAppendsAfterTheLastByte) {
    TempDir dir;
    const auto file = dir / "holmtex-aktuell.dat";
    AppendResult r = appendRecords(file, page("1"), "2612061403");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.sizeBefore, 0u);
    EXPECT_EQ(r.sizeAfter, page("1").size());
    r = appendRecords(file, page("2") + page("3"), "2612061403");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.sizeBefore, page("1").size());
    EXPECT_EQ(r.sizeAfter, fs::file_size(file));
    EXPECT_EQ(readFile(file), page("1") + page("2") + page("3"));
    EXPECT_FALSE(fs::exists(appendRedoFile(file)));

    // No records: nothing written, but a missing file is made.
    EXPECT_TRUE(appendRecords(file, "", "2612061403").ok());
    EXPECT_EQ(readFile(file), page("1") + page("2") + page("3"));
    EXPECT_TRUE(appendRecords(dir / "holmtex-grund.dat", "", "2612061403").ok());
    EXPECT_TRUE(fs::exists(dir / "holmtex-grund.dat"));
}

// What the end of a file makes of an append, for files of every ending.
TEST(AppendRecords, LooksAtTheEndOfTheFileFirst) {
    const std::string big = page("groß", std::string(300 * 1024, 'x') + "\r\n, y");
    const std::string bare = withoutLineEnd(page("7")).replace(0, 5, "->2");  // bare item 1
    std::string lines;  // a record whose items stand on lines of their own
    for (int n = 1; n <= kItemCount; ++n) lines += n == ProcessNumber ? "\"Z\"\r\n" : "\"\"\r\n";
    const std::string cut48 = withoutLineEnd(page("x")).substr(0, page("x").size() - 4);
    struct Case {
        const char* name;
        std::string before;
        std::string expected;  // the file afterwards; "" when the append is refused
    };
    const Case cases[] = {
        {"empty file", "", page("N")},
        {"whole records", page("1") + page("2"), page("1") + page("2") + page("N")},
        {"last record without CR LF", withoutLineEnd(page("1")), page("1") + page("N")},
        {"last record ending in CR alone", withoutLineEnd(page("1")) + "\r", page("1") + page("N")},
        {"blank lines only", "\r\n\r\n", "\r\n\r\n" + page("N")},
        {"blank lines after the last record", page("1") + "\r\n\r\n",
         page("1") + "\r\n\r\n" + page("N")},
        {"a last record longer than the part looked at first", page("1") + big,
         page("1") + big + page("N")},
        {"foreign shape: bare items, no line end", bare, bare + "\r\n" + page("N")},
        {"foreign shape: items on their own lines", page("1") + lines,
         page("1") + lines + page("N")},
        {"cut inside a quoted text", page("1") + page("2").substr(0, 60), ""},
        {"cut after the 48th comma", page("1") + cut48, ""},
        {"cut right after a closing quote", page("1") + page("2").substr(0, 48), ""},
        {"a quote that is never closed", "\"->2\",\"abc\r\n", ""},
        {"cut in a text whose last line looks like 49 items",
         page("1") + page("2").substr(0, 45) + "\r\n" + std::string(48, ',') + "y", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto file = dir / "holmtex-aktuell.dat";
        writeFile(file, c.before);
        const AppendResult r = appendRecords(file, page("N"), "2612061403");
        EXPECT_FALSE(fs::exists(appendRedoFile(file)));
        if (c.expected.empty()) {
            EXPECT_EQ(r.failure.error, kDamagedTail);
            EXPECT_EQ(r.failure.file, "holmtex-aktuell.dat");
            EXPECT_EQ(readFile(file), c.before);
            continue;
        }
        EXPECT_EQ(r.failure.error, 0);
        EXPECT_EQ(readFile(file), c.expected);
        EXPECT_EQ(r.sizeBefore, c.before.size());
        EXPECT_EQ(r.sizeAfter, c.expected.size());
        bool whole = false;
        const auto numbers = numbersIn(file, &whole);
        EXPECT_TRUE(whole);
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(numbers.back(), "N");
    }
}

TEST(AppendRecords, AProtectedFileKeepsItsContent) {
    TempDir dir;
    const auto file = dir / "holmtex-trans.txt";
    writeFile(file, page("1"));
    ASSERT_EQ(0, ::chmod(file.c_str(), 0444));
    const AppendResult r = appendRecords(file, page("2"), "2612061403");
    EXPECT_EQ(r.failure.error, EACCES);
    EXPECT_EQ(r.failure.file, "holmtex-trans.txt");
    EXPECT_EQ(readFile(file), page("1"));
}

TEST(AppendRecords, ReportsWhyItCannotOpen) {
    TempDir dir;
    EXPECT_EQ(ENOENT, appendRecords(dir / "fehlt" / "liste.dat", "x", "2612061403").failure.error);
    fs::create_directory(dir / "ordner");
    EXPECT_EQ(EISDIR, appendRecords(dir / "ordner", "x", "2612061403").failure.error);
}

TEST(AppendRecords, ThroughALinkTheLinkStaysTheList) {
    TempDir dir, elsewhere;
    writeFile(elsewhere / "liste.dat", page("1"));
    fs::create_symlink(elsewhere / "liste.dat", dir / "holmtex-aktuell.dat");
    ASSERT_TRUE(appendRecords(dir / "holmtex-aktuell.dat", page("2"), "2612061403").ok());
    EXPECT_TRUE(fs::is_symlink(dir / "holmtex-aktuell.dat"));
    EXPECT_EQ(readFile(elsewhere / "liste.dat"), page("1") + page("2"));
}

// Restores the file size limit and SIGXFSZ however the test ends.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

// A write that stops halfway (the disk fills up) must leave the file as it was.
TEST(AppendRecords, AllOrNothing) {
    TempDir dir;
    const auto file = dir / "holmtex-aktuell.dat";
    const std::string old = page("alt");
    writeFile(file, old);
    const std::string record = page("neu", std::string(4000, 'x'));
    AppendResult r;
    {
        // Room for the redo file, which is a little smaller, but not for the list.
        FileSizeLimit limit(old.size() + record.size() - 10);
        ASSERT_TRUE(limit.ok());
        r = appendRecords(file, record, "2612061403");
    }
    EXPECT_EQ(r.failure.file, "holmtex-aktuell.dat");
    EXPECT_EQ(EFBIG, r.failure.error);
    EXPECT_EQ(old, readFile(file));
    EXPECT_FALSE(fs::exists(appendRedoFile(file)));
    EXPECT_TRUE(appendRecords(file, page("neu"), "2612061403").ok());
    EXPECT_EQ(old + page("neu"), readFile(file));
}

constexpr const char* kStamp = "2612061403";
const std::string kSetAside = "holmtex-aktuell.dat.anhang-unbenutzt-2612061403";

// A redo file as an append of `added` behind `old` writes it.
std::string redoFor(const std::string& old, const std::string& added, std::uint64_t oldSize) {
    redo::Header h;
    h.oldSize = oldSize;
    const std::size_t k = std::min<std::size_t>(redo::kAnchorBytes, std::min(oldSize, old.size()));
    h.anchor = redo::anchorSum(oldSize, std::string_view(old).substr(oldSize - k, k));
    h.newSize = added.size();
    h.newSum = redo::checksum(added);
    return redo::headerText(h) + added;
}

// Every redo file a crash, another program or another computer can leave: it is taken up
// only for a list that is exactly its old content and a part of the new bytes; any other
// is set aside whole and named, and the list stays as it is. Nothing is lost either way.
TEST(FinishInterruptedAppend, TakesUpOnlyItsOwnAppendAndSetsAsideEveryOther) {
    const std::string old = namedPages("alt ", 20, 300);  // longer than the anchor
    const std::string added = page("neu") + page("neu2");
    const std::string redo = redoFor(old, added, old.size());
    const std::size_t header = redo.size() - added.size();
    struct Case {
        std::string name, list, redo;
        bool ours;  // the list ends up old + added; otherwise it stays and the redo is set aside
    };
    std::vector<Case> cases;
    for (std::size_t k = 0; k <= added.size(); ++k)
        cases.push_back({"torn at " + std::to_string(k), old + added.substr(0, k), redo, true});
    const std::string other = page("anders");
    cases.push_back({"grown by another tool", old + other, redo, false});
    cases.push_back({"grown after the append", old + added + other, redo, false});
    cases.push_back({"a bigger copy", other + old, redo, false});
    cases.push_back({"a smaller copy", old.substr(0, old.size() - page("x").size()), redo, false});
    std::string changed = old;
    changed[old.size() - 100] ^= 1;
    cases.push_back({"a same-size copy", changed, redo, false});
    cases.push_back({"a foreign list", namedPages("fremd ", 20, 300), redo, false});
    cases.push_back({"old length 0", old, redoFor(old, added, 0), false});
    cases.push_back({"longer than it says", old, redo + "x", false});
    cases.push_back({"of the old kind", old, "holmtex-anhang 1\n0 0 0 3 0\nabc", false});
    std::string newChanged = redo;
    newChanged[header + 5] ^= 1;
    cases.push_back({"new bytes changed", old, newChanged, false});
    for (std::size_t i = 0; i < header; ++i) {
        std::string damaged = redo;
        damaged[i] ^= static_cast<char>(1 << (i % 7));
        cases.push_back({"header byte " + std::to_string(i), old, damaged, false});
    }
    for (std::size_t n = 1; n < redo.size(); n += n < header ? 1 : 97)
        cases.push_back({"cut to " + std::to_string(n), old, redo.substr(0, n), false});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto file = dir / "holmtex-aktuell.dat";
        writeFile(file, c.list);
        writeFile(appendRedoFile(file), c.redo);
        const Recovery r = finishInterruptedAppend(file, kStamp);
        EXPECT_EQ(r.failure.error, 0);
        EXPECT_EQ(readFile(file), c.ours ? old + added : c.list);
        EXPECT_EQ(r.setAside, c.ours ? "" : kSetAside);
        if (!c.ours) {
            EXPECT_EQ(readFile(dir / kSetAside), c.redo);
        }
        EXPECT_FALSE(fs::exists(appendRedoFile(file)));
    }
}

// Files that are no redo file of ours are set aside unopened or without being read past
// their header; a name taken is never replaced.
TEST(FinishInterruptedAppend, SetsAsideAPipeAHugeFileAndAnEmptyOneGoes) {
    TempDir dir;
    const auto file = dir / "holmtex-aktuell.dat", redoFile = appendRedoFile(file);
    writeFile(file, page("1"));
    ASSERT_EQ(0, ::mkfifo(redoFile.c_str(), 0644));
    EXPECT_EQ(finishInterruptedAppend(file, kStamp).setAside, kSetAside);
    EXPECT_TRUE(fs::is_fifo(dir / kSetAside));
    { std::ofstream huge(redoFile); }
    fs::resize_file(redoFile, std::uint64_t(2) << 30);  // sparse
    EXPECT_EQ(finishInterruptedAppend(file, kStamp).setAside, kSetAside + "-2");
    EXPECT_EQ(fs::file_size(dir / (kSetAside + "-2")), std::uint64_t(2) << 30);
    writeFile(redoFile, "");  // made, then the crash: nothing in it to keep
    const Recovery r = finishInterruptedAppend(file, kStamp);
    EXPECT_TRUE(r.quiet());
    EXPECT_FALSE(fs::exists(redoFile));
    EXPECT_TRUE(finishInterruptedAppend(dir / "fehlt.dat", kStamp).quiet());
    EXPECT_EQ(readFile(file), page("1"));
}

// The step an append carries is done by the recovery only while its files are as they
// were; one done already is left, one whose file changed since is named.
TEST(FinishInterruptedAppend, DoesTheStepOfAnImportOrMoveOnlyOnFilesAsTheyWere) {
    const std::string source = page("1") + page("2") + page("3"), rest = page("1") + page("3");
    enum class Then { Nothing, ChangeIt, DoIt, DropWork };
    using redo::Step;
    for (const auto& [step, then] :
         {std::pair{Step::Remove, Then::Nothing}, std::pair{Step::Remove, Then::ChangeIt},
          std::pair{Step::Remove, Then::DoIt}, std::pair{Step::Replace, Then::Nothing},
          std::pair{Step::Replace, Then::ChangeIt}, std::pair{Step::Replace, Then::DoIt},
          std::pair{Step::Replace, Then::DropWork}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(step)) + "/" +
                     std::to_string(static_cast<int>(then)));
        const bool left = then == Then::ChangeIt || then == Then::DropWork;
        TempDir dir;
        const auto target = dir / "holmtex-archiv.dat", transfer = dir / "holmtex-trans.txt";
        const auto list = dir / "holmtex-aktuell.dat", backup = dir / "holmtex-aktuell.bak";
        const bool remove = step == redo::Step::Remove;
        const auto file = remove ? transfer : list;
        writeFile(target, page("A"));
        writeFile(file, source);
        FileReplacement work(list, dir / "fam-erg3.txt");
        if (!remove) {
            ASSERT_TRUE(work.begin().ok());
            ASSERT_TRUE(work.write(rest).ok());
            ASSERT_TRUE(work.seal().ok());
            work.keep();
        }
        ASSERT_TRUE(
            appendRecords(target, page("2"), kStamp, {step, file, work.workPath(), backup}).ok());
        // The program ends here, its step not done.
        if (then == Then::ChangeIt) writeFile(file, source + page("4"));
        if (then == Then::DoIt && remove) fs::remove(file);
        if (then == Then::DoIt && !remove) fs::rename(work.workPath(), list);
        if (then == Then::DropWork) fs::remove(work.workPath());
        const std::string was = readFile(file);
        const Recovery r = finishInterruptedAppend(target, kStamp);
        EXPECT_EQ(r.failure.error, 0);
        EXPECT_EQ(readFile(target), page("A") + page("2"));
        EXPECT_FALSE(fs::exists(appendRedoFile(target)));
        EXPECT_EQ(r.leftFile, left ? file.filename().string() : "");
        EXPECT_EQ(r.page, left && !remove ? "06.12.2026 14:00:00 2" : "");
        if (left) {
            EXPECT_EQ(readFile(file), was);
        }
        if (!left && then == Then::Nothing) {
            EXPECT_EQ(fs::exists(file), !remove);
            EXPECT_EQ(readFile(list), remove ? "" : rest);
            EXPECT_EQ(readFile(backup), remove ? "" : source);
        }
    }
}

}  // namespace
}  // namespace holmtex
