// Every writing operation of the window under real file failures and crashes. A child
// program runs one operation on a prepared folder with the fault library preloaded; the
// library makes its k-th file call fail with an errno that call can meet, or kills the
// child right there. Another sweep kills it at random moments. After each run (after a
// kill: after a fresh start-up, as a user restarting would) the folder must hold:
//
//   - every list file reads whole, if it did before;
//   - every page that was in a list or the transfer file is in a list, a backup or the
//     transfer file, unchanged;
//   - each list file and the transfer file has its old or its new content, nothing between;
//   - what the message says happened, happened; what it says failed, left the files alone.
//   - the history of the lists can be read.
//
// zurück! and wieder! run on a folder where the change they act on was made first.
//
// HOLMTEX_SWEEP_KILLS sets the number of random kills (default 1000), HOLMTEX_SWEEP_JOBS
// the number of children run at once (default: the number of processors).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "faults/child_runner.h"
#include "faults/fault_operations.h"
#include "record/codepage.h"
#include "record/conflict_copies.h"
#include "record/data_files.h"
#include "record/history.h"
#include "record/record_io.h"
#include "support/pages.h"
#include "support/plain_records.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

namespace fs = std::filesystem;
using test::ChildOptions;
using test::ChildRun;
using test::PlainList;
using test::PlainRecord;
using test::readPlain;
using test::runChild;

constexpr const char* kTransfer = "holmtex-trans.txt";
constexpr const char* kTemplate = "holmtex-leer.dat";
constexpr const char* kRescue = "holmtex-letzter Eintrag.txt";
const std::vector<std::string> kListFiles = {dataFileName(ListKind::Aktuell),
                                             dataFileName(ListKind::Archiv),
                                             dataFileName(ListKind::Allgemein)};
const std::vector<std::string> kBackupFiles = {backupFileName(ListKind::Aktuell),
                                               backupFileName(ListKind::Archiv),
                                               backupFileName(ListKind::Allgemein)};

std::string listFile(const std::string& list) {
    return list == "archiv" ? kListFiles[1] : list == "allgemein" ? kListFiles[2] : kListFiles[0];
}

std::size_t listIndex(const std::string& file) {
    return static_cast<std::size_t>(std::find(kListFiles.begin(), kListFiles.end(), file) -
                                    kListFiles.begin());
}

// ---- Folders and what they hold ----

// A fresh folder, in memory where the machine has /dev/shm: the sweep syncs a lot.
class ScratchDir {
public:
    ScratchDir() {
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                                  ? fs::path("/dev/shm")
                                  : fs::temp_directory_path();
        std::string pattern = (base / "holmtex-sweep-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Entry {
    bool link = false;
    unsigned mode = 0;
    std::string bytes;
    std::shared_ptr<const PlainList> plain;  // the records, read once
};
using Snapshot = std::map<std::string, Entry>;  // by bare name; folders left out

Snapshot snapshot(const fs::path& folder) {
    Snapshot s;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.is_directory(ec)) continue;
        Entry entry;
        entry.link = e.is_symlink(ec);
        entry.mode = static_cast<unsigned>(fs::status(e.path(), ec).permissions());
        entry.bytes = test::readFile(e.path());
        entry.plain = std::make_shared<const PlainList>(readPlain(entry.bytes));
        s[e.path().filename().string()] = std::move(entry);
    }
    return s;
}

const PlainList& plainOf(const Snapshot& s, const std::string& name) {
    static const PlainList none;
    const auto found = s.find(name);
    return found == s.end() ? none : *found->second.plain;
}

std::optional<std::string> bytesOf(const Snapshot& s, const std::string& name) {
    const auto found = s.find(name);
    if (found == s.end()) return std::nullopt;
    return found->second.bytes;
}

std::string shown(const std::optional<std::string>& bytes) {
    if (!bytes) return "(missing)";
    std::string out = std::to_string(bytes->size()) + " bytes";
    const PlainList list = readPlain(*bytes);
    out += ", " + std::to_string(list.records.size()) + " records";
    if (!list.whole) out += " and a damaged tail";
    return out;
}

// ---- Pages ----

std::string normalized(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '"', '\'');
    return out;
}

// A page is known by its page text; a quote may have become an apostrophe on the way.
std::string keyOf(const PlainRecord& r) { return normalized(r.text(PageText)); }

// Everything but the list tag, which a move changes.
std::string contentOf(const PlainRecord& r) {
    std::string out;
    for (int n = 1; n <= kItemCount; ++n) {
        if (n == ListTag) continue;
        out += r.items[n - 1] ? "\x1f" + normalized(*r.items[n - 1]) : std::string("\x1e");
    }
    return out;
}

const std::vector<PlainRecord>& recordsOf(const Snapshot& s, const std::string& name) {
    return plainOf(s, name).records;
}

bool sameRecords(const std::vector<PlainRecord>& a, const std::vector<PlainRecord>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto& x, auto& y) {
               return contentOf(x) == contentOf(y);
           });
}

// A record as our own writer puts it, known by its page text.
std::string page(const std::string& text, const std::string& number, int minute,
                 std::initializer_list<std::pair<int, std::string>> items = {}) {
    PageRecord r = test::makePage(number, minute, items);
    r.set(PageText, text);
    return recordBytes(r);
}

// A record as another program may write it: bare items, an absent remark, an empty
// string where ours has none, a quote inside a bare item, bytes after a closing quote.
std::string foreignPage(const std::string& text, const std::string& number) {
    std::vector<std::string> items(kItemCount);
    items[0] = "->4";
    items[1] = "05.05.2020";
    items[2] = "\"09:09:09\"";
    items[3] = "\"\"";
    items[4] = "frei";
    items[6] = "arch";
    items[7] = "\"" + text + "\"";
    items[8] = "\"" + number + "\"";
    items[9] = "ab\"c";
    items[10] = "\"Kind zwei\"x";
    items[11] = "\xC4rger";  // Ä in Windows-1252
    items[15] = "Vater Fremd";
    items[16] = "\"Mutter, mit Komma\"";
    items[17] = "1.1.1900";
    items[48] = "Schluss";
    std::string out;
    for (int i = 0; i < kItemCount; ++i) out += (i ? "," : "") + items[i];
    return out + "\r\n";
}

using test::namedPages;
using test::withoutLineEnd;

void put(const fs::path& folder, const std::string& name, const std::string& bytes) {
    test::writeFile(folder / name, bytes);
}

// ---- The prepared folders ----

struct Scenario {
    const char* name;
    std::function<void(const fs::path&)> fill;
    // The child puts kReplacement in the list's place after the click: the line now holds
    // another page.
    bool replaced = false;
};

constexpr const char* kReplacement = "holmtex-ersatz.dat";

void ordinaryRest(const fs::path& f) {
    put(f, kBackupFiles[0], namedPages("alt aktuell ", 1));
    put(f, kBackupFiles[1], namedPages("alt archiv ", 1));
    put(f, kTemplate, "");
    put(f, "z1.txt", "\"alte z1.txt\"\r\n");
    put(f, kRescue, page("alte Rettung", "1", 1));
    put(f, "check.dat", "alt");
}

