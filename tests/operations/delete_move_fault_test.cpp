// Deleting and moving under real file failures: a child program runs one operation with
// the fault library preloaded, which makes its k-th file call fail or kills it there.
// Afterwards every list must read whole, no page may be lost, each list holds its old or
// its new content, and the message says what really happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "faults/child_runner.h"
#include "faults/fault_control.h"
#include "operations/messages.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "record/record_io.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::bytesOf;
using test::ChildRun;
using test::contentOf;
using test::namedPages;
using test::readFile;
using test::readRecords;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

// The kinds of file calls this test was written for; the sweep over every operation
// counts the rest as well.
const std::string kCalls =
    "HOLMTEX_FAULT_CALLS=open,read,write,fsync,rename,unlink,link,truncate,chmod,copy";

ChildRun runChild(const fs::path& folder, const std::string& list, int line, const std::string& op,
                  std::vector<std::string> faults) {
    if (std::none_of(faults.begin(), faults.end(),
                     [](const std::string& f) { return f.rfind("HOLMTEX_FAULT_CALLS=", 0) == 0; }))
        faults.push_back(kCalls);
    test::ChildOptions options;
    options.faults = std::move(faults);
    return test::runChild(folder, list, line, op, options);
}

const ListKind kLists[] = {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein};

// The process numbers in the lists and backups, each of which must read whole.
void pagesIn(const fs::path& folder, std::vector<std::string>& ids) {
    for (ListKind kind : kLists) {
        for (const fs::path& file : {folder / dataFileName(kind), folder / backupFileName(kind)}) {
            bool whole = true;
            for (const PageRecord& r : readRecords(file, &whole))
                ids.emplace_back(r.text(ProcessNumber));
            if (!whole) ADD_FAILURE() << file << " does not read whole";
        }
    }
}

// One operation on prepared lists: the source with `count` pages, the other lists with
// two each (but a missing target for "allgemein"), older backups, an empty template.
struct Scenario {
    std::string op, list;  // child arguments
    ListKind source;
    std::optional<ListKind> target;
    const char* tag;
    int count, marked;
    std::size_t textLength = 20;

    std::string name() const {
        return op + " from " + list + ", " + std::to_string(count) + " pages";
    }
};

struct Before {
    std::map<std::string, std::optional<std::string>> files;
    std::vector<std::string> ids;
    std::string sourceNew, targetNew;
};

