// Opening, saving and switching lists from what is known about the list files, against
// reading every file from its start; and files changed behind the program's back.
#include "record/page_index.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "operations/random_lists.h"
#include "record/list_line.h"
#include "record/record_io.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

const char* const kLists[] = {"holmtex-aktuell.dat", "holmtex-archiv.dat", "holmtex-grund.dat"};

// Gives a file a modification time of its own, as a later write by another program has.
void stamp(const fs::path& file, int second) {
    const timespec times[2] = {{1000000000 + second, 0}, {1000000000 + second, 0}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, file.c_str(), times, 0)) << file;
}

// What the window shows and holds, for comparing two windows.
struct Seen {
    PageRecord record;
    LineList lines;
    int index, marked;
    std::vector<std::string> texts;  // Text1, Text2, Text5, Combo1, the family fields
    int height, top;
    bool line1;

    explicit Seen(const Holmtex& form)
        : record(form.CurrentRecord),
          lines(form.List1.lines()),
          index(form.List1.listIndex()),
          marked(form.MarkedLine),
          texts{form.Text1.text(), form.Text2.text(), form.Text5.text(), form.Combo1.text()},
          height(form.Text1.height()),
          top(form.Text1.top()),
          line1(form.Line1.visible()) {
        for (int n = 10; n <= kItemCount; ++n)
            texts.push_back(const_cast<Holmtex&>(form).fieldForItem(n).text());
    }
};

void expectSame(const Seen& a, const Seen& b) {
    EXPECT_EQ(a.record, b.record);
    EXPECT_EQ(a.lines, b.lines);
    // List1's line and MarkedLine; the texts; Text1's place; Line1.
    EXPECT_EQ(std::tie(a.index, a.marked), std::tie(b.index, b.marked));
    EXPECT_EQ(a.texts, b.texts);
    EXPECT_EQ(std::tie(a.height, a.top, a.line1), std::tie(b.height, b.top, b.line1));
}

std::map<std::string, std::string> filesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (!entry.is_directory()) files[entry.path().filename().string()] = readFile(entry.path());
    return files;
}

// Two windows over two folders with the same files: one uses what it knows about the
// list files, the other reads every list from its start. Every step is done to both.
class Twins {
public:
    template <typename Step>
    void both(Step step) {
        step(known, knownDir.path());
        step(reference, referenceDir.path());
    }
    void expectSameState() {
        expectSame(Seen(known), Seen(reference));
        EXPECT_EQ(filesIn(knownDir.path()), filesIn(referenceDir.path()));
    }

    test::TempDir knownDir, referenceDir;
    ScriptedPlatform knownPlatform, referencePlatform;
    Holmtex known{knownPlatform, knownDir.path()};
    Holmtex reference{referencePlatform, referenceDir.path(), ListReading::FromStart};
};

