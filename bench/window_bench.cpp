// What a click costs as the user feels it: the real Qt window, offscreen, over lists of
// generated pages. A click runs the operation and then lets the window lay out and paint
// what changed, as the event loop does before the user sees the result. The same clicks on
// the form without a window are measured beside it (the core alone).
//
//   window_bench [--large] [benchmark flags]
//
// Sizes 32767 and 100000 pages; --large (or HOLMTEX_BENCH_LARGE=1) adds 1000000. Tables
// close the run:
//  - the CPU time per click, core only and with the window: open, save, switch and a line's
//    tooltip should stay within 5 ms with the window at every size, and no click that leaves
//    the list file as it is above one frame (16 ms) at 1000000 pages;
//  - the clicks that write the list file whole (delete, move into ARCHIV, the data check and
//    ersetzen!), in real time, each against a synced copy of the list made by turns with it
//    in the same run: at most 1.5 times. Their time includes recording the change in the
//    history (holmtex-verlauf/), which the user waits for as well. The copy is removed and
//    the disk synced outside both timings: where freed blocks are discarded (mount option
//    discard), the click would otherwise wait for the removal of the copy before it;
//  - the search against the search without counting its hits and bringing the first into
//    sight (CPU time, at most 1.05 times).
// Run it from a folder on the disk the user's lists would be on (make bench runs it in the
// build folder): the lists go there, not into a RAM-backed /tmp, so fsync costs what it costs.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QListView>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "list_gen.h"
#include "paired.h"
#include "support/offscreen_screens.h"
#include "support/scripted_platform.h"
#include "window/holmtex.h"
#include "window/qt/qt_application.h"
#include "window/qt/qt_window.h"

namespace fs = std::filesystem;
using holmtex::Holmtex;

namespace {

constexpr double kTargetMs = 5.0;
constexpr double kFrameMs = 16.0;
constexpr double kCopyLimit = 1.5;
constexpr std::size_t kLarge = 1000000;
constexpr const char* kAktuell = "holmtex-aktuell.dat";

// The list of n pages, written once; `seed` 1 gives other pages than the default.
const fs::path& listFile(std::size_t n, int seed = 0) {
    static holmtex::bench::TempFolder folder(fs::current_path());
    static std::map<std::pair<std::size_t, int>, fs::path> files;
    auto found = files.find({n, seed});
    if (found != files.end()) return found->second;
    const fs::path file =
        folder.path() / ("list-" + std::to_string(n) + "-" + std::to_string(seed) + ".dat");
    std::fprintf(stderr, "writing a list of %zu pages\n", n);
    if (!holmtex::bench::writeListFile(file, n, holmtex::bench::kListSeed + seed)) {
        std::fprintf(stderr, "window_bench: cannot write %s\n", file.c_str());
        std::exit(1);
    }
    return files.emplace(std::make_pair(n, seed), file).first->second;
}

// A working folder over the list of n pages, with its form, shown in a window or not.
struct Session {
    Session(std::size_t n, bool withWindow) : folder(fs::current_path()), size(n) {
        // Other pages in ARCHIV: a switch shows another page, as it does for the user.
        fs::copy_file(listFile(n), folder.path() / kAktuell);
        fs::copy_file(listFile(n, 1), folder.path() / "holmtex-archiv.dat");
        // On disk before anything is measured: an fsync must not wait for our own copies.
        ::sync();
        form = std::make_unique<Holmtex>(platform, folder.path());
        if (withWindow) window = std::make_unique<holmtex::QtWindow>(*form);
        form->Form_Load();
        form->Option2.setValue(true);  // each list read once before measuring
        form->Option1.setValue(true);
        if (window) {
            window->show();
            if (!QTest::qWaitForWindowExposed(window.get())) std::exit(1);
        }
        settle();
    }
    // What the event loop does after a click: layout, painting.
    void settle() {
        if (window) QCoreApplication::processEvents();
    }