const Scenario kOrdinary{"ordinary", [](const fs::path& f) {
                             put(f, kListFiles[0],
                                 page("Seite a0", "100", 0) + foreignPage("Seite a1", "101") +
                                     page("Seite a2\r\n\xC3\x9C"
                                          "berschrift, zweite Zeile",
                                          "4711", 2,
                                          {{childItem(1, 1), "Kind, eins"},
                                           {remarkItem(2), "Bemerkung\r\nzwei Zeilen"}}) +
                                     page("Seite a3", "4711", 3) + page("Seite a4", "815", 4) +
                                     page("Seite a5", "4711", 5));
                             put(f, kListFiles[1], namedPages("r", 3));
                             put(f, kTransfer,
                                 page("Transfer t0", "900", 0) + foreignPage("Transfer t1", "901"));
                             ordinaryRest(f);
                         }};

// Long enough for several reads and writes of each file.
const Scenario kBig{"big", [](const fs::path& f) {
                        put(f, kListFiles[0], namedPages("g", 400, 700));
                        put(f, kListFiles[1], namedPages("r", 2));
                        put(f, kTransfer, namedPages("Transfer t", 30, 700));
                        ordinaryRest(f);
                    }};

std::string tornRecord(const std::string& text) {
    const std::string whole = page(text, "999", 9);
    return whole.substr(0, whole.size() / 2);
}

const Scenario kDamaged{"damaged", [](const fs::path& f) {
                            put(f, kListFiles[0], namedPages("d", 3) + tornRecord("Seite halb"));
                            put(f, kListFiles[1], namedPages("r", 2));
                            put(f, kTransfer, namedPages("Transfer t", 1));
                            ordinaryRest(f);
                        }};

const Scenario kDamagedTarget{"damagedTarget", [](const fs::path& f) {
                                  put(f, kListFiles[0], namedPages("a", 3));
                                  put(f, kListFiles[1],
                                      namedPages("r", 2) + tornRecord("Seite halb"));
                                  put(f, kTransfer, namedPages("Transfer t", 1));
                                  ordinaryRest(f);
                              }};

const Scenario kUnterminated{"unterminated", [](const fs::path& f) {
                                 put(f, kListFiles[0], withoutLineEnd(namedPages("u", 3)));
                                 put(f, kListFiles[2], withoutLineEnd(namedPages("g", 1)));
                                 put(f, kTransfer, withoutLineEnd(namedPages("Transfer t", 2)));
                                 ordinaryRest(f);
                             }};

// The last record ends right after its 48th comma: item 49 never began.
const Scenario kCut48{"cut48", [](const fs::path& f) {
                          std::string cut = page("Seite halb", "999", 9);
                          cut = cut.substr(0, cut.rfind(',') + 1);
                          put(f, kListFiles[0], namedPages("c", 2) + cut);
                          put(f, kTransfer, namedPages("Transfer t", 1));
                          ordinaryRest(f);
                      }};

const Scenario kProtected{"protected", [](const fs::path& f) {
                              put(f, kListFiles[0], namedPages("p", 3));
                              put(f, kListFiles[1], namedPages("r", 2));
                              ordinaryRest(f);
                              fs::permissions(f / kListFiles[0], fs::perms(0444));
                              fs::permissions(f / kListFiles[1], fs::perms(0444));
                          }};

const Scenario kMissing{"missing", [](const fs::path&) {}};

const Scenario kLinked{"linked", [](const fs::path& f) {
                           fs::create_directory(f / "daten");
                           put(f / "daten", "liste.dat", namedPages("l", 3));
                           fs::create_symlink("daten/liste.dat", f / kListFiles[0]);
                           put(f, kListFiles[1], namedPages("r", 1));
                           put(f, kTransfer, namedPages("Transfer t", 1));
                           ordinaryRest(f);
                       }};

const Scenario kReplaced{"replaced",
                         [](const fs::path& f) {
                             put(f, kListFiles[0], namedPages("a", 4));
                             put(f, kReplacement, page("vorne", "1", 9) + namedPages("a", 4));
                             put(f, kTransfer, namedPages("Transfer t", 1));
                             ordinaryRest(f);
                         },
                         true};

// Two second versions of AKTUELL from a sync engine: the newer holds pages of the list and
// new ones, the older (a date alone in its name) a new page and a torn one.
const Scenario kConflict{"conflict", [](const fs::path& f) {
                             put(f, kListFiles[0], namedPages("a", 3));
                             put(f, "holmtex-aktuell.sync-conflict-20261207-101010-ABCDEFG.dat",
                                 namedPages("a", 2) + namedPages("k", 2));
                             put(f, "holmtex-aktuell (Anna's conflicted copy 2026-12-07).dat",
                                 namedPages("m", 1) + tornRecord("Kopie halb"));
                             put(f, kListFiles[1], namedPages("r", 2));
                             ordinaryRest(f);
                         }};

// The conflict copies in a snapshot.
std::vector<std::string> copiesIn(const Snapshot& s) {
    std::vector<std::string> copies;
    for (const auto& [name, entry] : s)
        if (parseConflictName(name)) copies.push_back(name);
    return copies;
}

struct Case {
    const Scenario* scenario;
    std::string op, list;
    int line;
    std::string name() const { return std::string(scenario->name) + "_" + op + "_" + list; }
    const test::FaultOperation& operation() const { return *test::faultOperation(op); }
    bool isMove() const { return operation().target.has_value(); }
};

std::vector<Case> allCases() {
    std::vector<Case> cases;
    const auto add = [&](const Scenario& s, const std::string& list, int line,
                         std::initializer_list<const char*> ops) {
        for (const char* op : ops) cases.push_back({&s, op, list, line});
    };
    add(kOrdinary, "aktuell", 2,
        {"save", "close", "rescue", "text", "duplicates", "delete", "all", "archiv", "allgemein",
         "import", "export", "copy", "datacheck", "pdf", "gedcom", "replace", "gedcom_import"});
    add(kOrdinary, "archiv", 1, {"aktuell"});
    add(kOrdinary, "aktuell", 2,
        {"backdelete", "backall", "backarchiv", "backimport", "againarchiv"});
    add(kBig, "aktuell", 200,
        {"save", "delete", "archiv", "import", "export", "datacheck", "duplicates", "replace"});
    add(kDamaged, "aktuell", 1,
        {"save", "close", "import", "export", "copy", "delete", "archiv", "datacheck", "duplicates",
         "all", "gedcom", "replace", "gedcom_import"});
    add(kDamaged, "aktuell", 1, {"repair"});
    add(kOrdinary, "aktuell", 2, {"repair"});
    add(kDamagedTarget, "aktuell", 1, {"archiv"});
    add(kDamagedTarget, "archiv", 0, {"repair"});
    add(kDamagedTarget, "archiv", 0, {"save", "import"});
    add(kUnterminated, "aktuell", 1,
        {"save", "import", "delete", "allgemein", "datacheck", "export", "replace"});
    add(kCut48, "aktuell", 0, {"datacheck", "save", "delete", "duplicates", "repair"});
    add(kProtected, "aktuell", 1, {"delete", "all", "archiv", "allgemein", "replace"});
    add(kProtected, "archiv", 0, {"aktuell"});
    add(kMissing, "aktuell", -1,
        {"save", "import", "export", "delete", "all", "datacheck", "duplicates", "text", "rescue",
         "archiv", "pdf", "gedcom", "replace", "gedcom_import"});
    add(kLinked, "aktuell", 1, {"delete", "archiv", "save", "import", "replace"});
    add(kReplaced, "aktuell", 2, {"delete", "archiv", "export", "copy", "replace"});
    add(kConflict, "aktuell", 1, {"merge"});
    return cases;
}

