#include "record/list_append.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "record/record_io.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

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
        EXPECT_EQ(r.error, 0);
        EXPECT_FALSE(fs::exists(appendRedoFile(file)));
        if (c.expected.empty()) {
            EXPECT_TRUE(r.damagedTail);
            EXPECT_EQ(r.file, "holmtex-aktuell.dat");
            EXPECT_EQ(readFile(file), c.before);
            continue;
        }
        EXPECT_FALSE(r.damagedTail);
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
    EXPECT_EQ(r.error, EACCES);
    EXPECT_EQ(r.file, "holmtex-trans.txt");
    EXPECT_EQ(readFile(file), page("1"));
}

TEST(AppendRecords, ReportsWhyItCannotOpen) {
    TempDir dir;
    EXPECT_EQ(ENOENT, appendRecords(dir / "fehlt" / "liste.dat", "x", "2612061403").error);
    fs::create_directory(dir / "ordner");
    EXPECT_EQ(EISDIR, appendRecords(dir / "ordner", "x", "2612061403").error);
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
    EXPECT_EQ(r.file, "holmtex-aktuell.dat");
    EXPECT_EQ(EFBIG, r.error);
    EXPECT_EQ(old, readFile(file));
    EXPECT_FALSE(fs::exists(appendRedoFile(file)));
    EXPECT_TRUE(appendRecords(file, page("neu"), "2612061403").ok());
    EXPECT_EQ(old + page("neu"), readFile(file));
}

TEST(FinishInterruptedAppend, WithoutARedoFileNothingHappens) {
    TempDir dir;
    writeFile(dir / "holmtex-aktuell.dat", "unverändert");
    EXPECT_EQ(0, finishInterruptedAppend(dir / "holmtex-aktuell.dat", "2612061403").error);
    EXPECT_EQ(0, finishInterruptedAppend(dir / "fehlt.dat", "2612061403").error);
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"), "unverändert");
}

TEST(FinishInterruptedAppend, ARedoFileThatIsNotWholeIsDropped) {
    TempDir dir;
    const auto file = dir / "holmtex-aktuell.dat";
    writeFile(file, page("1"));
    for (const std::string& redo :
         {std::string(), std::string("holmtex-anhang 1\n12 3"), std::string("irgendetwas\n")}) {
        writeFile(appendRedoFile(file), redo);
        EXPECT_EQ(0, finishInterruptedAppend(file, "2612061403").error);
        EXPECT_FALSE(fs::exists(appendRedoFile(file)));
        EXPECT_EQ(readFile(file), page("1"));
    }
}

}  // namespace
}  // namespace holmtex
