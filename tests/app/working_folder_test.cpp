// Where the program keeps its files: the folder argument, the current folder, or, for a
// start from the home folder, its own folder in the documents folder.
#include "app/working_folder.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace holmtex::test {
namespace {

namespace fs = std::filesystem;

class WorkingFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home / "Forschung");
        writeFile(home / "notiz.txt", "");
    }
    WorkingFolder choose(std::optional<fs::path> argument, const fs::path& current) {
        return chooseWorkingFolder(argument, current, home, documents);
    }

    TempDir dir;
    fs::path home = dir / "home";
    fs::path documents = home / "Dokumente";
};

TEST_F(WorkingFolderTest, FolderArgumentIsTakenAsItIsAndMustExist) {
    struct Case {
        fs::path argument;
        fs::path folder;  // empty when refused
        std::string error;
    };
    const Case cases[] = {
        {home / "Forschung", home / "Forschung", ""},
        {"Forschung", home / "Forschung", ""},  // relative to the current folder
        {".", home / ".", ""},                  // the home folder itself, when asked for
        {"Fehlt", "", "Den Ordner „Fehlt“ gibt es nicht."},
        {"notiz.txt", "", "„notiz.txt“ ist kein Ordner."},
        {"notiz.txt/x", "",
         "Der Ordner „notiz.txt/x“ ist nicht erreichbar: ein Teil des Pfades ist kein Ordner."},
        {"", "", "Der Ordnername ist leer."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument.string());
        const WorkingFolder chosen = choose(c.argument, home);
        EXPECT_EQ(chosen.folder, c.folder);
        EXPECT_EQ(chosen.error, c.error);
    }
    EXPECT_FALSE(fs::exists(documents));
    EXPECT_FALSE(fs::exists(home / "Fehlt"));
}

TEST_F(WorkingFolderTest, WithoutArgumentTheCurrentFolderUnlessItIsHome) {
    EXPECT_EQ(choose(std::nullopt, home / "Forschung").folder, home / "Forschung");
    EXPECT_FALSE(fs::exists(documents));
    EXPECT_EQ(chooseWorkingFolder(std::nullopt, home, "", documents).folder, home);
}

TEST_F(WorkingFolderTest, HomeFolderStartUsesTheDocumentsFolderAndCreatesIt) {
    const fs::path expected = documents / "Holmtex Notiz";
    // The home folder however it is written: a trailing slash, a dot, a symbolic link.
    fs::create_directory_symlink(home, dir / "link");
    for (const fs::path& current : {home, home / "", home / ".", dir / "link"}) {
        SCOPED_TRACE(current.string());
        const WorkingFolder chosen = choose(std::nullopt, current);
        EXPECT_EQ(chosen.folder, expected);
        EXPECT_EQ(chosen.error, "");
        EXPECT_TRUE(fs::is_directory(expected));
    }
    writeFile(expected / "holmtex-aktuell.dat", "x");
    choose(std::nullopt, home);
    EXPECT_EQ(readFile(expected / "holmtex-aktuell.dat"), "x");  // a second start keeps it
    // Without a documents folder from the desktop, the usual one in the home folder.
    EXPECT_EQ(chooseWorkingFolder(std::nullopt, home, home, "").folder,
              home / "Documents" / "Holmtex Notiz");
}

TEST_F(WorkingFolderTest, HomeFolderStartSaysWhyTheFolderCannotBeMade) {
    writeFile(documents, "kein Ordner");
    WorkingFolder chosen = choose(std::nullopt, home);
    EXPECT_EQ(chosen.folder, fs::path());
    EXPECT_EQ(chosen.error, "Der Ordner „" + (documents / "Holmtex Notiz").string() +
                                "“ konnte nicht angelegt werden: ein Teil des Pfades ist kein "
                                "Ordner.");

    fs::remove(documents);
    fs::create_directories(documents);
    writeFile(documents / "Holmtex Notiz", "");
    chosen = choose(std::nullopt, home);
    EXPECT_EQ(chosen.error, "„" + (documents / "Holmtex Notiz").string() + "“ ist kein Ordner.");
}

}  // namespace
}  // namespace holmtex::test