// ---- Findings, gathered over many runs and told once each ----

struct Counts {
    std::atomic<long> runs{0}, failures{0}, kills{0}, pages{0};
};

class Findings {
public:
    void add(const std::string& what, const std::string& where) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto& f = found_[what];
        if (f.count++ == 0) f.example = where;
    }
    bool empty() const { return found_.empty(); }
    std::string summary() const {
        std::string out;
        for (const auto& [what, f] : found_)
            out += what + "\n    in " + std::to_string(f.count) + " run(s), first: " + f.example +
                   "\n";
        return out;
    }

private:
    struct Found {
        int count = 0;
        std::string example;
    };
    std::mutex mutex_;
    std::map<std::string, Found> found_;
};

void tell(const Findings& findings) {
    if (!findings.empty()) ADD_FAILURE() << findings.summary();
}

// ---- One run and its judgement ----

struct Call {
    std::string kind;
    char mode = '-';
    std::string name;
    std::string line;
};

std::vector<Call> readTrace(const fs::path& file) {
    std::vector<Call> calls;
    std::ifstream in(file);
    for (std::string l; std::getline(in, l);) {
        Call c;
        c.line = l;
        const std::size_t a = l.find(' '), b = l.find(' ', a + 1), d = l.find(' ', b + 1);
        if (a == std::string::npos || b == std::string::npos || d == std::string::npos) continue;
        c.kind = l.substr(a + 1, b - a - 1);
        c.mode = l[b + 1];
        c.name = l.substr(d + 1);
        calls.push_back(c);
    }
    return calls;
}

// The errors a call of this kind can really meet.
std::vector<std::string> errnosFor(const Call& c) {
    if (c.kind == "open")
        return c.mode == 'w' ? std::vector<std::string>{"EIO", "ENOSPC", "EACCES", "EROFS"}
                             : std::vector<std::string>{"EIO", "EACCES"};
    if (c.kind == "write" || c.kind == "close" || c.kind == "fsync" || c.kind == "copy")
        return {"EIO", "ENOSPC"};
    if (c.kind == "stat") return {"EIO", "EACCES"};
    if (c.kind == "rename" || c.kind == "link") return {"EIO", "ENOSPC", "EACCES", "EROFS"};
    if (c.kind == "unlink") return {"EIO", "EACCES", "EROFS"};
    if (c.kind == "chmod") return {"EIO", "EPERM"};
    if (c.kind == "lock") return {"ENOLCK", "EIO"};
    return {"EIO"};  // read, seek, truncate
}

struct Baseline {
    Snapshot before, after;
    ChildRun run;
    std::vector<Call> calls;
};

// Runs the case in a fresh folder: prepared, the operation with `faults`, then (when
// `restart`) a start-up as after a crash. With `restartFaults` or `restartTrace` that
// start-up runs under them first (and may die), and then once more.
struct Runs {
    Snapshot before, now, restarted;
    ChildRun run;
    ChildRun firstStart;  // the start-up under `restartFaults`
    Snapshot afterFirstStart;
    ChildRun lastStart;       // the start-up after all
    Snapshot again;           // after an import: the folder after a second "import!"
    std::string errors;       // what the children printed to stderr
    bool historyRead = true;  // the history could be read after the run and the start-up

    // Whether the outcome of the run or of a start-up after it says so.
    bool said(const std::function<bool(const Outcome&)>& says) const {
        for (const ChildRun* r : {&run, &firstStart, &lastStart})
            if (!r->field("outcome").empty() && says(r->outcome())) return true;
        return false;
    }
};

// The history of the lists and each of its entries can be read: a missing one is no fault.
bool historyReads(const fs::path& folder) {
    const HistoryListing listing = History(folder).listing();
    return listing.read.ok() && listing.unreadable.empty();
}

Runs runCase(const Case& c, std::vector<std::string> faults, bool restart,
             std::vector<std::string> restartFaults = {}, const fs::path& trace = {},
             const fs::path& restartTrace = {}) {
    ScratchDir scratch;
    const fs::path folder = scratch.path() / "w";
    fs::create_directory(folder);
    c.scenario->fill(folder);
    test::writeFile(scratch.path() / "count", std::string(8, '\0'));
    faults.push_back("HOLMTEX_FAULT_COUNTER=" + (scratch.path() / "count").string());
    if (!trace.empty()) faults.push_back("HOLMTEX_FAULT_TRACE=" + trace.string());
    const fs::path errors = scratch.path() / "stderr";
    Runs o;
    for (const char* earlier : c.operation().earlier)
        if (earlier) runChild(folder, c.list, c.line, earlier, {{}, errors});
    o.before = snapshot(folder);
    o.run = runChild(folder, c.list, c.line, c.op, {faults, errors});
    o.now = snapshot(folder);
    o.historyRead = historyReads(folder);
    if (restart) {
        if (!restartFaults.empty() || !restartTrace.empty()) {
            test::writeFile(scratch.path() / "count", std::string(8, '\0'));
            restartFaults.push_back("HOLMTEX_FAULT_COUNTER=" + (scratch.path() / "count").string());
            if (!restartTrace.empty())
                restartFaults.push_back("HOLMTEX_FAULT_TRACE=" + restartTrace.string());
            o.firstStart = runChild(folder, "aktuell", -1, "start", {restartFaults, errors});
            o.afterFirstStart = snapshot(folder);
        }
        o.lastStart = runChild(folder, "aktuell", -1, "start", {{}, errors});
        o.restarted = snapshot(folder);
        o.historyRead = o.historyRead && historyReads(folder);
        // A user who is not sure whether the import went through imports again.
        if (c.op == "import") {
            runChild(folder, c.list, -1, "import", {{}, errors});
            o.again = snapshot(folder);
        }
    }
    o.errors = test::readFile(errors);
    return o;
}

// Later: the operation failed, but what it began is finished by the next start.
enum class Claim { Success, Partial, Later, Failure, None };

// What the outcome says about the operation; None when the child said nothing.
Claim claimOf(const ChildRun& run) {
    // In the order of Result.
    constexpr Claim kClaims[] = {Claim::Success, Claim::Partial, Claim::Later, Claim::Failure};
    if (run.field("outcome").empty()) return Claim::None;
    return kClaims[static_cast<int>(run.outcome().result)];
}

struct Judge {
    const Case& c;
    const Baseline& base;
    Findings& findings;
    Counts& counts;
    std::string where;

    void fail(const std::string& what) { findings.add(c.name() + ": " + what, where); }