    holmtex::bench::TempFolder folder;
    std::size_t size;
    holmtex::ScriptedPlatform platform;
    std::unique_ptr<Holmtex> form;
    std::unique_ptr<holmtex::QtWindow> window;
};

// Goes before the application does.
std::unique_ptr<Session> current;

Session& session(std::size_t n, bool withWindow) {
    if (!current || current->size != n || (current->window != nullptr) != withWindow) {
        current.reset();
        current = std::make_unique<Session>(n, withWindow);
    }
    return *current;
}

// The tooltip of a line, as the window asks for it when the mouse rests there.
QString tooltip(Session& s, int line) {
    if (!s.window) return QString::fromStdString(s.form->lineTip(line));
    const auto* list = s.window->findChild<QListView*>("List1");
    return list->model()->index(line, 0).data(Qt::ToolTipRole).toString();
}

// One click that leaves the list file as it is, run again and again.
void click(benchmark::State& state, std::size_t n, bool withWindow, std::string_view what) {
    Session& s = session(n, withWindow);
    Holmtex& f = *s.form;
    const int middle = f.List1.listCount() / 2;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (what == "open") {
            f.List1.clickLine(flip ? 0 : f.List1.listCount() - 1);
        } else if (what == "save") {
            f.Command1.click();
        } else if (what == "switch") {
            (flip ? f.Option2 : f.Option1).setValue(true);
        } else if (what == "search" || what == "search alone") {
            f.Combo1.setText(flip ? "müller" : "zürich");
            what == "search" ? f.Command8.click() : holmtex::bench::searchWithoutCountAndScroll(f);
        } else if (what == "tooltip") {
            benchmark::DoNotOptimize(tooltip(s, flip ? middle : middle + 1));
        }
        s.settle();
    }
    if (what == "switch" || what == "search" || what == "search alone") {
        f.Option1.setValue(false);  // back to AKTUELL, its whole list
        f.Option1.setValue(true);
        s.settle();
    }
}

// Gets the list ready for a click that writes it whole, out of the timing, so that each
// click finds the list of the same length with the line it needs opened.
void prepare(Session& s, std::string_view what, bool flip) {
    Holmtex& f = *s.form;
    if (what == "delete" || what == "move") {
        // A page saved at the end for the one the click takes out of AKTUELL.
        f.Text1.setText(flip ? "Ersatzseite A" : "Ersatzseite B");
        f.Command1.click();
        f.List1.clickLine(0);
    } else if (what == "data check") {
        f.Combo1.setText("");  // the word stays in the box after the check
    } else {                   // ersetzen!: a line opened and one of its fields changed
        f.List1.clickLine(f.List1.listCount() / 2);
        f.Text1.setText(flip ? "geändert A" : "geändert B");
    }
    s.settle();
}

void runCopying(Holmtex& f, std::string_view what) {
    if (what == "delete") {
        f.Command2.click();
    } else if (what == "move") {
        f.Command19.click();
    } else if (what == "data check") {
        f.Combo1.setText("datacheck!");
    } else {
        f.Combo1.setText("ersetzen!");
    }
}

// One click that writes the list file whole, run again and again, each time after a synced
// copy of the list as it is then: the medians of both in real time go into the counters.
void copyingClick(benchmark::State& state, std::size_t n, bool withWindow, std::string_view what) {
    using holmtex::bench::timedMs;
    Session& s = session(n, withWindow);
    Holmtex& f = *s.form;
    holmtex::bench::CopyBaseline copy(s.folder.path() / kAktuell, true);
    const int pages = f.List1.listCount();
    std::vector<double> copyMs, clickMs;
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        flip = !flip;
        prepare(s, what, flip);
        ::sync();  // what the preparing wrote is not the copy's to wait for
        bool copied = false;
        copyMs.push_back(timedMs([&] { copied = copy(); }));
        if (!copied) {
            state.SkipWithError("cannot copy the list");
            break;
        }
        copy.removeCopy();
        state.ResumeTiming();
        clickMs.push_back(timedMs([&] {
            runCopying(f, what);
            s.settle();
        }));
        if (!f.outcome().done()) {
            state.SkipWithError("the click did not change the list");
            break;
        }
    }
    if (f.List1.listCount() != pages) state.SkipWithError("the list changed its length");
    state.counters["click_ms"] = holmtex::bench::median(clickMs);
    state.counters["copy_ms"] = holmtex::bench::median(copyMs);
}

// "search alone" is the search without counting its hits and bringing the first into sight.
const char* const kClicks[] = {"open", "save", "switch", "search", "tooltip", "search alone"};
// Those that write the list file whole, measured last: move adds to ARCHIV.
const char* const kCopyingClicks[] = {"delete", "move", "data check", "ersetzen!"};

// Keeps the times of each benchmark for the tables at the end.
class TableReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        double cpu = 0, real = 0, click = 0, copy = 0;
    };
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            Times& t = times[run.run_name.function_name];
            t.cpu = run.GetAdjustedCPUTime();
            t.real = run.GetAdjustedRealTime();
            if (auto c = run.counters.find("click_ms"); c != run.counters.end())
                t.click = c->second;
            if (auto c = run.counters.find("copy_ms"); c != run.counters.end()) t.copy = c->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Those of a click without and with the window; null when either did not run.
    std::pair<const Times*, const Times*> find(const std::string& core,
                                               const std::string& window) const {
        auto c = times.find(core), w = times.find(window);
        if (c == times.end() || w == times.end()) return {nullptr, nullptr};
        return {&c->second, &w->second};
    }
    std::map<std::string, Times> times;
};

std::string name(const char* what, std::size_t n, bool withWindow) {
    return std::string(what) + "/" + std::to_string(n) + (withWindow ? "/window" : "/core");
}

