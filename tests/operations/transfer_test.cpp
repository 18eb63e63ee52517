// Export, copy and import through the transfer file, with real failures of the file system.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "faults/fault_control.h"
#include "record/list_line.h"
#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace holmtex {
namespace {

using namespace test;  // the shared builders and file helpers

const char* const kImported = "Die Datei >holmtex-trans.txt< wurde importiert und gelöscht.";

class Transfer : public test::FormTest {
protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i)
            pages.push_back(
                makePage(std::to_string(100 + i), i, {{PageText, "Seite " + std::to_string(i)}}));
    }
    std::filesystem::path aktuell() const { return dir / "holmtex-aktuell.dat"; }
    std::filesystem::path trans() const { return dir / "holmtex-trans.txt"; }

    std::vector<PageRecord> pages;
};

TEST_F(Transfer, ExportTakesTheMarkedRecordWhateverTheFieldsShow) {
    writeFile(aktuell(), bytesOf(pages));
    form.Form_Load();
    form.List1.clickLine(3);
    form.Text1.setText("geändert");
    form.v1t.setText("anders");
    form.ExportTransfer();
    form.CopyTransfer();
    EXPECT_EQ(readFile(trans()), bytesOf({pages[3], pages[3]}));
    EXPECT_EQ(form.CurrentRecord, pages[3]);
    EXPECT_EQ(form.Text1.text(), "geändert");
    EXPECT_EQ(readFile(aktuell()), bytesOf(pages));
}

TEST_F(Transfer, ExportThenImportCarriesThePageIntoTheSelectedList) {
    writeFile(aktuell(), bytesOf(pages));
    form.Form_Load();
    form.List1.clickLine(1);
    form.Combo1.setText("export!");
    form.Option2.setValue(true);  // ARCHIV, still empty
    form.Combo1.setText("import!");
    EXPECT_EQ(readRecords(dir / "holmtex-archiv.dat"), std::vector<PageRecord>{pages[1]});
    EXPECT_FALSE(std::filesystem::exists(trans()));
    EXPECT_EQ(form.List1.lines(), std::vector<std::string>{listLine(pages[1])});
    EXPECT_EQ(form.Text5.text(), "Listenzeile 0");  // the opened line's message wins
    EXPECT_EQ(form.Text1.text(), "Seite 1");

    // Into the list it came from: the page is there twice.
    form.Option1.setValue(true);
    form.List1.clickLine(4);
    form.Combo1.setText("kopie!");
    form.Combo1.setText("import!");
    std::vector<PageRecord> doubled = pages;
    doubled.push_back(pages[4]);
    EXPECT_EQ(readFile(aktuell()), bytesOf(doubled));
    EXPECT_EQ(form.List1.listIndex(), 5);
    EXPECT_EQ(form.MarkedLine, 5);
    EXPECT_EQ(form.Combo1.text(), "");
}

TEST_F(Transfer, EmptyTransferFileImportsNothingAndIsDeleted) {
    form.Form_Load();
    writeFile(trans(), "");
    form.Combo1.setText("import!");
    EXPECT_EQ(form.Text5.text(), kImported);  // the list stays empty, so no line message
    EXPECT_FALSE(std::filesystem::exists(trans()));
    EXPECT_EQ(readFile(aktuell()), "");
    EXPECT_TRUE(std::filesystem::exists(aktuell()));
}

TEST_F(Transfer, ExportWithoutAWholeMarkedRecordWritesNothing) {
    const struct {
        const char* name;
        std::string list;  // "-": no list file
        int markedLine;
        const char* word;
        const char* message;
    } cases[] = {
        {"none marked", bytesOf(pages), -1, "export!",
         "Keine Listenzeile markiert, nichts gespeichert."},
        {"beyond the end", bytesOf(pages), 5, "kopie!",
         "Listenzeile 5 fehlt in der Datei >holmtex-aktuell.dat<, nichts kopiert."},
        {"missing list", "-", 0, "export!",
         "Die Datei >holmtex-aktuell.dat< fehlt, nichts gespeichert."},
        {"damaged line", bytesOf(pages) + recordBytes(pages[0]).substr(0, 30), 5, "export!",
         "Die Datei >holmtex-aktuell.dat< ist beschädigt, nichts gespeichert."},
    };
    form.Form_Load();
    for (const auto& c : cases) {
        std::filesystem::remove(aktuell());
        if (c.list != "-") writeFile(aktuell(), c.list);
        writeFile(trans(), "alt");
        form.MarkedLine = c.markedLine;
        form.Combo1.setText(c.word);
        EXPECT_EQ(form.Text5.text(), c.message) << c.name;
        EXPECT_EQ(readFile(trans()), "alt") << c.name;
        EXPECT_EQ(form.Combo1.text(), "") << c.name;
    }
}

