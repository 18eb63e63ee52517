#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/messages.h"
#include "record/list_line.h"
#include "record/record_io.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using test::bytesOf;
using test::readFile;
using test::writeFile;

// A page as Save writes it, in the four-family view, and every family item filled so a
// wrong field shows.
PageRecord page(const std::string& number, const std::string& time = "14:03:59") {
    PageRecord r = test::makePage(number, 0,
                                  {{ViewMarker, "->4"},
                                   {SaveTime, time},
                                   {PageText, "Seite " + number + "\r\nzweite Zeile, mit Komma"}});
    for (int n = 10; n <= kItemCount; ++n) r.set(n, number + "/" + std::to_string(n));
    return r;
}

class PageList : public test::FormTest {
protected:
    void writeList(ListKind kind, const std::string& bytes) {
        writeFile(dir / dataFileName(kind), bytes);
    }
    std::vector<std::string> fieldTexts() {
        std::vector<std::string> texts;
        for (int n = 10; n <= kItemCount; ++n) texts.push_back(form.fieldForItem(n).text());
        return texts;
    }
    void expectShows(const PageRecord& r) {
        EXPECT_EQ(r.text(PageText), form.Text1.text());
        EXPECT_EQ(r.text(ProcessNumber), form.Text2.text());
        for (int n = 10; n <= kItemCount; ++n)
            EXPECT_EQ(r.text(n), form.fieldForItem(n).text()) << "item " << n;
    }
};

TEST_F(PageList, ChoosingAListSetsButtonsHeadingAndLines) {
    struct Choice {
        OptionButton* option;
        const char* list;
        bool c19, c21, c22;
        std::string prefix;  // of the process numbers in that list's file
        int count;
    };
    const Choice choices[] = {
        {&form.Option2, "ARCHIV", false, true, true, "R", 1},
        {&form.Option1, "AKTUELL", true, false, true, "A", 2},
        {&form.Option3, "ALLGEMEIN", false, true, false, "G", 3},
        {&form.Option1, "AKTUELL", true, false, true, "A", 2},
    };
    writeList(ListKind::Aktuell, bytesOf({page("A1"), page("A2")}));
    writeList(ListKind::Archiv, bytesOf({page("R1")}));
    writeList(ListKind::Allgemein, bytesOf({page("G1"), page("G2"), page("G3")}));
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.list);
        form.Command2.setVisible(false);
        c.option->setValue(true);
        EXPECT_EQ(c.c19, form.Command19.visible());
        EXPECT_EQ(c.c21, form.Command21.visible());
        EXPECT_EQ(c.c22, form.Command22.visible());
        EXPECT_TRUE(form.Command2.visible());
        EXPECT_EQ(std::string("gespeicherte Merkseiten ") + c.list, form.Text31.text());
        // The lines come from that list's own file, and its last page is open.
        ASSERT_EQ(c.count, form.List1.listCount());
        EXPECT_EQ("06.12.2026 14:03:59 " + c.prefix + "1", form.List1.lines().front());
        EXPECT_EQ(c.count - 1, form.List1.listIndex());
        expectShows(page(c.prefix + std::to_string(c.count)));
    }
}

// Whole records before a damaged tail are listed; the tail stays in the file as it is.
TEST_F(PageList, RefreshListsEveryWholeRecordAndOpensTheLast) {
    PageRecord last = page("4711", "15:00:01");
    last.set(ProcessNumber, "Nr. ä");
    const std::string bytes = bytesOf({page("1"), page(""), page("1"), last}) +
                              "\"->2\",\"07.12.2026\",\"09:00:00\",,,\"\",\"aktu\",\"halb";
    writeList(ListKind::Aktuell, bytes);
    form.Combo1.setText("suche");
    form.Option1.setValue(true);
    EXPECT_EQ((std::vector<std::string>{"06.12.2026 14:03:59 1", "06.12.2026 14:03:59 ",
                                        "06.12.2026 14:03:59 1", "06.12.2026 15:00:01 Nr. ä"}),
              form.List1.lines());
    EXPECT_EQ(3, form.List1.listIndex());
    EXPECT_EQ(3, form.MarkedLine);
    EXPECT_EQ("Listenzeile 3", form.Text5.text());
    EXPECT_EQ("", form.Combo1.text());
    expectShows(last);
    EXPECT_EQ(last, form.CurrentRecord);
    EXPECT_EQ(bytes, readFile(dir / "holmtex-aktuell.dat"));
}

