#include "record/list_merge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "record/record_io.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

// The records of the named pages, each the same bytes wherever it stands: "1 2 3".
std::string pages(const std::string& numbers) {
    std::istringstream in(numbers);
    std::string bytes, number;
    while (in >> number) bytes += recordBytes(test::namedPage(number));
    return bytes;
}

TEST(ConflictCopies, KnowsEachStyleForEachListAndNothingElse) {
    const std::vector<std::pair<std::string, ListKind>> stems = {
        {"holmtex-aktuell", ListKind::Aktuell},
        {"holmtex-archiv", ListKind::Archiv},
        {"holmtex-grund", ListKind::Allgemein}};
    const char* copies[] = {".sync-conflict-20261207-101010-ABCDEFG.dat",
                            ".sync-conflict-20261207-101010.dat",
                            " (conflicted copy 2026-12-07 101010).dat",
                            " (conflicted copy anna 2026-12-07 1010).dat",
                            " (Anna's conflicted copy 2026-12-07).dat",
                            " (Büro’s conflicted copy 2026-12-07 (2)).dat",
                            " (Anna's conflicted copy 2026-12-07) (1).dat"};
    const char* others[] = {".dat",
                            ".bak",
                            ".dat.anhang",
                            "-rest-2612061403.txt",
                            ".sync-conflict-20261207-101010.txt",
                            ".sync-conflict-20261207-101010-ABCDEFG.dat.anhang",
                            ".sync-conflict-20261207-101010-ABCDEFG.dat.neu",
                            "x.sync-conflict-20261207-101010.dat",
                            "-2 (conflicted copy 2026-12-07 101010).dat",
                            " (conflicted copy).dat",
                            " (copy 2026-12-07).dat",
                            " (conflicted copy 2026-12-07 101010).dat.zusammengefuehrt"};
    for (const auto& [stem, list] : stems) {
        for (const char* copy : copies) {
            const auto parsed = parseConflictName(stem + copy);
            ASSERT_TRUE(parsed) << stem + copy;
            EXPECT_EQ(parsed->list, list) << stem + copy;
        }
        for (const char* other : others)
            EXPECT_FALSE(parseConflictName(stem + other)) << stem + other;
        EXPECT_FALSE(parseConflictName(".syncthing." + stem + ".dat.tmp"));
        EXPECT_FALSE(parseConflictName("~syncthing~" + stem + ".dat.tmp"));
    }
    EXPECT_LT(*parseConflictName("holmtex-grund (A's conflicted copy 2026-12-07).dat")->time,
              *parseConflictName("holmtex-grund.sync-conflict-20261207-000001.dat")->time);
}

TEST(ConflictCopies, FindsPlainFilesOldestFirstAndLeavesTheRestAlone) {
    TempDir dir;
    writeFile(dir / "holmtex-aktuell.dat", pages("1"));
    writeFile(dir / "holmtex-aktuell.sync-conflict-20261208-090000-ABCDEFG.dat", "");
    writeFile(dir / "holmtex-aktuell (A's conflicted copy 2026-12-07).dat", "");
    writeFile(dir / "holmtex-aktuell (conflicted copy 2026-12-07 101010).dat", "");
    writeFile(dir / "holmtex-grund (conflicted copy 2026-12-01 101010).dat", "");
    fs::create_directory(dir / "holmtex-archiv (conflicted copy 2026-12-07 101010).dat");
    fs::create_symlink("/etc/passwd", dir / "holmtex-archiv.sync-conflict-20261207-101010.dat");
    ASSERT_EQ(::mkfifo((dir / "holmtex-grund.sync-conflict-20261207-101010.dat").c_str(), 0600), 0);

    const ConflictCopies found = findConflictCopies(dir.path());
    ASSERT_TRUE(found.failure.ok());
    std::vector<std::string> names;
    for (const ConflictCopy& copy : found.of(ListKind::Aktuell)) names.push_back(copy.name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "holmtex-aktuell (A's conflicted copy 2026-12-07).dat",
                         "holmtex-aktuell (conflicted copy 2026-12-07 101010).dat",
                         "holmtex-aktuell.sync-conflict-20261208-090000-ABCDEFG.dat"}));
    EXPECT_TRUE(found.any(ListKind::Allgemein));
    EXPECT_FALSE(found.any(ListKind::Archiv));
    std::vector<int> errors;
    for (const NotACopy& left : found.leftAlone) errors.push_back(left.error);
    std::sort(errors.begin(), errors.end());
    EXPECT_EQ(errors, (std::vector<int>{EISDIR, ELOOP, kNotAPlainFile}));
}

struct MergeCase {
    const char* name;
    std::string list;                 // "-" for no list file
    std::vector<std::string> copies;  // oldest first
    std::string after;                // the list afterwards
    std::size_t appended, onlyInList;
    std::string rest;  // the rest file's bytes; "" for none
};