TEST(PageIndex, RandomStepsGiveWhatReadingFromTheStartGives) {
    int steps = 0;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        Twins twins;
        test::ListMaker maker(seed);
        for (const char* name : kLists) {
            const std::string bytes = maker.list(12);
            if (maker.chance(90))
                twins.both([&](Holmtex&, const fs::path& dir) { writeFile(dir / name, bytes); });
        }
        twins.both([](Holmtex& form, const fs::path&) { form.Form_Load(); });
        twins.expectSameState();

        for (int step = 0; step < 60; ++step, ++steps) {
            const int what = maker.between(0, 15);
            const int count = twins.known.List1.listCount();
            const int line = count > 0 ? maker.between(0, count - 1) : -1;
            const int stepTime = 100 * static_cast<int>(seed) + step;
            const std::string list = kLists[maker.between(0, 2)];
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) +
                         " does " + std::to_string(what));
            switch (what) {
                case 0:
                case 1:
                case 2:  // open a line, the last one more often
                    twins.both([&](Holmtex& form, const fs::path&) {
                        form.List1.clickLine(what == 0 ? count - 1 : line);
                    });
                    break;
                case 3:
                case 4: {  // save, or put in the place of the page opened, after some typing
                    const std::string text = maker.text(), number = maker.text();
                    const bool replace = maker.chance(40);
                    twins.both([&](Holmtex& form, const fs::path&) {
                        form.Text1.setText(text);
                        form.k21t.setText(number);
                        replace ? form.ReplacePage() : form.Command1_Click();
                    });
                    break;
                }
                case 5: {  // choose a list
                    const int option = maker.between(1, 3);
                    twins.both([&](Holmtex& form, const fs::path&) {
                        (option == 1   ? form.Option1
                         : option == 2 ? form.Option2
                                       : form.Option3)
                            .setValue(true);
                    });
                    break;
                }
                case 6:  // delete or move the marked line
                case 7: {
                    const int button = maker.between(0, 3);
                    twins.both([&](Holmtex& form, const fs::path&) {
                        form.List1.setListIndex(line);
                        CommandButton* buttons[] = {&form.Command2, &form.Command19,
                                                    &form.Command21, &form.Command22};
                        if (buttons[button]->visible()) buttons[button]->click();
                    });
                    break;
                }
                case 8: {  // search
                    const std::string text = maker.chance(80) ? maker.text() : "ül";
                    twins.both([&](Holmtex& form, const fs::path&) {
                        form.Combo1.setText(text);
                        form.Command8_Click();
                    });
                    break;
                }
                case 9: {  // duplicates, data check, export
                    const char* command =
                        maker.pick(std::vector<const char*>{"", "datacheck!", "export!"});
                    twins.both([&](Holmtex& form, const fs::path&) {
                        if (*command)
                            form.Combo1.setText(command);
                        else
                            form.Command23_Click();
                    });
                    break;
                }
                case 10: {  // import
                    const std::string bytes = maker.list(3);
                    twins.both([&](Holmtex& form, const fs::path& dir) {
                        writeFile(dir / "holmtex-trans.txt", bytes);
                        form.Combo1.setText("import!");
                    });
                    break;
                }
                case 11: {  // another program appends
                    const std::string bytes = maker.record();
                    twins.both([&](Holmtex&, const fs::path& dir) {
                        writeFile(dir / list, readFile(dir / list) + bytes);
                        stamp(dir / list, stepTime);
                    });
                    break;
                }
                case 12: {  // another program cuts the file short
                    if (!fs::exists(twins.knownDir / list)) break;
                    const std::string bytes = readFile(twins.knownDir / list);
                    const auto size =
                        static_cast<std::size_t>(maker.between(0, static_cast<int>(bytes.size())));
                    twins.both([&](Holmtex&, const fs::path& dir) {
                        fs::resize_file(dir / list, size);
                        stamp(dir / list, stepTime);
                    });
                    break;
                }
                case 13: {  // another program writes the same number of bytes in place
                    std::string bytes = readFile(twins.knownDir / list);
                    std::string other = maker.list(12);
                    other.resize(bytes.size(), '\n');
                    twins.both([&](Holmtex&, const fs::path& dir) {
                        writeFile(dir / list, other);
                        stamp(dir / list, stepTime);
                    });
                    break;
                }
                case 14: {  // another program puts a new file in its place
                    const std::string bytes = maker.list(12);
                    twins.both([&](Holmtex&, const fs::path& dir) {
                        writeFile(dir / "neu.tmp", bytes);
                        stamp(dir / "neu.tmp", stepTime);
                        fs::rename(dir / "neu.tmp", dir / list);
                    });
                    break;
                }
                case 15:  // empty the list
                    twins.both([&](Holmtex& form, const fs::path&) { form.Command3_Click(); });
                    break;
            }
            twins.expectSameState();
            if (testing::Test::HasFailure()) return;
        }
    }
    EXPECT_EQ(24 * 60, steps);
}

class Changed : public test::FormTest {
protected:
    fs::path aktuell() const { return dir / "holmtex-aktuell.dat"; }
};