TEST_F(Transfer, ImportThatCannotReadTheWholeFileAppendsNothing) {
    const std::string list = bytesOf({pages[0]});
    const std::string damaged = bytesOf({pages[1]}) + "\"->2\",\"06.12.2026\"\r\n";
    enum Kind { Missing, File, Folder };
    const struct {
        Kind kind;
        std::string content;
        const char* message;
    } cases[] = {
        {Missing, "", "keine Datei zum Import vorhanden"},
        {File, damaged, "Die Datei >holmtex-trans.txt< ist beschädigt, nichts importiert."},
        {File, recordBytes(pages[1]).substr(0, 60),
         "Die Datei >holmtex-trans.txt< ist beschädigt, nichts importiert."},
        {Folder, "",
         "Die Datei >holmtex-trans.txt< kann nicht gelesen werden: der Name gehört einem Ordner, "
         "nichts importiert."},
    };
    writeFile(aktuell(), list);
    form.Form_Load();
    for (const auto& c : cases) {
        std::filesystem::remove_all(trans());
        if (c.kind == File) writeFile(trans(), c.content);
        if (c.kind == Folder) {
            std::filesystem::create_directory(trans());
            writeFile(trans() / "x", "x");  // not empty, so it cannot go either
        }
        form.Text5.setText("");
        form.Combo1.setText("import!");
        EXPECT_EQ(form.Text5.text(), c.message) << c.content;
        EXPECT_EQ(readFile(aktuell()), list);
        EXPECT_EQ(std::filesystem::exists(trans()), c.kind != Missing);
        if (c.kind == File) {
            EXPECT_EQ(readFile(trans()), c.content);
        }
        EXPECT_EQ(form.Combo1.text(), "");
        EXPECT_EQ(form.CurrentRecord, pages[0]);
    }
}

TEST_F(Transfer, ImportThatCannotAppendLeavesTheListAsItWas) {
    const std::string list = bytesOf({pages[0]});
    writeFile(aktuell(), list);
    writeFile(trans(), bytesOf({pages[1], pages[2], pages[3]}));
    form.Form_Load();
    // Room for one more page only: the disk fills up halfway through the import.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit room = old;
    room.rlim_cur = list.size() * 2;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &room), 0);
    form.ImportTransfer();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(form.Text5.text().rfind("Die Seiten wurden nicht importiert: ", 0), 0u)
        << form.Text5.text();
    EXPECT_EQ(readFile(aktuell()), list);
    EXPECT_EQ(readFile(trans()), bytesOf({pages[1], pages[2], pages[3]}));
}

TEST_F(Transfer, ImportWhoseTransferFileStaysSaysSo) {
    writeFile(aktuell(), bytesOf({pages[0]}));
    writeFile(trans(), bytesOf({pages[1], pages[2]}));
    form.Form_Load();
    {
        test::FaultScope fault({{"DIR", dir.path().string()},
                                {"CALLS", "unlink"},
                                {"NAME", "holmtex-trans.txt"},
                                {"AT", "1"},
                                {"ERRNO", "EACCES"}});
        form.Combo1.setText("import!");
    }
    EXPECT_EQ(form.Text5.text(),
              "Die Seiten wurden importiert, aber >holmtex-trans.txt< nicht gelöscht: "
              "keine Berechtigung.");
    EXPECT_EQ(readRecords(aktuell()), (std::vector<PageRecord>{pages[0], pages[1], pages[2]}));
    EXPECT_TRUE(std::filesystem::exists(trans()));
    EXPECT_EQ(form.List1.lines(), std::vector<std::string>{listLine(pages[0])});  // not rebuilt
    EXPECT_EQ(form.Combo1.text(), "");
}

// Until the folder is on the disk, a power cut could bring the transfer file back, and
// its pages would be imported twice.
TEST_F(Transfer, ImportDeletesTheTransferFileAndThenSyncsTheFolder) {
    writeFile(aktuell(), bytesOf({pages[0]}));
    writeFile(trans(), bytesOf({pages[1]}));
    form.Form_Load();
    // The history's folder is there already, so that both imports make the same calls.
    std::filesystem::create_directory(dir / historyFolderName());
    const std::string folder = dir.path().filename().string();
    test::TempDir traceDir;
    {
        test::FaultScope trace({{"DIR", dir.path().string()},
                                {"CALLS", "unlink,fsync"},
                                {"TRACE", (traceDir / "calls").string()}});
        form.Combo1.setText("import!");
    }
    const std::vector<std::string> log = test::tracedCalls(traceDir / "calls");
    const auto gone = std::find(log.begin(), log.end(), "unlink holmtex-trans.txt");
    ASSERT_NE(gone, log.end());
    const auto synced = std::find(gone, log.end(), "fsync " + folder);
    ASSERT_NE(synced, log.end());
    EXPECT_EQ(form.Text5.text(), "Listenzeile 1");

    // The next import meets the same calls; that sync fails there.
    const auto folderSyncs = std::count(log.begin(), synced + 1, "fsync " + folder);
    writeFile(trans(), bytesOf({pages[2]}));
    {
        test::FaultScope fault({{"DIR", dir.path().string()},
                                {"CALLS", "fsync"},
                                {"NAME", folder},
                                {"AT", std::to_string(folderSyncs)},
                                {"ERRNO", "EIO"}});
        form.Combo1.setText("import!");
    }
    EXPECT_EQ(
        form.Text5.text(),
        "Importiert, aber >holmtex-trans.txt< ist nicht sicher gelöscht: Ein-/Ausgabefehler.");
    EXPECT_EQ(readRecords(aktuell()), (std::vector<PageRecord>{pages[0], pages[1], pages[2]}));
    EXPECT_EQ(form.List1.listCount(), 3);
}

TEST_F(Transfer, AQuoteInsideAnItemCannotBreakTheList) {
    // A bare item of a foreign transfer file may hold a quote.
    std::string foreign = recordBytes(pages[1]);
    foreign.replace(foreign.find("\"101\""), 5, "10\"1");
    writeFile(trans(), foreign);
    form.Form_Load();
    form.ImportTransfer();
    const auto imported = readRecords(aktuell());
    ASSERT_EQ(imported.size(), 1u);
    EXPECT_EQ(imported[0].text(ProcessNumber), "10'1");
    EXPECT_EQ(readFile(aktuell()).size(), foreign.size() + 2);  // now quoted; nothing lost
}

}  // namespace
}  // namespace holmtex