    // The children, krumo-34 among them, must not crash or trip a sanitizer.
    void children(const Runs& o) {
        for (const char* sign : {"Sanitizer", "runtime error", "terminate called"}) {
            const std::size_t at = o.errors.find(sign);
            if (at == std::string::npos) continue;
            const std::size_t begin = o.errors.rfind('\n', at);
            const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
            fail("a child printed: " + o.errors.substr(from, o.errors.find('\n', at) - from));
        }
    }

    // Invariants that hold after any run, killed or not.
    void folder(const Snapshot& now) {
        const Snapshot& before = base.before;
        for (const std::string& name : kListFiles) {
            const auto was = bytesOf(before, name), is = bytesOf(now, name);
            if (!is) continue;
            const PlainList& list = plainOf(now, name);
            const bool wasWhole = plainOf(before, name).whole;
            if (wasWhole && !list.whole) fail(name + " no longer reads whole");
            if (!wasWhole && !list.whole && is != was) fail(name + " changed behind its damage");
            if (list.whole) {
                // The program's own reader must see the same records and a clean end.
                StringSource source(*is);
                RecordReader reader(source);
                PageRecord r;
                std::size_t n = 0;
                ReadStatus status;
                while ((status = reader.next(r)) == ReadStatus::Record) ++n;
                if (status != ReadStatus::End || n != list.records.size())
                    fail(name + " reads whole, but not to the program's reader");
            }
        }
        // Old or new, nothing between; "alle löschen" leaves the list without a file for a
        // moment.
        // A missing list file is an empty list.
        const auto listBytes = [](const Snapshot& s, const std::string& name) {
            auto bytes = bytesOf(s, name);
            return bytes && bytes->empty() ? std::nullopt : bytes;
        };
        for (const std::string& name : kListFiles) {
            const auto is = listBytes(now, name);
            if (is == listBytes(before, name) || is == listBytes(base.after, name)) continue;
            // A merge that could not read a copy takes in only the pages of the others.
            if (c.op == "merge" && is && is->starts_with(listBytes(before, name).value_or("")))
                continue;
            if (c.op == "all" && !is) continue;
            fail(name + " holds neither its old nor its new content: " + shown(is) + " (old " +
                 shown(bytesOf(before, name)) + ", new " + shown(bytesOf(base.after, name)) + ")");
        }
        const auto transfer = bytesOf(now, kTransfer);
        if (transfer != bytesOf(before, kTransfer) && transfer != bytesOf(base.after, kTransfer))
            fail("the transfer file holds neither its old nor its new content: " + shown(transfer));

        pagesKept(now);
        tailsKept(now);

        for (const std::string& name : kListFiles) {
            const auto was = before.find(name), is = now.find(name);
            if (was == before.end()) continue;
            if (was->second.link && c.op != "all" && (is == now.end() || !is->second.link))
                fail(name + " was a link to the list and is no longer one");
            // A protected list keeps its content through delete, "alle löschen" and the moves.
            const bool guarded =
                c.op == "delete" || c.op == "all" || c.op == "replace" || c.isMove();
            if (guarded && (was->second.mode & 0222) == 0 &&
                (is == now.end() || is->second.bytes != was->second.bytes ||
                 is->second.mode != was->second.mode))
                fail("the write-protected " + name + " was changed");
        }
    }

    // A run in which `call` failed: its message, then the folder and the message again
    // after the start-up that follows it.
    void failedCall(const Runs& o, const Call& call) {
        children(o);
        if (o.run.exitCode != 0)
            fail("the child ended with " + std::to_string(o.run.exitCode) +
                 (o.run.killed ? " (killed)" : ""));
        message(o.run, o.now, &call, false);
        where += ", after a start-up";
        restarted(o);
        message(o.run, o.restarted, &call, true);
    }

    // The folder after the restart that follows a run.
    void restarted(const Runs& o) {
        if (!o.historyRead) fail("the history of the lists cannot be read");
        folder(o.restarted);
        interruptedFinished(o);
    }

    // After a restart, what an interrupted import or move began is finished or named: no
    // page is only in a backup, a completed import's transfer file is gone (a second
    // import doubles nothing), and a page in both lists of a move was named.
    void interruptedFinished(const Runs& o) {
        const std::string list = listFile(c.list);
        const auto keys = [&](const Snapshot& s, std::initializer_list<std::string> names) {
            std::multiset<std::string> found;
            for (const std::string& name : names)
                for (const PlainRecord& r : recordsOf(s, name)) found.insert(keyOf(r));
            return found;
        };
        if (c.op != "delete" && c.op != "all" && c.op != "repair" && c.op != "replace") {
            const auto now =
                keys(o.restarted, {kListFiles[0], kListFiles[1], kListFiles[2], kTransfer});
            for (const auto& key :
                 keys(base.before, {kListFiles[0], kListFiles[1], kListFiles[2], kTransfer}))
                if (!now.count(key)) fail("page \"" + key + "\" is in no list after a restart");
        }
        if (c.op == "import" &&
            !o.said([](const Outcome& r) { return r.reason == Reason::NotRemoved; })) {
            auto wanted = recordsOf(base.before, list);
            const auto transfer = recordsOf(base.before, kTransfer);
            wanted.insert(wanted.end(), transfer.begin(), transfer.end());
            if (sameRecords(recordsOf(o.restarted, list), wanted) &&
                bytesOf(o.restarted, kTransfer))
                fail("the pages are in " + list + ", and the transfer file is still there");
            const auto again = keys(o.again, {list});
            for (const PlainRecord& r : transfer)
                if (again.count(keyOf(r)) > 1)
                    fail("a second import doubles page \"" + keyOf(r) + "\"");
        }
        const auto source = recordsOf(base.before, list);
        if (c.isMove() && c.line >= 0 && c.line < static_cast<int>(source.size())) {
            const std::string key = keyOf(source[c.line]);
            const bool named = o.said([](const Outcome& r) {
                return r.reason == Reason::BothLists || r.found.leftStep == redo::Step::Replace;
            });
            if (keys(o.restarted, {list}).count(key) &&
                keys(o.restarted, {dataFileName(*c.operation().target)}).count(key) && !named)
                fail("the page stands in both lists, and no one said so");
        }
    }

    // The bytes after the last whole record of a list stay at its end or go whole into a
    // file of their own.
    void tailsKept(const Snapshot& now) {
        std::vector<std::string> names = kListFiles;
        for (const std::string& copy : copiesIn(base.before)) names.push_back(copy);
        for (const std::string& name : names) {
            const PlainList& was = plainOf(base.before, name);
            if (was.whole) continue;
            const std::string tail = bytesOf(base.before, name)->substr(was.tail);
            const auto is = bytesOf(now, name);
            if (is && is->size() >= tail.size() && is->ends_with(tail)) continue;
            // "alle löschen" makes the whole list the backup.
            const std::size_t list = listIndex(name);
            const auto backup =
                list < kBackupFiles.size() ? bytesOf(now, kBackupFiles[list]) : std::nullopt;
            bool kept = c.op == "all" && backup == bytesOf(base.before, name);
            for (const auto& [file, entry] : now)
                kept = kept || (file.find("-rest-") != std::string::npos && entry.bytes == tail);
            if (!kept) fail("the damaged end of " + name + " is gone");
        }
    }