// Opening a line reads the file as it is now, whatever changed since it was listed.
TEST_F(Changed, AFileChangedBehindOurBackIsReadFromItsStart) {
    std::vector<PageRecord> pages, others, retyped;
    for (int i = 0; i < 6; ++i) {
        const std::size_t length = i == 0 ? 400 : 3;
        pages.push_back(
            test::makePage(std::to_string(i), i, {{PageText, std::string(length, 'a')}}));
        others.push_back(
            test::makePage("X" + std::to_string(i), i, {{PageText, std::string(length, 'a')}}));
        // The same lines in the same places: only the file's identity tells.
        retyped.push_back(
            test::makePage(std::to_string(i), i, {{PageText, std::string(length, 'n')}}));
    }
    // Records 0 and 1 become three, the last of them where record 2 was, as long and with
    // the same line: the place alone would give it for line 2.
    const std::vector<PageRecord> lookalike = [&] {
        const std::size_t bare = recordBytes(test::makePage("0", 0)).size();
        const std::size_t firstTwo = test::bytesOf({pages[0], pages[1]}).size();
        const std::size_t room = firstTwo - 3 * bare;
        std::vector<PageRecord> v = {
            test::makePage("0", 0, {{PageText, std::string(room / 3, 'b')}}),
            test::makePage("7", 0, {{PageText, std::string(room / 3, 'c')}}),
            test::makePage("8", 0, {{PageText, std::string(room - 2 * (room / 3), 'd')}}),
            test::makePage("2", 2, {{PageText, "nnn"}})};
        for (int i = 3; i < 6; ++i) v.push_back(pages[i]);
        return v;
    }();
    const std::string bytes = test::bytesOf(pages), otherBytes = test::bytesOf(others);
    ASSERT_EQ(bytes.size() + 6, otherBytes.size());
    // As long as the list, other records, the last of them cut short.
    const std::string sameSize = otherBytes.substr(0, bytes.size());

    struct Change {
        const char* what;
        std::function<void()> change;
        std::vector<PageRecord> now;  // the records the file holds afterwards
    };
    const std::vector<PageRecord> appended = [&] {
        auto v = pages;
        v.push_back(test::makePage("neu", 9));
        return v;
    }();
    const std::vector<Change> changes = {
        {"appended", [&] { writeFile(aktuell(), test::bytesOf(appended)); }, appended},
        {"cut short",
         [&] {
             fs::resize_file(aktuell(), test::bytesOf({pages[0], pages[1]}).size());
         },
         {pages[0], pages[1]}},
        {"same size in place", [&] { writeFile(aktuell(), sameSize); }, {}},
        {"same lines, other texts", [&] { writeFile(aktuell(), test::bytesOf(retyped)); }, retyped},
        {"other records before one that looks the same",
         [&] { writeFile(aktuell(), test::bytesOf(lookalike)); }, lookalike},
        {"replaced by a new file",
         [&] {
             writeFile(dir / "neu.tmp", test::bytesOf({others[2], others[3]}));
             fs::rename(dir / "neu.tmp", aktuell());
         },
         {others[2], others[3]}},
    };
    int second = 0;
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        writeFile(aktuell(), bytes);
        stamp(aktuell(), ++second);
        form.Option1.setValue(false);
        form.Option1.setValue(true);
        ASSERT_EQ(6, form.List1.listCount());
        form.List1.clickLine(2);  // read from its place

        c.change();
        stamp(aktuell(), ++second);
        const std::vector<PageRecord> now = test::readRecords(aktuell());
        if (!c.now.empty()) {
            ASSERT_EQ(c.now, now);
        }
        for (int line : {1, 2, 4}) {
            form.List1.clickLine(line);
            // Records 0 to the line from the start: the line's, or the last one there is.
            const PageRecord& expected = now[std::min<std::size_t>(line, now.size() - 1)];
            EXPECT_EQ(expected, form.CurrentRecord) << line;
            EXPECT_EQ(std::string(expected.text(ProcessNumber)), form.Text2.text());
        }
        // Choosing the list again lists the file as it is now.
        form.Option2.setValue(true);
        form.Option1.setValue(true);
        EXPECT_EQ(now.size(), form.List1.lines().size());
        EXPECT_EQ(now.back(), form.CurrentRecord);
    }
}

