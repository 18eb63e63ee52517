#include "record/data_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "support/test_support.h"

namespace holmtex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(DataFiles, NamesOfTheLists) {
    EXPECT_STREQ("holmtex-aktuell.dat", dataFileName(ListKind::Aktuell));
    EXPECT_STREQ("holmtex-archiv.dat", dataFileName(ListKind::Archiv));
    EXPECT_STREQ("holmtex-grund.dat", dataFileName(ListKind::Allgemein));
}

TEST(WriteNewFile, NeverReplacesAFileAndLeavesNoWorkFile) {
    TempDir dir;
    const auto file = dir / "blatt.pdf";
    EXPECT_EQ(0, writeNewFile(file, "neu"));
    EXPECT_EQ("neu", readFile(file));
    EXPECT_EQ(EEXIST, writeNewFile(file, "zweites"));
    EXPECT_EQ("neu", readFile(file));
    EXPECT_EQ(ENAMETOOLONG, writeNewFile(dir / std::string(300, 'n'), "x"));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path()),
                               std::filesystem::directory_iterator()));
}

TEST(AppendToFile, CreatesThenAppendsAfterTheLastByte) {
    TempDir dir;
    const auto file = dir / "holmtex-aktuell.dat";
    EXPECT_EQ(0, appendToFile(file, "ohne Zeilenende"));
    EXPECT_EQ(0, appendToFile(file, ""));
    EXPECT_EQ(0, appendToFile(file, std::string("zwei\0te\r\n", 9)));
    EXPECT_EQ(std::string("ohne Zeilenendezwei\0te\r\n", 24), readFile(file));
}

TEST(AppendToFile, ReportsWhyItCannotOpen) {
    TempDir dir;
    EXPECT_EQ(ENOENT, appendToFile(dir / "fehlt" / "liste.dat", "x"));
    std::filesystem::create_directory(dir / "ordner");
    EXPECT_EQ(EISDIR, appendToFile(dir / "ordner", "x"));
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
TEST(AppendToFile, AllOrNothing) {
    TempDir dir;
    const auto file = dir / "holmtex-aktuell.dat";
    const std::string old = "\"alt\",\"satz\"\r\n";
    writeFile(file, old);
    const std::string record(4000, 'x');
    int error = 0;
    {
        FileSizeLimit limit(old.size() + 100);
        ASSERT_TRUE(limit.ok());
        error = appendToFile(file, record);
    }
    EXPECT_EQ(EFBIG, error);
    EXPECT_EQ(old, readFile(file));
    EXPECT_EQ(0, appendToFile(file, "neu"));
    EXPECT_EQ(old + "neu", readFile(file));
}

}  // namespace
}  // namespace holmtex