    // Every page of the lists and the transfer file is still somewhere, unchanged.
    void pagesKept(const Snapshot& now) {
        std::map<std::string, std::vector<std::string>> after;  // key -> contents
        std::vector<std::string> places = kListFiles;
        places.insert(places.end(), kBackupFiles.begin(), kBackupFiles.end());
        places.push_back(kTransfer);
        for (const std::string& copy : copiesIn(now)) places.push_back(copy);
        for (const std::string& name : places)
            for (const PlainRecord& r : recordsOf(now, name))
                after[keyOf(r)].push_back(contentOf(r));
        std::vector<std::string> watched = kListFiles;
        watched.push_back(kTransfer);
        for (const std::string& copy : copiesIn(base.before)) watched.push_back(copy);
        std::optional<std::string> deleted;
        // A page deleted or replaced is gone.
        if ((c.op == "delete" || c.op == "replace") && !c.scenario->replaced) {
            const auto records = recordsOf(base.before, listFile(c.list));
            if (c.line >= 0 && c.line < static_cast<int>(records.size()))
                deleted = keyOf(records[c.line]);
        }
        for (const std::string& name : watched) {
            for (const PlainRecord& r : recordsOf(base.before, name)) {
                ++counts.pages;
                const std::string key = keyOf(r);
                if (key == deleted) continue;
                const auto found = after.find(key);
                if (found == after.end())
                    fail("page \"" + key + "\" of " + name + " is lost");
                else if (std::find(found->second.begin(), found->second.end(), contentOf(r)) ==
                         found->second.end())
                    fail("page \"" + key + "\" of " + name + " has changed");
            }
        }
    }

    // What one run said, against the folder it left.
    struct Said {
        const ChildRun& run;
        const Snapshot& now;
        const Call* failed;  // the call that failed, if one did
        Claim claim;
        Outcome o;
    };

    // A missing list and an empty one are the same list.
    bool unchanged(const Said& s, const std::string& name) const {
        const bool replaced = c.scenario->replaced && name == listFile(c.list);
        const auto is = bytesOf(s.now, name),
                   was = bytesOf(base.before, replaced ? kReplacement : name);
        return is == was ||
               (name != kRescue && is.value_or("").empty() && was.value_or("").empty());
    }
    void said(const Said& s, const std::string& what) { fail("\"" + s.run.text5() + "\" " + what); }

    // What the outcome says against what happened. `failed` is the call that failed. What
    // the outcome leaves to the next start is judged after it.
    void message(const ChildRun& run, const Snapshot& now, const Call* failed, bool started) {
        Said s{run, now, failed, claimOf(run), run.outcome()};
        if (s.claim == Claim::None) return;
        if (s.claim == Claim::Later && !started) return;
        if (s.claim == Claim::Later) s.claim = Claim::Success;
        if (c.scenario->replaced && s.claim != Claim::Failure)
            said(s, "though another page stands on the line since it was opened");
        if (s.o.operation != c.operation().answers)
            said(s, "but the outcome is that of another operation");
        using Check = void (Judge::*)(const Said&);
        static const std::map<Operation, Check> kChecks = {
            {Operation::Save, &Judge::saved},
            {Operation::Rescue, &Judge::rescued},
            {Operation::TextFile, &Judge::textFile},
            {Operation::Duplicates, &Judge::duplicates},
            {Operation::Check, &Judge::checked},
            {Operation::Import, &Judge::imported},
            {Operation::Export, &Judge::transferred},
            {Operation::Copy, &Judge::transferred},
            {Operation::Delete, &Judge::deleted},
            {Operation::Move, &Judge::moved},
            {Operation::DeleteAll, &Judge::emptied},
            {Operation::Repair, &Judge::repaired},
            {Operation::Sheet, &Judge::written},
            {Operation::Gedcom, &Judge::written},
            {Operation::TakeBack, &Judge::stepped},
            {Operation::Redo, &Judge::stepped},
            {Operation::Replace, &Judge::replaced},
            {Operation::Merge, &Judge::merged},
            {Operation::GedcomImport, &Judge::gedcomImported}};
        (this->*kChecks.at(c.operation().answers))(s);
        // Operations that only read the lists leave them alone.
        if (c.operation().readsLists)
            for (const std::string& name : kListFiles)
                if (!unchanged(s, name))
                    fail(name + " changed, though the operation only reads it");
    }

    void saved(const Said& s) {
        const std::string list = listFile(c.list);
        const auto records = recordsOf(s.now, list);
        const bool page =
            !records.empty() &&
            keyOf(records.back()) == normalized("Neue Seite\r\nmit \"Zitat\" und \xDCmlaut, Komma");
        if (s.claim == Claim::Success && !page) said(s, "but the page is not the last of " + list);
        if (s.claim == Claim::Success && page && s.o.line >= 0 &&
            s.o.line != static_cast<int>(records.size()) - 1)
            said(s, "but the page is line " + std::to_string(records.size() - 1));
        if (s.claim == Claim::Failure && !unchanged(s, list)) said(s, "but " + list + " changed");
        if (c.op == "close" && s.run.field("ended") == "1" && !page)
            fail("the program ended without the page in " + list + ": \"" + s.run.text5() + "\"");
    }

    void rescued(const Said& s) {
        if (s.run.field("ended") != "1") fail("\"Schließen, ohne Speichern\" did not end");
        const auto records = recordsOf(s.now, kRescue);
        const auto bytes = bytesOf(s.now, kRescue);
        if (s.claim == Claim::Success && (records.size() != 1 || !readPlain(*bytes).whole ||
                                          records[0].text(PageText) != "Gerettete Seite"))
            fail("the rescue message is shown, but the rescue file holds " + shown(bytes));
    }

    void textFile(const Said& s) {
        written(s);
        for (const auto& [name, entry] : s.now)
            if (!s.o.done() && name.rfind("Text_", 0) == 0) said(s, "but " + name + " was made");
    }

    void duplicates(const Said& s) {
        if (s.claim != Claim::Success) return;
        const auto records = recordsOf(base.before, listFile(c.list));
        if (s.o.count != static_cast<long long>(records.size()))
            said(s, "but the list has " + std::to_string(records.size()) + " pages");
        else if (!records.empty() && bytesOf(s.now, "z1.txt") != bytesOf(base.after, "z1.txt"))
            said(s, "but z1.txt holds " + shown(bytesOf(s.now, "z1.txt")));
    }

    void checked(const Said& s) {
        const auto bytes = bytesOf(s.now, kListFiles[0]);
        const bool whole = bytes && readPlain(*bytes).whole;
        if (s.claim == Claim::Success && !whole) said(s, "but " + kListFiles[0] + " is damaged");
        if (s.claim == Claim::Success && whole &&
            !sameRecords(recordsOf(s.now, "check.dat"), recordsOf(s.now, kListFiles[0])))
            said(s, "but check.dat does not hold its records");
        if (s.claim == Claim::Partial && !whole) said(s, "but " + kListFiles[0] + " is damaged");
        if (s.claim == Claim::Failure && whole && s.failed && s.failed->name != kListFiles[0])
            said(s, "though only " + s.failed->name + " failed (" + s.failed->kind + ")");
    }