TEST_F(PageList, EmptyOrMissingFileGivesAnEmptyListAndKeepsTheFields) {
    writeList(ListKind::Aktuell, bytesOf({page("1")}));
    writeList(ListKind::Archiv, "");  // the ALLGEMEIN file is missing
    form.Option1.setValue(true);
    ASSERT_EQ(1, form.List1.listCount());
    form.k11t.setText("getippt");
    form.Text5.setText("Meldung");
    const PageRecord before = form.CurrentRecord;
    const std::vector<std::string> fields = fieldTexts();
    for (OptionButton* option : {&form.Option2, &form.Option3}) {
        SCOPED_TRACE(option->name());
        option->setValue(true);
        EXPECT_EQ(0, form.List1.listCount());
        EXPECT_EQ(-1, form.List1.listIndex());
        EXPECT_EQ(fields, fieldTexts());
        EXPECT_EQ("Meldung", form.Text5.text());
        EXPECT_EQ(before, form.CurrentRecord);
    }
    EXPECT_EQ("gespeicherte Merkseiten ALLGEMEIN", form.Text31.text());
    EXPECT_FALSE(std::filesystem::exists(dir / "holmtex-grund.dat"));  // listing creates nothing
}

// Opening a page shows it and leaves the buffer so that writing it again gives the very
// bytes of the file, items 4 and 5 included, whether they are absent or not.
TEST_F(PageList, ClickingALineOpensThatRecord) {
    PageRecord reserved = page("1");
    reserved.set(Reserved4, "vier");
    reserved.set(Reserved5, "");
    const std::vector<PageRecord> pages = {page("0"), reserved, page("2")};
    writeList(ListKind::Aktuell, bytesOf(pages));
    form.Option1.setValue(true);
    for (int line : {0, 1, 2, 0}) {
        SCOPED_TRACE(line);
        form.Combo1.setText("x");
        form.List1.clickLine(line);
        EXPECT_EQ(line, form.MarkedLine);
        EXPECT_EQ("Listenzeile " + std::to_string(line), form.Text5.text());
        EXPECT_EQ("", form.Combo1.text());
        expectShows(pages[line]);
        EXPECT_EQ(recordBytes(pages[line]), recordBytes(form.CurrentRecord));
    }
    // A click on the selected line opens it again over what was typed.
    form.k11t.setText("getippt");
    form.Text1.setText("getippt");
    form.List1.clickLine(0);
    expectShows(pages[0]);
    EXPECT_EQ(recordBytes(pages[0]), recordBytes(form.CurrentRecord));
}

// The view marker sets the big text's place; the add marker decides Line1 from Line2.
TEST_F(PageList, MarkersSetTheBigTextAndLine1) {
    struct Case {
        Item marker, add;
        bool line1Before, line2;
        int height, top;
        bool line1After;
    };
    const Case cases[] = {
        {"->2", "add", false, true, 5175, 3600, true},
        {"->4", "add", true, true, 1695, 7080, true},
        {"->", "add", false, false, 999, 111, false},
        {std::nullopt, "add", true, false, 999, 111, false},
        {"2", "", true, true, 5175, 3600, false},
        {"->4 ", std::nullopt, true, true, 999, 111, false},
        {"->2", "ADD", true, true, 5175, 3600, false},
        {"->4", "add ", true, true, 1695, 7080, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.marker.value_or("(absent)") + " " + c.add.value_or("(absent)") + " " +
                     std::to_string(c.line1Before) + std::to_string(c.line2));
        PageRecord r = page("1");
        r.setItem(ViewMarker, c.marker);
        r.setItem(AddMarker, c.add);
        writeList(ListKind::Aktuell, bytesOf({r}));
        form.Text1.setHeight(999);
        form.Text1.setTop(111);
        form.Line1.setVisible(c.line1Before);
        form.Line2.setVisible(c.line2);
        form.Option1.setValue(false);
        form.Option1.setValue(true);
        EXPECT_EQ(c.height, form.Text1.height());
        EXPECT_EQ(c.top, form.Text1.top());
        EXPECT_EQ(c.line1After, form.Line1.visible());
        EXPECT_EQ(c.line2, form.Line2.visible());
    }
}