TEST(ListMerge, AddsOnlyWhatTheListLacks) {
    const std::string cut = pages("9").substr(0, 50);
    const MergeCase cases[] = {
        {"pages in the copy, in the list, in both",
         pages("1 2 3"),
         {pages("1 3 4 5")},
         pages("1 2 3 4 5"),
         2,
         1,
         ""},
        {"a last record without its line end",
         test::withoutLineEnd(pages("1 2")),
         {pages("1 2 3")},
         pages("1 2 3"),
         1,
         0,
         ""},
        {"a copy with a damaged end",
         pages("1 2"),
         {pages("1 4") + cut},
         pages("1 2 4"),
         1,
         1,
         cut},
        {"two copies", pages("1"), {pages("1 4"), pages("4 1 5 5")}, pages("1 4 5"), 2, 0, ""},
        {"an empty copy", pages("1 2"), {""}, pages("1 2"), 0, 2, ""},
        {"no list file", "-", {pages("1 2")}, pages("1 2"), 2, 0, ""},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.list != "-") writeFile(dir / "holmtex-archiv.dat", c.list);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < c.copies.size(); ++i) {
            names.push_back("holmtex-archiv.sync-conflict-2026120" + std::to_string(i + 1) +
                            "-101010-ABCDEFG.dat");
            writeFile(dir / names.back(), c.copies[i]);
        }
        const auto copies = findConflictCopies(dir.path()).of(ListKind::Archiv);
        const MergePlan plan = planMerge(dir.path(), ListKind::Archiv, copies, "2612071010");
        EXPECT_EQ(plan.newPages, c.appended);
        const MergeOutcome done = performMerge(dir.path(), plan, "2612071010");
        EXPECT_TRUE(done.complete());
        EXPECT_EQ(done.appended, c.appended);
        EXPECT_EQ(done.onlyInList, c.onlyInList);
        EXPECT_EQ(readFile(dir / "holmtex-archiv.dat"), c.after);
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_FALSE(fs::exists(dir / names[i]));
            EXPECT_EQ(readFile(dir / mergedCopyName(names[i])), c.copies[i]);
        }
        EXPECT_EQ(readFile(dir / "holmtex-archiv-rest-2612071010.txt"), c.rest);
        EXPECT_TRUE(findConflictCopies(dir.path()).copies.empty());
    }
}

TEST(ListMerge, RefusesADamagedListAndLeavesWhatChangedSincePlanned) {
    TempDir dir;
    const auto list = dir / "holmtex-aktuell.dat";
    const std::string copy = "holmtex-aktuell (conflicted copy 2026-12-07 101010).dat";
    writeFile(dir / copy, pages("1 2"));
    writeFile(list, pages("1") + pages("3").substr(0, 40));
    auto plan = planMerge(dir.path(), ListKind::Aktuell, findConflictCopies(dir.path()).copies,
                          "2612071010");
    EXPECT_EQ(plan.newPages, 1u);  // the counts stand, for the notice
    MergeOutcome done = performMerge(dir.path(), plan, "2612071010");
    EXPECT_EQ(done.stop, MergeStop::ListDamaged);
    EXPECT_EQ(done.copies[0].fate, CopyFate::NotReached);

    writeFile(list, pages("1"));
    plan = planMerge(dir.path(), ListKind::Aktuell, findConflictCopies(dir.path()).copies,
                     "2612071010");
    writeFile(list, pages("1 5"));
    EXPECT_EQ(performMerge(dir.path(), plan, "2612071010").stop, MergeStop::ListChanged);
    EXPECT_EQ(readFile(list), pages("1 5"));

    plan = planMerge(dir.path(), ListKind::Aktuell, findConflictCopies(dir.path()).copies,
                     "2612071010");
    writeFile(dir / copy, pages("1 2 6"));
    EXPECT_EQ(performMerge(dir.path(), plan, "2612071010").copies[0].fate, CopyFate::Changed);
    EXPECT_EQ(readFile(list), pages("1 5 2"));  // page 6 waits for the next merge
    EXPECT_TRUE(fs::exists(dir / copy));
}

// A merge stopped after its append (a kill, or a copy that could not be set aside) is
// finished by the next one without a page twice.
TEST(ListMerge, AMergeLeftHalfwayEndsWithoutAPageTwice) {
    TempDir dir;
    const std::string copy = "holmtex-grund.sync-conflict-20261207-101010-ABCDEFG.dat";
    writeFile(dir / "holmtex-grund.dat", pages("1"));
    writeFile(dir / copy, pages("1 2"));
    const auto refuse = [](const fs::path&, const std::string& name) {
        return FileResult::of(EACCES, name);
    };
    auto copies = findConflictCopies(dir.path()).copies;
    MergeOutcome done = performMerge(
        dir.path(), planMerge(dir.path(), ListKind::Allgemein, copies, "2612071010"), "x", refuse);
    EXPECT_EQ(done.copies[0].fate, CopyFate::NotSetAside);
    EXPECT_FALSE(done.complete());

    const MergePlan again = planMerge(dir.path(), ListKind::Allgemein, copies, "2612071010");
    EXPECT_EQ(again.newPages, 0u);
    EXPECT_TRUE(performMerge(dir.path(), again, "x").complete());
    EXPECT_EQ(readFile(dir / "holmtex-grund.dat"), pages("1 2"));
}

}  // namespace
}  // namespace holmtex