    void imported(const Said& s) {
        const std::string list = listFile(c.list);
        const auto transfer = recordsOf(base.before, kTransfer);
        std::vector<PlainRecord> wanted = recordsOf(base.before, list);
        wanted.insert(wanted.end(), transfer.begin(), transfer.end());
        const bool pages = sameRecords(recordsOf(s.now, list), wanted);
        const bool gone = !bytesOf(s.now, kTransfer);
        if (s.claim == Claim::Success && (!pages || !gone))
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)) +
                        (gone ? "" : " and the transfer file is still there"));
        if (s.claim == Claim::Partial && !pages) said(s, "but the pages are not in " + list);
        if (s.claim == Claim::Failure && (!unchanged(s, list) || !unchanged(s, kTransfer)))
            said(s, "but the files changed");
        if (s.o.reason == Reason::NothingToImport && bytesOf(base.before, kTransfer))
            said(s, "though the transfer file is there");
    }

    // All the genealogy file's pages, as the run without faults appended them, or none.
    void gedcomImported(const Said& s) {
        const std::string list = listFile(c.list);
        const bool pages = sameRecords(recordsOf(s.now, list), recordsOf(base.after, list));
        if ((s.claim == Claim::Success || s.claim == Claim::Partial) && !pages)
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)));
        if (s.claim == Claim::Failure && !unchanged(s, list)) said(s, "but " + list + " changed");
    }

    void transferred(const Said& s) {
        auto wanted = recordsOf(base.before, kTransfer);
        const auto records = recordsOf(base.before, listFile(c.list));
        if (c.line >= 0 && c.line < static_cast<int>(records.size()))
            wanted.push_back(records[c.line]);
        const auto transfer = bytesOf(s.now, kTransfer);
        if (s.claim == Claim::Success && (!transfer || !readPlain(*transfer).whole ||
                                          !sameRecords(recordsOf(s.now, kTransfer), wanted)))
            said(s, "but the transfer file holds " + shown(transfer));
        if (s.claim == Claim::Failure && !unchanged(s, kTransfer))
            said(s, "but the transfer file changed");
    }

    void deleted(const Said& s) {
        const std::string list = listFile(c.list);
        auto wanted = recordsOf(base.before, list);
        if (c.line >= 0 && c.line < static_cast<int>(wanted.size()))
            wanted.erase(wanted.begin() + c.line);
        // Deleted, though something after it went amiss, is deleted.
        if (s.o.done() && !sameRecords(recordsOf(s.now, list), wanted))
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)));
        if (s.claim == Claim::Failure && !unchanged(s, list)) said(s, "but " + list + " changed");
    }

    void moved(const Said& s) {
        const std::string list = listFile(c.list), target = dataFileName(*c.operation().target);
        auto source = recordsOf(base.before, list);
        auto targetWanted = recordsOf(base.before, target);
        std::optional<std::string> key;
        if (c.line >= 0 && c.line < static_cast<int>(source.size())) {
            key = keyOf(source[c.line]);
            targetWanted.push_back(source[c.line]);
            source.erase(source.begin() + c.line);
        }
        const auto inList = [&](const std::string& name) {
            for (const PlainRecord& r : recordsOf(s.now, name))
                if (keyOf(r) == key) return true;
            return false;
        };
        const bool both = s.o.reason == Reason::BothLists;
        if (s.o.done() && !both &&
            (!sameRecords(recordsOf(s.now, list), source) ||
             !sameRecords(recordsOf(s.now, target), targetWanted)))
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)) + " and " + target +
                        " holds " + shown(bytesOf(s.now, target)));
        if (both && !(inList(list) && inList(target))) said(s, "but the page is not in both lists");
        if (s.claim == Claim::Failure && !(unchanged(s, list) && unchanged(s, target)))
            said(s, "but the lists changed");
    }

    void emptied(const Said& s) {
        const std::string list = listFile(c.list);
        const std::string backup = kBackupFiles[listIndex(list)];
        // The template may have stayed where it was, when the outcome says so.
        const auto wantedList =
            s.o.reason == Reason::TemplateStays ? std::nullopt : bytesOf(base.before, kTemplate);
        if (s.o.done() && s.o.reason != Reason::NoFile &&
            (bytesOf(s.now, backup) != bytesOf(base.before, list) ||
             bytesOf(s.now, list) != wantedList))
            said(s, "but " + backup + " holds " + shown(bytesOf(s.now, backup)) + " and " + list +
                        " " + shown(bytesOf(s.now, list)));
        if ((s.claim == Claim::Failure || s.o.reason == Reason::NoFile) && !unchanged(s, list))
            said(s, "but " + list + " changed");
    }

    // ersetzen!: the list keeps its pages and their order, the one of the line opened in its
    // new form.
    void replaced(const Said& s) {
        const std::string list = listFile(c.list);
        if (s.claim == Claim::Failure && !unchanged(s, list)) said(s, "but " + list + " changed");
        if (!s.o.done()) return;
        std::vector<PlainRecord> wanted = recordsOf(base.before, list);
        const std::vector<PlainRecord>& now = recordsOf(s.now, list);
        const auto line = static_cast<std::size_t>(c.line);
        if (line < now.size() && now.size() == wanted.size() &&
            keyOf(now[line]) == "Gerettete Seite")
            wanted[line] = now[line];
        if (!sameRecords(now, wanted))
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)));
    }

    void repaired(const Said& s) {
        const std::string list = listFile(c.list);
        const PlainList& was = plainOf(base.before, list);
        const bool sound = s.o.reason == Reason::Sound;
        if (s.o.done() && sound && (!was.whole || !unchanged(s, list)))
            said(s, "but " + list + " was " + shown(bytesOf(base.before, list)) + " and is " +
                        shown(bytesOf(s.now, list)));
        if (s.o.done() && !sound &&
            (!plainOf(s.now, list).whole || !sameRecords(recordsOf(s.now, list), was.records)))
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)));
        if (s.o.done() && !sound && !was.whole &&
            bytesOf(s.now, s.o.file) != bytesOf(base.before, list)->substr(was.tail))
            said(s, "but " + s.o.file + " holds " + shown(bytesOf(s.now, s.o.file)));
        if (s.claim == Claim::Failure && !unchanged(s, list)) said(s, "but " + list + " changed");
    }

    // zurück! and wieder!: done, the lists and the transfer file are as the run without faults
    // left them; not done, as they were. Half done, each is one or the other (folder()).
    void stepped(const Said& s) {
        std::vector<std::string> files = kListFiles;
        files.push_back(kTransfer);
        for (const std::string& name : files) {
            const auto is = bytesOf(s.now, name).value_or(""),
                       wanted = bytesOf(base.after, name).value_or("");
            if (s.claim == Claim::Success && is != wanted)
                said(s, "but " + name + " holds " + shown(bytesOf(s.now, name)));
            if (s.claim == Claim::Failure && !unchanged(s, name))
                said(s, "but " + name + " changed");
        }
    }

    // A merge only adds: merged, the list is what the run without faults made of it, and a
    // copy left behind was told; not merged, the list and the copies are as they were.
    void merged(const Said& s) {
        const std::string list = listFile(c.list);
        const auto& now = recordsOf(s.now, list);
        if (s.claim == Claim::Success && !sameRecords(now, recordsOf(base.after, list)))
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)));
        // A copy that could not be read gave nothing; the list's own pages stay in front.
        const auto& was = recordsOf(base.before, list);
        if (s.claim == Claim::Partial &&
            (now.size() < was.size() ||
             !sameRecords({now.begin(), now.begin() + static_cast<long>(was.size())}, was)))
            said(s, "but " + list + " holds " + shown(bytesOf(s.now, list)));
        if (s.claim == Claim::Success && !copiesIn(s.now).empty())
            said(s, "but " + copiesIn(s.now).front() + " is still there");
        if (s.claim != Claim::Failure) return;
        if (!unchanged(s, list)) said(s, "but " + list + " changed");
        for (const std::string& copy : copiesIn(base.before))
            if (!unchanged(s, copy)) said(s, "but " + copy + " changed");
    }

    // The family sheet and the GEDCOM file: what was written is what the run without faults
    // wrote; what was not leaves the file as it was.
    void written(const Said& s) {
        const std::string& name = s.o.file;
        if (s.o.done() &&
            (!bytesOf(s.now, name) || bytesOf(s.now, name) != bytesOf(base.after, name)))
            said(s, "but " + name + " holds " + shown(bytesOf(s.now, name)));
        if (s.claim == Claim::Failure && !name.empty() && !unchanged(s, name))
            said(s, "but " + name + " changed");
    }
};