// Switching back to a list whose file did not change shows the very lines it showed, and
// saving adds the new line to them.
TEST_F(Changed, AnUnchangedListIsNotReadAgain) {
    writeFile(aktuell(), test::bytesOf({test::makePage("1", 1), test::makePage("2", 2)}));
    writeFile(dir / "holmtex-archiv.dat", test::bytesOf({test::makePage("A", 1)}));
    form.Form_Load();
    const LineList* shown = &form.List1.lines();
    form.Option2.setValue(true);
    form.Option1.setValue(true);
    EXPECT_EQ(shown, &form.List1.lines());
    EXPECT_EQ(1, form.List1.listIndex());
    EXPECT_EQ("2", form.Text2.text());

    std::vector<Property> heard;
    form.List1.observe([&](Property p) { heard.push_back(p); });
    form.Text2.setText("3");
    form.Command1_Click();
    EXPECT_EQ(shown, &form.List1.lines());
    EXPECT_EQ((std::vector<Property>{Property::LinesAppended, Property::ListIndex}), heard);
    EXPECT_EQ(3u, form.List1.lines().size());
    EXPECT_EQ("06.12.2026 14:03:59 3", form.List1.lines().back());
    EXPECT_EQ(2, form.List1.listIndex());
    EXPECT_EQ(test::readRecords(aktuell()).back(), form.CurrentRecord);
}

// The history links a list to keep it just before a delete writes it anew; that moves the
// file's change time only, and the lines the list had are kept without the one deleted.
TEST_F(Changed, ALinkToTheListBeforeADeleteKeepsItsLines) {
    const std::string one = test::bytesOf({test::makePage("1", 1)}),
                      two = test::bytesOf({test::makePage("2", 2)});
    writeFile(aktuell(), one + two + one);
    PageIndex index;
    PageRecord last;
    ASSERT_EQ(3u, index.list(ListKind::Aktuell, aktuell(), last, true)->size());
    ::usleep(20000);  // past the clock's tick, so that the link shows in the change time
    fs::create_hard_link(aktuell(), dir / "kept");
    const std::optional<FileIdentity> linked = fileIdentity(aktuell());
    writeFile(dir / "neu", one + one);
    fs::rename(dir / "neu", aktuell());
    const std::uint64_t n = one.size();
    index.rewritten(ListKind::Aktuell, linked, 1, std::nullopt, {{0, n}, {n, 2 * n}}, true,
                    fileIdentity(aktuell()));
    EXPECT_EQ(std::optional<std::size_t>(2), index.recordCount(ListKind::Aktuell, aktuell()));
    // A record kept that is not as long as it was is no longer the file listed.
    index.list(ListKind::Aktuell, aktuell(), last, true);
    index.rewritten(ListKind::Aktuell, fileIdentity(aktuell()), 0, std::nullopt, {{0, n - 1}}, true,
                    fileIdentity(aktuell()));
    EXPECT_EQ(std::nullopt, index.recordCount(ListKind::Aktuell, aktuell()));
}

// Our own append is read on its own only when the file grew by exactly our bytes.
TEST_F(Changed, AFileThatGrewByMoreOrLessThanOurAppendIsReadAnew) {
    const std::vector<PageRecord> pages = {test::makePage("1", 1), test::makePage("2", 2),
                                           test::makePage("3", 3)};
    const std::string ours = recordBytes(test::makePage("4", 4));
    for (bool cut : {false, true}) {
        SCOPED_TRACE(cut ? "cut before our append" : "another record after it");
        writeFile(aktuell(), test::bytesOf(pages));
        PageIndex index;
        PageRecord last;
        ASSERT_EQ(3u, index.list(ListKind::Aktuell, aktuell(), last)->size());
        const auto before = fileIdentity(aktuell());
        if (cut) fs::resize_file(aktuell(), recordBytes(pages[0]).size());
        ASSERT_TRUE(appendRecords(aktuell(), ours, "2612061403").ok());
        if (!cut) {
            ASSERT_TRUE(
                appendRecords(aktuell(), recordBytes(test::makePage("5", 5)), "2612061403").ok());
        }
        index.appended(ListKind::Aktuell, before, fileIdentity(aktuell()), ours.size());

        const auto lines = index.list(ListKind::Aktuell, aktuell(), last);
        std::vector<std::string> expected;
        for (const PageRecord& page : test::readRecords(aktuell()))
            expected.push_back(listLine(page));
        EXPECT_EQ(*lines, expected);
        EXPECT_EQ(test::readRecords(aktuell()).back(), last);
    }
}

}  // namespace
}  // namespace holmtex
