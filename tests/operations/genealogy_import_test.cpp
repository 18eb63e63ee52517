// gedcom-import!: a genealogy file chosen in the dialog becomes pages of the selected list,
// all of them or none.
#include <gtest/gtest.h>

#include "export/gedcom_import.h"
#include "operations/messages.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

const std::string kCouple =
    "0 @I1@ INDI\n1 NAME Otto /Kahl/\n0 @I2@ INDI\n1 NAME Emma /Rau/\n"
    "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n";

std::string gedcom(const std::string& records, bool whole = true) {
    return "0 HEAD\n1 CHAR UTF-8\n" + records + (whole ? "0 TRLR\n" : "");
}

class GedcomImportWord : public test::FormTest {
protected:
    void SetUp() override { form.Form_Load(); }
    // The user chooses `file` in the dialog after typing the word.
    void importFile(const fs::path& file) {
        platform.fileToOpen = file;
        form.Combo1.setText("gedcom-import!");
    }
    fs::path put(const std::string& bytes) {
        writeFile(dir / "familien.ged", bytes);
        return dir / "familien.ged";
    }
};

// The list takes the pages the reader makes of the file, stamped as a save at the import.
TEST_F(GedcomImportWord, SaysWhatItReadAndNamesTheLettersStoredAsQuestionMarks) {
    importFile(put(gedcom(kCouple + "0 @I3@ INDI\n1 NAME Łukasz /Allein/\n"
                                    "0 @F2@ FAM\n1 WIFE @I3@\n0 @F3@ FAM\n0 @I4@ INDI\n")));
    const Outcome& o = form.outcome();
    EXPECT_EQ(o.result, Result::Done);
    EXPECT_EQ(o.count, 2);
    EXPECT_EQ(o.families, 3);
    EXPECT_EQ(o.personsLeft, 1);
    EXPECT_EQ(o.lost, "Ł");
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"),
              importGedcomFile(dir / "familien.ged", platform.clock).records);
    EXPECT_EQ(form.List1.listCount(), 2);
    EXPECT_EQ(form.List1.listIndex(), 1);  // the last page is on screen
    EXPECT_EQ(form.Text5.text(), msg::text(o));
    EXPECT_EQ(platform.openFolders, std::vector<fs::path>{dir.path()});
}

struct BadInput {
    const char* name;
    std::string bytes;  // "folder": a folder of that name; "missing": no file
    Result result;
    Reason reason;
    int pages;           // appended
    bool answer = true;  // to the box before a cut file's pages
    bool asked = false;  // the box came: the file is cut and has whole families
};

void PrintTo(const BadInput& input, std::ostream* os) { *os << input.name; }

class BadInputs : public GedcomImportWord, public testing::WithParamInterface<BadInput> {};

TEST_P(BadInputs, GiveTheirReasonAndWholeFamiliesOrNothing) {
    const BadInput& input = GetParam();
    const std::string list =
        test::namedPages("a", 2) +
        (input.name == std::string("damaged_list") ? "\"->2\",\"06.12.2026\",\"14:0" : "");
    writeFile(dir / "holmtex-aktuell.dat", list);
    form.RefreshList();
    fs::path file = dir / "familien.ged";
    if (input.bytes == "folder")
        fs::create_directory(file);
    else if (input.bytes != "missing")
        put(input.bytes);
    platform.answers.push_back(input.answer);
    importFile(file);

    const Outcome& o = form.outcome();
    EXPECT_EQ(o.operation, Operation::GedcomImport);
    EXPECT_EQ(o.result, input.result);
    EXPECT_EQ(o.reason, input.reason);
    const std::string now = readFile(dir / "holmtex-aktuell.dat");
    EXPECT_EQ(now.substr(0, list.size()), list);
    EXPECT_EQ(test::readRecords(dir / "holmtex-aktuell.dat").size() - 2,
              static_cast<std::size_t>(input.pages));
    const bool asked = !platform.shown.empty() && platform.shown.back().kind == "yesno";
    EXPECT_EQ(asked, input.asked);
}

// The reader's own tests meet every fault of a file; here, what the window makes of them.
std::vector<BadInput> badInputs() {
    const std::string cut = kCouple + "0 @F2@ FAM\n1 HUSB @I1@\n1 NOTE abgeschn";
    return {
        {"empty", "", Result::NotDone, Reason::EmptyFile, 0},
        {"folder", "folder", Result::NotDone, Reason::Unreadable, 0},
        {"missing", "missing", Result::NotDone, Reason::Unreadable, 0},
        {"no_family", gedcom("0 @I1@ INDI\n1 NAME Otto /Kahl/\n"), Result::NotDone,
         Reason::NoFamilies, 0},
        {"cut_without_a_whole_family", gedcom("0 @F1@ FAM\n1 HUSB @I1@\n", false), Result::NotDone,
         Reason::FileCut, 0},
        {"cut_refused", gedcom(cut, false), Result::NotDone, Reason::Cancelled, 0, false, true},
        {"cut_taken", gedcom(cut, false), Result::DoneBut, Reason::FileCut, 1, true, true},
        {"duplicate_xref", gedcom(kCouple + "0 @I1@ INDI\n1 NAME Falsch /Otto/\n"), Result::DoneBut,
         Reason::DuplicateXrefs, 1},
        {"damaged_list", gedcom(kCouple), Result::NotDone, Reason::Failed, 0},
    };
}

INSTANTIATE_TEST_SUITE_P(Files, BadInputs, testing::ValuesIn(badInputs()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GedcomImportWord, ACancelAddsNothing) {
    const fs::path file = put(gedcom(kCouple));
    importFile("");  // the dialog cancelled
    EXPECT_EQ(form.outcome().reason, Reason::Cancelled);
    EXPECT_TRUE(platform.progressSteps.empty());
    platform.cancelAtStep = 1;
    importFile(file);
    EXPECT_EQ(form.outcome().reason, Reason::Cancelled);
    EXPECT_EQ(platform.progressSteps.front().second, fs::file_size(file));
    EXPECT_FALSE(fs::exists(dir / "holmtex-aktuell.dat"));
}

}  // namespace
}  // namespace holmtex