// ---- Running many children at once ----

int jobCount() {
    if (const char* jobs = std::getenv("HOLMTEX_SWEEP_JOBS")) return std::max(1, std::atoi(jobs));
    return std::max(1u, std::thread::hardware_concurrency());
}

void inParallel(std::size_t count, const std::function<void(std::size_t)>& job) {
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < jobCount(); ++w)
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < count;) job(i);
        });
    for (auto& t : workers) t.join();
}

Baseline baseline(const Case& c, Findings& findings, Counts& counts) {
    ScratchDir traceDir;
    const fs::path trace = traceDir.path() / "trace";
    Runs o = runCase(c, {}, true, {}, trace);
    Baseline b{o.before, o.now, o.run, readTrace(trace)};
    Judge judge{c, b, findings, counts, "the run without faults"};
    judge.children(o);
    if (o.run.exitCode != 0) judge.fail("the child ended with " + std::to_string(o.run.exitCode));
    // A step back or forth without faults has the change made before it to act on.
    if (c.operation().earlier[0] && o.run.outcome().result != Result::Done)
        judge.fail("nothing was done: \"" + o.run.text5() + "\"");
    judge.folder(o.now);
    judge.message(o.run, o.now, nullptr, false);
    judge.where = "a start-up after the run without faults";
    judge.restarted(o);
    judge.message(o.run, o.restarted, nullptr, true);
    ++counts.runs;
    return b;
}

void report(const Case& c, const Findings& findings, const Counts& counts) {
    std::printf("%s: %ld runs, %ld injected failures, %ld kills, %ld pages checked\n",
                c.name().c_str(), counts.runs.load(), counts.failures.load(), counts.kills.load(),
                counts.pages.load());
    tell(findings);
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name(); }

// The sweep of one case: the run without faults it is held against, then the runs of the
// test, whose findings are told at its end.
class Sweep : public testing::TestWithParam<Case> {
protected:
    void SetUp() override { base = baseline(c, findings, counts); }
    void TearDown() override { report(c, findings, counts); }
    const Case& c = GetParam();
    Findings findings;
    Counts counts;
    Baseline base;
};

class FaultSweep : public Sweep {};

TEST_P(FaultSweep, EveryFailingCallIsToldTruthfullyAndLosesNothing) {
    struct Job {
        std::size_t call;
        std::string error;
    };
    std::vector<Job> jobs;
    for (std::size_t k = 0; k < base.calls.size(); ++k)
        for (const std::string& e : errnosFor(base.calls[k])) jobs.push_back({k, e});
    inParallel(jobs.size(), [&](std::size_t i) {
        const Job& job = jobs[i];
        const Call& call = base.calls[job.call];
        const Runs o = runCase(c,
                               {"HOLMTEX_FAULT_AT=" + std::to_string(job.call + 1),
                                "HOLMTEX_FAULT_ERRNO=" + job.error},
                               true);
        Judge judge{c, base, findings, counts, "call " + call.line + " failing with " + job.error};
        judge.folder(o.now);
        judge.failedCall(o, call);
        ++counts.runs;
        ++counts.failures;
    });
}

std::vector<std::string> killAt(std::size_t call) {
    return {"HOLMTEX_FAULT_AT=" + std::to_string(call), "HOLMTEX_FAULT_ERRNO=KILL"};
}

TEST_P(FaultSweep, AKillAtEveryFileCallLosesNothing) {
    inParallel(base.calls.size(), [&](std::size_t k) {
        const Call& call = base.calls[k];
        const Runs o = runCase(c, killAt(k + 1), true);
        Judge judge{c, base, findings, counts, "a kill at call " + call.line};
        judge.children(o);
        // The call may belong to krumo-34: then the child itself lives on and speaks.
        if (!o.run.killed) judge.message(o.run, o.now, &call, false);
        judge.where += ", after a start-up";
        judge.restarted(o);
        if (!o.run.killed) judge.message(o.run, o.restarted, &call, true);
        ++counts.runs;
        ++counts.kills;
    });
}

std::string caseName(const testing::TestParamInfo<Case>& info) { return info.param.name(); }

INSTANTIATE_TEST_SUITE_P(Cases, FaultSweep, testing::ValuesIn(allCases()), caseName);

// A disk that fails from one call on, each call after it too, until the next start: what
// the message says is what that start finds.
class FailingDisk : public Sweep {};

TEST_P(FailingDisk, WhatTheMessageSaysIsWhatTheNextStartFinds) {
    inParallel(base.calls.size(), [&](std::size_t k) {
        const Call& call = base.calls[k];
        const Runs o = runCase(
            c, {"HOLMTEX_FAULT_AT=" + std::to_string(k + 1) + "+", "HOLMTEX_FAULT_ERRNO=EIO"},
            true);
        // The lists may be torn until the next start: only what comes after it is judged.
        Judge judge{c, base, findings, counts, "every call from " + call.line + " on failing"};
        judge.failedCall(o, call);
        ++counts.runs;
        ++counts.failures;
    });
}

std::vector<Case> casesOf(std::initializer_list<const Scenario*> scenarios,
                          std::initializer_list<std::string> ops) {
    std::vector<Case> cases;
    for (const Case& c : allCases())
        if (std::find(scenarios.begin(), scenarios.end(), c.scenario) != scenarios.end() &&
            std::find(ops.begin(), ops.end(), c.op) != ops.end())
            cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Appends, FailingDisk,
                         testing::ValuesIn(casesOf({&kOrdinary, &kMissing},
                                                   {"save", "import", "export", "copy", "archiv",
                                                    "aktuell", "allgemein", "gedcom_import"})),
                         caseName);

