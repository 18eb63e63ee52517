#include "record/data_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "record/record_io.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(WriteNewFile, NeverReplacesAFileAndLeavesNoWorkFile) {
    TempDir dir;
    const auto file = dir / "blatt.pdf";
    EXPECT_EQ(0, writeNewFile(file, "neu").failure.error);
    EXPECT_EQ("neu", readFile(file));
    EXPECT_EQ(EEXIST, writeNewFile(file, "zweites").failure.error);
    EXPECT_EQ("neu", readFile(file));
    EXPECT_EQ(ENAMETOOLONG, writeNewFile(dir / std::string(300, 'n'), "x").failure.error);
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path()),
                               std::filesystem::directory_iterator()));
}

// Every file call answers with the errno and the bare name of the file the failing step
// worked on, never a path.
TEST(FileResult, NamesTheFileOfTheStepThatFailed) {
    TempDir dir;
    writeFile(dir / "da.txt", "x");
    std::filesystem::create_directory(dir / "ordner.dat");
    FileSource source;
    FileReplacement inMissingFolder(dir / "fehlt" / "liste.dat", dir / "fehlt" / "liste.neu");
    const struct {
        const char* what;
        FileResult result;
        int error;
        const char* file;
    } cases[] = {
        {"open a missing file", source.open(dir / "fehlt.dat"), ENOENT, "fehlt.dat"},
        {"open a folder", source.open(dir / "ordner.dat"), EISDIR, "ordner.dat"},
        {"open a file", source.open(dir / "da.txt"), 0, ""},
        {"new file over one", writeNewFile(dir / "da.txt", "y").failure, EEXIST, "da.txt"},
        {"work file in a missing folder", inMissingFolder.begin(), ENOENT, "liste.neu"},
        {"rename onto a file", renameIfFree(dir / "ordner.dat", dir / "da.txt"), EEXIST, "da.txt"},
        {"sync a missing folder", syncFolder(dir / "fehlt"), ENOENT, "fehlt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result.error, c.error) << c.what;
        EXPECT_EQ(c.result.file, c.file) << c.what;
        EXPECT_EQ(c.result.ok(), c.error == 0) << c.what;
    }
}

TEST(DataFiles, AProtectedFileIsNotWritableForAnyone) {
    TempDir dir;
    const auto file = dir / "holmtex-aktuell.dat";
    EXPECT_EQ(0, writePermitted(file).error);  // a missing file may be made
    writeFile(file, "x");
    EXPECT_EQ(0, writePermitted(file).error);
    ASSERT_EQ(0, ::chmod(file.c_str(), 0444));
    EXPECT_EQ(EACCES, writePermitted(file).error);  // also for the superuser, who could
    std::filesystem::create_symlink(file, dir / "verweis.dat");
    EXPECT_EQ(EACCES, writePermitted(dir / "verweis.dat").error);
}

TEST(BackupFile, TheOlderBackupStaysUntilTheNewOneIsWhole) {
    TempDir dir;
    const auto list = dir / "holmtex-aktuell.dat", backup = dir / "holmtex-aktuell.bak";
    writeFile(backup, "alte Sicherung");
    // Nothing to back up: the old backup must not be gone for it.
    EXPECT_EQ(ENOENT, backupFile(list, backup).error);
    EXPECT_EQ(readFile(backup), "alte Sicherung");

    writeFile(list, "Liste");
    EXPECT_EQ(0, backupFile(list, backup).error);
    EXPECT_EQ(readFile(backup), "Liste");
    EXPECT_FALSE(std::filesystem::exists(dir / "holmtex-aktuell.bak.neu"));
    // A later change of the list by replacement leaves the backup as it was.
    EXPECT_EQ(0, writeWholeFile(list, "neu").failure.error);
    EXPECT_EQ(readFile(backup), "Liste");
}

TEST(BackupFile, OfALinkHoldsTheContentNotTheLink) {
    TempDir dir, elsewhere;
    const auto real = elsewhere / "liste.dat", link = dir / "holmtex-aktuell.dat";
    writeFile(real, "Inhalt");
    std::filesystem::create_symlink(real, link);
    // A backup that is a leftover link is replaced, not written through.
    writeFile(dir / "anderes.txt", "bleibt");
    std::filesystem::create_symlink(dir / "anderes.txt", dir / "holmtex-aktuell.bak");
    ASSERT_EQ(0, backupFile(link, dir / "holmtex-aktuell.bak").error);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "holmtex-aktuell.bak"));
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.bak"), "Inhalt");
    EXPECT_EQ(readFile(dir / "anderes.txt"), "bleibt");
    EXPECT_EQ(0, writeWholeFile(link, "ersetzt", LinkRule::Follow).failure.error);
    EXPECT_EQ(readFile(real), "ersetzt");
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.bak"), "Inhalt");
}

TEST(FileReplacement, ALinkedFileIsReplacedWhereItLiesAndTheLinkStays) {
    TempDir dir, elsewhere;
    const auto real = elsewhere / "liste.dat", link = dir / "holmtex-aktuell.dat";
    writeFile(real, "alt");
    ASSERT_EQ(0, ::chmod(real.c_str(), 0640));
    std::filesystem::create_symlink(real, link);
    FileReplacement work(link, dir / "fam-erg3.txt");
    ASSERT_EQ(0, work.begin().error);
    ASSERT_EQ(0, work.write("neu").error);
    const ReplaceResult result = work.commit(dir / "holmtex-aktuell.bak");
    EXPECT_TRUE(result.replaced);
    EXPECT_EQ(result.failure.error, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(link), "neu");
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.bak"), "alt");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "holmtex-aktuell.bak"));
    EXPECT_FALSE(std::filesystem::exists(dir / "fam-erg3.txt"));
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "fam-erg3.txt"));
    struct stat st {};
    ASSERT_EQ(0, ::stat(real.c_str(), &st));
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace
}  // namespace holmtex