bool isCopying(std::string_view what) {
    for (const char* copying : kCopyingClicks)
        if (what == copying) return true;
    return false;
}

// The target of a click's CPU time with the window; empty when it has none there.
std::string cpuTarget(std::string_view what, std::size_t n, double windowMs) {
    const bool fixed = what == "open" || what == "save" || what == "switch" || what == "tooltip";
    if (fixed) return windowMs <= kTargetMs ? "≤ 5 ms: met" : "≤ 5 ms: NOT met";
    if (isCopying(what)) return "≤ 1.5× copy, below";
    if (n < kLarge || what == "search alone") return "";
    return windowMs <= kFrameMs ? "≤ 16 ms: met" : "≤ 16 ms: NOT met";
}

void printCpuTable(const TableReporter& reporter, const std::vector<std::size_t>& sizes) {
    std::printf(
        "\nCPU per click, ms\n\n| click | pages | core only | with the window | the window's "
        "part | target |\n|---|---:|---:|---:|---:|---|\n");
    std::vector<const char*> all(std::begin(kClicks), std::end(kClicks));
    all.insert(all.end(), std::begin(kCopyingClicks), std::end(kCopyingClicks));
    for (const char* what : all) {
        for (std::size_t n : sizes) {
            auto [core, window] = reporter.find(name(what, n, false), name(what, n, true));
            if (!core) continue;
            std::printf("| %s | %zu | %.3f | %.3f | %.3f | %s |\n", what, n, core->cpu, window->cpu,
                        window->cpu - core->cpu, cpuTarget(what, n, window->cpu).c_str());
        }
    }
}

void printCopyTable(const TableReporter& reporter, const std::vector<std::size_t>& sizes) {
    std::printf(
        "\nClicks that write the list whole, real time, medians in ms; each against a synced "
        "copy of the list made by turns with it\n\n| click | pages | core only | copy | ratio "
        "| with the window | copy | ratio | target |\n|---|---:|---:|---:|---:|---:|---:|---:|"
        "---|\n");
    for (const char* what : kCopyingClicks) {
        for (std::size_t n : sizes) {
            auto [core, window] = reporter.find(name(what, n, false), name(what, n, true));
            if (!core) continue;
            const double coreRatio = core->click / core->copy;
            const double ratio = window->click / window->copy;
            std::printf("| %s | %zu | %.1f | %.1f | %.2f× | %.1f | %.1f | %.2f× | ≤ %.1f×: %s |\n",
                        what, n, core->click, core->copy, coreRatio, window->click, window->copy,
                        ratio, kCopyLimit, ratio <= kCopyLimit ? "met" : "NOT met");
        }
    }
}

void printSearchTable(const TableReporter& reporter, const std::vector<std::size_t>& sizes) {
    std::printf(
        "\nThe search with the window against the search alone, CPU ms\n\n| pages | search | "
        "alone | ratio | target |\n|---:|---:|---:|---:|---|\n");
    for (std::size_t n : sizes) {
        auto [alone, search] =
            reporter.find(name("search alone", n, true), name("search", n, true));
        if (!alone) continue;
        const double ratio = search->cpu / alone->cpu;
        std::printf("| %zu | %.2f | %.2f | %.2f× | ≤ 1.05×: %s |\n", n, search->cpu, alone->cpu,
                    ratio, ratio <= 1.05 ? "met" : "NOT met");
    }
}

void registerClicks(const std::vector<std::size_t>& sizes) {
    for (std::size_t n : sizes) {
        for (bool withWindow : {false, true}) {
            for (const char* what : kClicks)
                benchmark::RegisterBenchmark(
                    name(what, n, withWindow).c_str(),
                    [=](benchmark::State& state) { click(state, n, withWindow, what); })
                    ->Unit(benchmark::kMillisecond);
            // Few runs: each copies the list, and keeps the old one in the history.
            for (const char* what : kCopyingClicks)
                benchmark::RegisterBenchmark(
                    name(what, n, withWindow).c_str(),
                    [=](benchmark::State& state) { copyingClick(state, n, withWindow, what); })
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(n >= kLarge ? 5 : 15);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = {32767, 100000};
    const char* large = std::getenv("HOLMTEX_BENCH_LARGE");
    bool addLarge = large && *large && std::string_view(large) != "0";
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--large")
            addLarge = true;
        else
            rest.push_back(argv[i]);
    }
    if (addLarge) sizes.push_back(kLarge);
    int restCount = static_cast<int>(rest.size());

    holmtex::test::OffscreenScreens screens({holmtex::test::kDesktopScreen});
    QApplication app(restCount, rest.data());
    holmtex::setUpApplication(app);
    benchmark::Initialize(&restCount, rest.data());

    registerClicks(sizes);

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    current.reset();
    printCpuTable(reporter, sizes);
    printCopyTable(reporter, sizes);
    printSearchTable(reporter, sizes);
    benchmark::Shutdown();
    return 0;
}