// A crash during an append, then another during the start-up that mends it.
class RecoverySweep : public Sweep {};

// The file calls of the start-up after a kill at each call of the operation, where that
// start-up has an append to finish (it writes; the others only read).
std::map<std::size_t, std::vector<Call>> mendingStarts(const Case& c, const Baseline& base) {
    std::vector<std::vector<Call>> calls(base.calls.size());
    inParallel(base.calls.size(), [&](std::size_t k) {
        ScratchDir traceDir;
        runCase(c, killAt(k + 1), true, {}, {}, traceDir.path() / "trace");
        calls[k] = readTrace(traceDir.path() / "trace");
    });
    std::map<std::size_t, std::vector<Call>> mending;
    for (std::size_t k = 0; k < calls.size(); ++k)
        if (std::any_of(calls[k].begin(), calls[k].end(), [](const Call& call) {
                return call.kind == "write" || call.kind == "truncate" || call.kind == "unlink" ||
                       call.kind == "rename";
            }))
            mending[k] = calls[k];
    return mending;
}

TEST_P(RecoverySweep, AKillAtEveryCallOfTheStartUpAfterAKillLosesNothing) {
    const auto starts = mendingStarts(c, base);
    std::vector<std::pair<std::size_t, std::size_t>> jobs;
    for (const auto& [k, calls] : starts)
        for (std::size_t j = 0; j < calls.size(); ++j) jobs.emplace_back(k, j);
    inParallel(jobs.size(), [&](std::size_t i) {
        const auto [k, j] = jobs[i];
        const Runs o = runCase(c, killAt(k + 1), true, killAt(j + 1));
        Judge judge{c, base, findings, counts,
                    "a kill at call " + base.calls[k].line + ", then one at call " +
                        starts.at(k)[j].line + " of the start-up, after another start-up"};
        judge.children(o);
        judge.restarted(o);
        ++counts.runs;
        counts.kills += 2;
    });
}

TEST_P(RecoverySweep, EveryFailingCallOfTheStartUpAfterAKillIsToldAndLosesNothing) {
    // One kill for each kind of start-up: their calls differ only where the kill came.
    std::map<std::string, std::size_t> shapes;
    for (const auto& [k, calls] : mendingStarts(c, base)) {
        std::string shape;
        for (const Call& call : calls) shape += call.kind + " " + call.name + "\n";
        shapes.emplace(shape, k);
    }
    struct Job {
        std::size_t kill;
        Call call;
        std::size_t at;
        std::string error;
    };
    std::vector<Job> jobs;
    for (const auto& [shape, k] : shapes) {
        ScratchDir traceDir;
        runCase(c, killAt(k + 1), true, {}, {}, traceDir.path() / "trace");
        const std::vector<Call> calls = readTrace(traceDir.path() / "trace");
        for (std::size_t j = 0; j < calls.size(); ++j)
            for (const std::string& e : errnosFor(calls[j])) jobs.push_back({k, calls[j], j, e});
    }
    inParallel(jobs.size(), [&](std::size_t i) {
        const Job& job = jobs[i];
        const Runs o = runCase(
            c, killAt(job.kill + 1), true,
            {"HOLMTEX_FAULT_AT=" + std::to_string(job.at + 1), "HOLMTEX_FAULT_ERRNO=" + job.error});
        Judge judge{c, base, findings, counts,
                    "a kill at call " + base.calls[job.kill].line + ", then call " + job.call.line +
                        " of the start-up failing with " + job.error};
        judge.children(o);
        // A start-up that could not finish the append says so; the next one finishes it.
        const bool saidSo = claimOf(o.firstStart) != Claim::Success;
        for (const std::string& name : kListFiles)
            if (!plainOf(o.afterFirstStart, name).whole && !saidSo)
                judge.fail(name + " is left unfinished by a start-up that says \"" +
                           o.firstStart.text5() + "\"");
        judge.where += ", after another start-up";
        judge.restarted(o);
        ++counts.runs;
        ++counts.kills;
        ++counts.failures;
    });
}

INSTANTIATE_TEST_SUITE_P(Appends, RecoverySweep,
                         testing::ValuesIn(casesOf({&kOrdinary, &kUnterminated},
                                                   {"save", "import", "export", "gedcom_import"})),
                         caseName);

TEST(FaultSweepAtRandom, KillsAtRandomMomentsLoseNothing) {
    long total = 1000;
    if (const char* kills = std::getenv("HOLMTEX_SWEEP_KILLS")) total = std::atol(kills);
    std::vector<Case> cases;
    for (const Case& c : allCases())
        if (c.scenario == &kOrdinary || c.scenario == &kBig || c.scenario == &kUnterminated)
            cases.push_back(c);
    Findings findings;
    Counts counts;
    std::vector<Baseline> bases;
    for (const Case& c : cases) bases.push_back(baseline(c, findings, counts));
    // A kill that comes after the child has ended kills nothing; the rounds go on until
    // enough have landed.
    std::mt19937 random(20261206);
    std::mutex randomMutex;
    std::atomic<long> attempts{0};
    const long attemptLimit = 4 * total + 100;
    inParallel(static_cast<std::size_t>(jobCount()), [&](std::size_t) {
        while (counts.kills < total && attempts++ < attemptLimit) {
            std::size_t which;
            long delay, restartDelay;
            {
                std::lock_guard<std::mutex> lock(randomMutex);
                which = random() % cases.size();
                // Anywhere in the operation; now and then the start-up after the crash is
                // killed too.
                const auto span =
                    static_cast<unsigned long>(std::max(50L, bases[which].run.micros));
                delay = static_cast<long>(random() % span);
                restartDelay = random() % 4 == 0 ? static_cast<long>(random() % 2000) : -1;
            }
            const Case& c = cases[which];
            std::vector<std::string> restartFaults;
            if (restartDelay >= 0)
                restartFaults.push_back("HOLMTEX_FAULT_KILL_AFTER_US=" +
                                        std::to_string(restartDelay));
            const Runs o = runCase(c, {"HOLMTEX_FAULT_KILL_AFTER_US=" + std::to_string(delay)},
                                   true, restartFaults);
            Judge judge{c, bases[which], findings, counts,
                        "a kill " + std::to_string(delay) + " µs into the operation" +
                            (restartDelay >= 0 ? " and one " + std::to_string(restartDelay) +
                                                     " µs into the start-up after it"
                                               : std::string())};
            judge.children(o);
            if (!o.run.killed) judge.message(o.run, o.now, nullptr, false);
            judge.restarted(o);
            if (!o.run.killed) judge.message(o.run, o.restarted, nullptr, true);
            ++counts.runs;
            if (o.run.killed) ++counts.kills;
        }
    });
    std::printf("random kills: %ld runs, %ld kills, %ld pages checked, over %zu cases\n",
                counts.runs.load(), counts.kills.load(), counts.pages.load(), cases.size());
    EXPECT_GE(counts.kills.load(), total);
    tell(findings);
}

}  // namespace
}  // namespace holmtex
