// zusammenführen!: the second versions a sync engine leaves beside a list are noticed when the
// list is shown, merged by adding only, and the merge is one change that zurück! takes back.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "record/file_names.h"
#include "record/record_io.h"
#include "support/form_test.h"
#include "support/pages.h"

namespace holmtex {
namespace {

using namespace test;
namespace fs = std::filesystem;

// The records of the named pages, each the same bytes wherever it stands: "1 2 3".
std::string pages(const std::string& numbers) {
    std::istringstream in(numbers);
    std::string bytes, number;
    while (in >> number) bytes += recordBytes(namedPage(number));
    return bytes;
}

const char* const kStyles[] = {".sync-conflict-20261207-101010-ABCDEFG.dat",
                               " (conflicted copy 2026-12-07 101010).dat",
                               " (Anna's conflicted copy 2026-12-07).dat"};

class Merge : public FormTest {
protected:
    fs::path file(ListKind list) const { return dir / dataFileName(list); }
    fs::path copy(ListKind list, const char* style) const {
        return dir / (std::string(listStem(list)) + style);
    }
    void show(ListKind list) {
        form.Form_Load();
        (list == ListKind::Aktuell  ? form.Option1
         : list == ListKind::Archiv ? form.Option2
                                    : form.Option3)
            .setValue(true);
    }
    void command(const char* word) { form.Combo1.setText(word); }
};

TEST_F(Merge, EachStyleOfEachListIsNoticedMergedByAddingAndTakenBackWhole) {
    for (ListKind list : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein}) {
        for (const char* style : kStyles) {
            SCOPED_TRACE(std::string(listStem(list)) + style);
            // "3" was deleted on the other computer, "4" and "5" saved there, "1" and "2" on both.
            writeFile(file(list), pages("1 2 3"));
            writeFile(copy(list, style), pages("2 4 1 5"));
            show(list);  // AKTUELL: the start-up says so, the others when they are shown
            EXPECT_EQ(form.outcome().reason, Reason::SecondVersion);
            EXPECT_EQ(form.outcome().count, 2);
            form.Text1.setText("getippt");

            command("zusammenführen!");
            const Outcome merged = form.outcome();
            EXPECT_EQ(merged.operation, Operation::Merge);
            EXPECT_EQ(merged.result, Result::Done);
            EXPECT_EQ(merged.count, 2);
            EXPECT_EQ(merged.kept, 1);
            EXPECT_EQ(readFile(file(list)), pages("1 2 3 4 5"));
            EXPECT_FALSE(fs::exists(copy(list, style)));
            EXPECT_EQ(form.List1.listCount(), 5);
            EXPECT_EQ(form.Text1.text(), "getippt");
            EXPECT_EQ(form.Combo1.text(), "");
            form.RefreshList();
            EXPECT_NE(form.listShown().reason, Reason::SecondVersion);

            command("zurück!");
            EXPECT_EQ(form.outcome().result, Result::Done);
            EXPECT_EQ(form.outcome().change, ChangeKind::Merge);
            EXPECT_EQ(readFile(file(list)), pages("1 2 3"));
            EXPECT_EQ(readFile(copy(list, style)), pages("2 4 1 5"));
            fs::remove(copy(list, style));
        }
    }
}

TEST_F(Merge, TwoCopiesOldestFirstADamagedOneGivesItsWholePagesAndKeepsItsRest) {
    const std::string tail = pages("9").substr(0, 60);
    const fs::path older = copy(ListKind::Aktuell, kStyles[2]);  // 07.12., no time: the oldest
    const fs::path newer = copy(ListKind::Aktuell, kStyles[0]);
    writeFile(dir / "holmtex-aktuell.dat", pages("1"));
    writeFile(older, pages("1 5 4"));
    writeFile(newer, pages("4 6 5") + tail);
    show(ListKind::Aktuell);
    EXPECT_EQ(form.listShown().count, 3);

    command("zusammenführen!");
    EXPECT_EQ(form.outcome().result, Result::Done);
    EXPECT_EQ(form.outcome().count, 3);
    EXPECT_EQ(form.outcome().kept, 1);  // the newer copy lacks "1"
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"), pages("1 5 4 6"));
    ASSERT_FALSE(form.outcome().file.empty());
    EXPECT_EQ(readFile(dir / form.outcome().file), tail);
    EXPECT_FALSE(fs::exists(older));
    EXPECT_FALSE(fs::exists(newer));

    command("zurück!");
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"), pages("1"));
    EXPECT_EQ(readFile(older), pages("1 5 4"));
    EXPECT_EQ(readFile(newer), pages("4 6 5") + tail);
}

}  // namespace
}  // namespace holmtex