// The file may change between listing and clicking; the click then shows what it could read.
TEST_F(PageList, ClickReadsWhatTheFileStillHolds) {
    writeList(ListKind::Aktuell, bytesOf({page("0"), page("1"), page("2")}));
    form.Option1.setValue(true);
    form.List1.clickLine(0);
    writeList(ListKind::Aktuell, bytesOf({page("7")}));
    form.List1.clickLine(2);
    EXPECT_EQ("Listenzeile 2", form.Text5.text());
    EXPECT_EQ(2, form.MarkedLine);
    expectShows(page("7"));

    std::filesystem::remove(dir / "holmtex-aktuell.dat");
    form.List1.clickLine(1);
    EXPECT_EQ("Listenzeile 1", form.Text5.text());
    expectShows(page("7"));  // the buffer as it stood
}

TEST_F(PageList, ListsMoreThan32767Pages) {
    constexpr int kPages = 100000;
    std::string bytes;
    PageRecord r;
    r.set(SaveDate, "06.12.2026");
    r.set(SaveTime, "14:03:59");
    for (int i = 0; i < kPages; ++i) {
        r.set(ProcessNumber, std::to_string(i));
        writeRecord(bytes, r);
    }
    writeList(ListKind::Aktuell, bytes);
    form.Option1.setValue(true);
    ASSERT_EQ(kPages, form.List1.listCount());
    EXPECT_EQ("06.12.2026 14:03:59 40000", form.List1.lines()[40000]);
    EXPECT_EQ(kPages - 1, form.MarkedLine);
    EXPECT_EQ("Listenzeile 99999", form.Text5.text());
    EXPECT_EQ("99999", form.Text2.text());
}

// A long list at start-up: its last page is open at once, its lines come while the user
// works, and it ends as a plain read shows it, keeping what the user did meanwhile.
TEST_F(PageList, ALongListFillsInWhileTheUserWorks) {
    constexpr int kPages = 2500;  // over 5 MB: read aside, in a few pieces
    std::string bytes;
    for (int i = 0; i < kPages; ++i) {
        PageRecord r = page(std::to_string(i));
        r.set(PageText, std::string(2000, 'x') + std::to_string(i));
        writeRecord(bytes, r);
    }
    writeList(ListKind::Aktuell, bytes);
    ScriptedPlatform plainPlatform;
    Holmtex plain(plainPlatform, dir.path());
    plain.Form_Load();
    const std::string last = std::to_string(kPages - 1);

    const auto start = [&](ScriptedPlatform& aside, Holmtex& f) {
        aside.runsAside = true;
        f.Form_Load();
        EXPECT_EQ(last, f.Text2.text());
        EXPECT_EQ(plain.Text1.text(), f.Text1.text());
        EXPECT_EQ(0, f.List1.listCount());
        EXPECT_EQ(msg::listBeingRead(), f.Text5.text());
        aside.doAsideWork();
        EXPECT_GE(aside.posted.size(), 2u);
    };
    {  // untouched: as the plain read
        ScriptedPlatform aside;
        Holmtex f(aside, dir.path());
        start(aside, f);
        aside.runPosted();
        EXPECT_EQ(plain.List1.lines(), f.List1.lines());
        EXPECT_EQ(kPages - 1, f.List1.listIndex());
        EXPECT_EQ(kPages - 1, f.MarkedLine);
        EXPECT_EQ(plain.Text5.text(), f.Text5.text());
    }
    {  // a line opened from the lines read so far stays open and selected
        ScriptedPlatform aside;
        Holmtex f(aside, dir.path());
        start(aside, f);
        aside.runPosted(1);
        ASSERT_GT(f.List1.listCount(), 3);
        ASSERT_LT(f.List1.listCount(), kPages);
        f.List1.clickLine(3);
        EXPECT_EQ("3", f.Text2.text());
        aside.runPosted();
        EXPECT_EQ(kPages, f.List1.listCount());
        EXPECT_EQ(3, f.List1.listIndex());
        EXPECT_EQ("Listenzeile 3", f.Text5.text());
    }
    {  // saved before any line came: waits for the list, and the page goes to its end
        ScriptedPlatform aside;
        Holmtex f(aside, dir.path());
        aside.runsAside = true;
        f.Form_Load();
        f.Text1.setText("neu");
        f.Command1.click();
        EXPECT_EQ(kPages + 1, f.List1.listCount());
        EXPECT_EQ(kPages, f.List1.listIndex());
    }
    ScriptedPlatform againPlatform;
    Holmtex again(againPlatform, dir.path());
    again.Form_Load();
    EXPECT_EQ(kPages + 1, again.List1.listCount());
    EXPECT_EQ("neu", again.Text1.text());
    EXPECT_EQ(last, again.Text2.text());
}

}  // namespace
}  // namespace holmtex