Before prepare(const fs::path& folder, const Scenario& s) {
    for (ListKind kind : kLists) {
        const std::string name = dataFileName(kind);
        if (kind == s.source)
            writeFile(folder / name, namedPages("S", s.count, s.textLength));
        else if (!(kind == s.target && s.op == "allgemein"))
            writeFile(folder / name, namedPages(name.substr(8, 4), 2, 5));
        writeFile(folder / backupFileName(kind), namedPages("alt-" + name, 1, 5));
    }
    writeFile(folder / "holmtex-leer.dat", "");
    Before b;
    for (ListKind kind : kLists)
        for (const char* name : {dataFileName(kind), backupFileName(kind)})
            b.files[name] = contentOf(folder / name);
    pagesIn(folder, b.ids);
    // What the operation is to make of the source and the target.
    std::vector<PageRecord> left, moved;
    const std::vector<PageRecord> records = readRecords(folder / dataFileName(s.source));
    for (int n = 0; n < static_cast<int>(records.size()); ++n) {
        if (n != s.marked) {
            left.push_back(records[n]);
        } else if (s.tag) {
            moved.push_back(records[n]);
            moved.back().set(ListTag, s.tag);
        }
    }
    b.sourceNew = bytesOf(left);
    if (s.target) b.targetNew = b.files[dataFileName(*s.target)].value_or("") + bytesOf(moved);
    return b;
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

// What every run must leave, killed or not, and what its message must say when `error`
// made one call fail.
void expectNothingLost(const fs::path& folder, const Scenario& s, const Before& b,
                       const ChildRun& run, std::optional<int> error) {
    std::vector<std::string> ids;
    pagesIn(folder, ids);
    const std::string sourceName = dataFileName(s.source);
    for (const std::string& id : b.ids) {
        // Meant to go: the deleted page, and the older backup of the source.
        if ((s.op == "delete" && id == "S" + std::to_string(s.marked)) ||
            id == "alt-" + sourceName + "0")
            continue;
        EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << "lost " << id;
    }
    for (ListKind kind : kLists) {
        if (kind != s.source && kind != s.target) {
            EXPECT_EQ(contentOf(folder / dataFileName(kind)), b.files.at(dataFileName(kind)));
        }
    }
    EXPECT_FALSE(error && fs::exists(folder / "fam-erg3.txt")) << "work file left behind";

    const auto source = contentOf(folder / sourceName);
    const auto backup = contentOf(folder / backupFileName(s.source));
    const std::string& text = run.text5();
    const std::string why = error ? msg::describeError(*error) : "";
    const bool old = source == b.files.at(sourceName);
    if (s.op == "all") {
        // Renamed to the backup in one step, then maybe replaced by the template.
        EXPECT_EQ(backup, old ? b.files.at(backupFileName(s.source)) : b.files.at(sourceName));
        EXPECT_TRUE(old || !source || source == "");
        // Refused, it names the list, or the history when that could not be written.
        const std::string refused = "Die Liste konnte nicht geleert werden: " + why + " (";
        if (error) {
            EXPECT_TRUE(old ? text == refused + sourceName + ")." ||
                                  text == refused + historyFolderName() + ")."
                            : startsWith(text, "Die Datei wurde gelöscht und unter "))
                << text;
        }
        return;
    }
    ASSERT_TRUE(source) << "the list lost its file";
    EXPECT_TRUE(old || source == b.sourceNew) << "the list is neither old nor new";
    // A move that did not get through may have put the backup aside or made it already.
    const auto& olderBackup = b.files.at(backupFileName(s.source));
    const auto& oldSource = b.files.at(sourceName);
    if (!s.target) {
        EXPECT_EQ(backup, olderBackup);
    } else if (!old) {
        EXPECT_EQ(backup, oldSource);
    } else {
        EXPECT_TRUE(backup == olderBackup || backup == oldSource || !backup);
    }
    bool inTarget = false;
    if (s.target) {
        const auto target = contentOf(folder / dataFileName(*s.target));
        inTarget = target == b.targetNew;
        EXPECT_TRUE(inTarget || target == b.files.at(dataFileName(*s.target))) << "target mixed";
        EXPECT_TRUE(old || inTarget) << "the page left the source before it reached the target";
    }
    if (!error) return;
    if (old && !inTarget) {
        const std::string failed =
            s.target ? "Die Seite wurde nicht verschoben: " : "Die Zeile wurde nicht gelöscht: ";
        EXPECT_TRUE(startsWith(text, failed + why + " (")) << text;
        EXPECT_EQ(run.field("lines"), std::to_string(s.count))
            << "the list must show every line still";
    } else if (old) {
        EXPECT_TRUE(startsWith(text, "Die Seite steht nun in beiden Listen: " + why)) << text;
    } else {
        EXPECT_EQ(text.find("nicht gelöscht"), std::string::npos) << text;
        EXPECT_EQ(text.find("nicht verschoben"), std::string::npos) << text;
        EXPECT_EQ(text.find("beiden Listen"), std::string::npos) << text;
        EXPECT_TRUE(text.find(", aber nicht sicher") == std::string::npos ||
                    text.find(why) != std::string::npos)
            << text;
    }
}

// Runs the scenario undisturbed once to count its file calls, then once for each call with
// that call failing by each of `faults`; returns the number of runs.
int sweep(const Scenario& s, const std::vector<std::string>& faults) {
    TempDir traceDir;
    {
        TempDir folder;
        prepare(folder.path(), s);
        runChild(folder.path(), s.list, s.marked, s.op,
                 {"HOLMTEX_FAULT_TRACE=" + (traceDir / "t").string()});
    }
    const std::vector<std::string> calls = test::tracedCalls(traceDir / "t");
    EXPECT_GE(calls.size(), 4u) << s.name();
    int runs = 0;
    for (std::size_t k = 1; k <= calls.size(); ++k) {
        for (const std::string& fault : faults) {
            SCOPED_TRACE(s.name() + ": call " + calls[k - 1] + ", " + fault);
            TempDir folder;
            const Before b = prepare(folder.path(), s);
            const ChildRun run =
                runChild(folder.path(), s.list, s.marked, s.op,
                         {"HOLMTEX_FAULT_AT=" + std::to_string(k), "HOLMTEX_FAULT_ERRNO=" + fault});
            if (fault == "KILL") {
                EXPECT_TRUE(run.killed);
                // The next start finishes an append the kill cut short.
                for (ListKind kind : kLists)
                    EXPECT_EQ(0, finishInterruptedAppend(folder / dataFileName(kind), "2612061403")
                                     .failure.error);
                expectNothingLost(folder.path(), s, b, run, std::nullopt);
            } else {
                EXPECT_EQ(run.exitCode, 0);
                expectNothingLost(folder.path(), s, b, run,
                                  fault == "EIO"      ? EIO
                                  : fault == "ENOSPC" ? ENOSPC
                                                      : EACCES);
            }
            ++runs;
        }
    }
    return runs;
}

constexpr auto kAktuell = ListKind::Aktuell, kArchiv = ListKind::Archiv,
               kAllgemein = ListKind::Allgemein;

TEST(DeleteMoveFaults, EveryFailingCallEndsWithATruthfulMessageAndNothingLost) {
    int runs = 0;
    for (const Scenario& s : {Scenario{"delete", "aktuell", kAktuell, std::nullopt, nullptr, 5, 2},
                              Scenario{"all", "aktuell", kAktuell, std::nullopt, nullptr, 3, 0},
                              Scenario{"archiv", "aktuell", kAktuell, kArchiv, "arch", 5, 2},
                              Scenario{"aktuell", "allgemein", kAllgemein, kAktuell, "aktu", 4, 3},
                              Scenario{"allgemein", "archiv", kArchiv, kAllgemein, "grun", 3, 0}})
        runs += sweep(s, {"EIO", "ENOSPC", "EACCES"});
    RecordProperty("runs", runs);
}

TEST(DeleteMoveFaults, AKillAtAnyFileStepLeavesWholeListsAndLosesNoPage) {
    int kills = 0;
    // The biggest list takes several writes of the work file.
    for (auto [count, marked, textLength] :
         {std::tuple{1, 0, 20}, {2, 1, 20}, {7, 3, 20}, {300, 150, 400}}) {
        const auto size = static_cast<std::size_t>(textLength);
        for (const Scenario& s :
             {Scenario{"delete", "aktuell", kAktuell, std::nullopt, nullptr, count, marked, size},
              Scenario{"archiv", "aktuell", kAktuell, kArchiv, "arch", count, marked, size},
              Scenario{"aktuell", "archiv", kArchiv, kAktuell, "aktu", count, marked, size},
              Scenario{"allgemein", "aktuell", kAktuell, kAllgemein, "grun", count, marked, size}})
            kills += sweep(s, {"KILL"});
    }
    kills += sweep(Scenario{"all", "archiv", kArchiv, std::nullopt, nullptr, 3, 0}, {"KILL"});
    RecordProperty("kills", kills);
    EXPECT_GE(kills, 200);
}

TEST(DeleteMoveFaults, FileSystemsWithoutHardLinksOrNoReplaceRenameStillWork) {
    // link() refused with EPERM, as on FAT: the backup becomes a copy.
    const Scenario move{"archiv", "aktuell", kAktuell, kArchiv, "arch", 4, 1};
    TempDir folder;
    Before b = prepare(folder.path(), move);
    ChildRun run =
        runChild(folder.path(), move.list, move.marked, move.op,
                 {"HOLMTEX_FAULT_CALLS=link", "HOLMTEX_FAULT_AT=1", "HOLMTEX_FAULT_ERRNO=EPERM"});
    EXPECT_EQ(run.text5(), "Listenzeile 2");
    EXPECT_EQ(readFile(folder / "holmtex-aktuell.dat"), b.sourceNew);
    EXPECT_EQ(readFile(folder / "holmtex-archiv.dat"), b.targetNew);
    EXPECT_EQ(contentOf(folder / "holmtex-aktuell.bak"), b.files.at("holmtex-aktuell.dat"));

    // The no-replace rename of the template refused with EINVAL: a link takes its place.
    writeFile(folder / "holmtex-leer.dat", "Vorlage");
    run = runChild(
        folder.path(), "aktuell", -1, "all",
        {"HOLMTEX_FAULT_CALLS=rename", "HOLMTEX_FAULT_AT=2", "HOLMTEX_FAULT_ERRNO=EINVAL"});
    EXPECT_EQ(run.text5(), "Die Datei wurde gelöscht und unter holmtex-aktuell.bak gespeichert");
    EXPECT_EQ(readFile(folder / "holmtex-aktuell.dat"), "Vorlage");
    EXPECT_EQ(readFile(folder / "holmtex-aktuell.bak"), b.sourceNew);
    EXPECT_FALSE(fs::exists(folder / "holmtex-leer.dat"));
}

// "Duplikate löschen" with a failing read of the list: a count only with a whole z1.txt,
// else a message that says why and no z1.txt.
TEST(DuplicatesFaults, AFailedReadShowsWhyAndLeavesNoShortWorkFile) {
    TempDir traceDir, good;
    const std::string list = namedPages("S", 300, 2000);  // several reads long
    writeFile(good / "holmtex-aktuell.dat", list);
    runChild(good.path(), "aktuell", -1, "duplicates",
             {"HOLMTEX_FAULT_CALLS=read", "HOLMTEX_FAULT_TRACE=" + (traceDir / "t").string()});
    const std::string whole = readFile(good / "z1.txt");
    ASSERT_FALSE(whole.empty());
    const std::vector<std::string> calls = test::tracedCalls(traceDir / "t");
    ASSERT_GE(calls.size(), 4u);

    int failures = 0;
    for (std::size_t k = 1; k <= calls.size(); ++k) {
        SCOPED_TRACE("read " + std::to_string(k));
        TempDir folder;
        writeFile(folder / "holmtex-aktuell.dat", list);
        const ChildRun run =
            runChild(folder.path(), "aktuell", -1, "duplicates",
                     {"HOLMTEX_FAULT_CALLS=read", "HOLMTEX_FAULT_AT=" + std::to_string(k),
                      "HOLMTEX_FAULT_ERRNO=EIO"});
        ASSERT_EQ(0, run.exitCode);
        const std::string text = run.text5();
        if (text == "300") {
            EXPECT_EQ(whole, readFile(folder / "z1.txt"));
        } else {
            ++failures;
            EXPECT_EQ(
                "Die Datei holmtex-aktuell.dat konnte nicht gelesen werden: "
                "Ein-/Ausgabefehler.",
                text);
            EXPECT_FALSE(fs::exists(folder / "z1.txt"));
            EXPECT_FALSE(fs::exists(folder / "z1.txt.neu"));
        }
        EXPECT_EQ(list, readFile(folder / "holmtex-aktuell.dat"));
    }
    EXPECT_GE(failures, 3);
}

}  // namespace
}  // namespace holmtex
