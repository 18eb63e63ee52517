// What a click costs as the user feels it: the real Qt window, offscreen, over lists of
// generated pages. A click runs the operation and then lets the window lay out and paint
// what changed, as the event loop does before the user sees the result. The same clicks on
// the form without a window are measured beside it (the core alone).
//
//   window_bench [--large] [benchmark flags]
//
// Sizes 32767 and 100000 pages; --large (or HOLMTEX_BENCH_LARGE=1) adds 1000000. A table of
// the CPU time per click closes the run; open, save, switch and a line's tooltip should stay
// within 5 ms with the window at every size. A second table holds ersetzen! against a synced
// copy of the list (real time, at most 1.5 times) and the search against the search without
// counting its hits and bringing the first into sight (CPU time, at most 1.05 times).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "list_gen.h"
#include "support/offscreen_screens.h"
#include "support/scripted_platform.h"
#include "window/holmtex.h"
#include "window/qt/qt_application.h"
#include "window/qt/qt_window.h"

namespace fs = std::filesystem;
using holmtex::Holmtex;

namespace {

constexpr double kTargetMs = 5.0;

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
        fs::copy_file(listFile(n), folder.path() / "holmtex-aktuell.dat");
        fs::copy_file(listFile(n, 1), folder.path() / "holmtex-archiv.dat");
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
    std::vector<char> buffer = std::vector<char>(1 << 20);  // for the copy
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

// One click, run again and again.
void click(benchmark::State& state, std::size_t n, bool withWindow, std::string_view what) {
    Session& s = session(n, withWindow);
    Holmtex& f = *s.form;
    const int middle = f.List1.listCount() / 2;
    if (what == "ersetzen!") f.List1.clickLine(middle);
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
        } else if (what == "ersetzen!") {
            f.ReplacePage();
        } else if (what == "copy") {  // the baseline of ersetzen!
            if (!holmtex::bench::syncedCopy(s.folder.path() / "holmtex-aktuell.dat",
                                            s.folder.path() / "copy.dat", s.buffer))
                state.SkipWithError("cannot copy the list");
        }
        s.settle();
    }
    if (what == "switch" || what == "search" || what == "search alone") {
        f.Option1.setValue(false);  // back to AKTUELL, its whole list
        f.Option1.setValue(true);
        s.settle();
    }
}

// "search alone" is the search without counting its hits and bringing the first into sight;
// "copy" a synced copy of the list file.
const char* const kClicks[] = {"open",    "save",         "switch",    "search",
                               "tooltip", "search alone", "ersetzen!", "copy"};

// Keeps the CPU times for the table at the end.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            cpuMs[run.benchmark_name()] = run.GetAdjustedCPUTime();
            realMs[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuMs, realMs;
};

std::string name(const char* what, std::size_t n, bool withWindow) {
    return std::string(what) + "/" + std::to_string(n) + (withWindow ? "/window" : "/core");
}

void printTable(const TableReporter& reporter, const std::vector<std::size_t>& sizes) {
    std::printf(
        "\nCPU per click, ms\n\n| click | pages | core only | with the window | target |\n"
        "|---|---:|---:|---:|---|\n");
    for (const char* what : kClicks) {
        for (std::size_t n : sizes) {
            auto core = reporter.cpuMs.find(name(what, n, false));
            auto window = reporter.cpuMs.find(name(what, n, true));
            if (core == reporter.cpuMs.end() || window == reporter.cpuMs.end()) continue;
            const std::string_view click = what;
            const bool targeted =
                click == "open" || click == "save" || click == "switch" || click == "tooltip";
            std::printf("| %s | %zu | %.3f | %.3f | %s |\n", what, n, core->second, window->second,
                        !targeted                     ? ""
                        : window->second <= kTargetMs ? "≤ 5 ms: met"
                                                      : "≤ 5 ms: NOT met");
        }
    }
    // With the window: ersetzen! in real time against the synced copy, the search in CPU
    // time against the search alone.
    std::printf(
        "\n| with the window | pages | ms | against | ratio | target |\n"
        "|---|---:|---:|---|---:|---|\n");
    const struct {
        const char *what, *base;
        bool real;
        double limit;
    } ratios[] = {{"ersetzen!", "copy", true, 1.5}, {"search", "search alone", false, 1.05}};
    for (const auto& r : ratios) {
        const auto& times = r.real ? reporter.realMs : reporter.cpuMs;
        for (std::size_t n : sizes) {
            auto op = times.find(name(r.what, n, true)), base = times.find(name(r.base, n, true));
            if (op == times.end() || base == times.end()) continue;
            const double ratio = op->second / base->second;
            std::printf("| %s (%s) | %zu | %.2f | %s, %.2f ms | %.2f× | ≤ %.2f×: %s |\n", r.what,
                        r.real ? "real" : "CPU", n, op->second, r.base, base->second, ratio,
                        r.limit, ratio <= r.limit ? "met" : "NOT met");
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
    if (addLarge) sizes.push_back(1000000);
    int restCount = static_cast<int>(rest.size());

    holmtex::test::OffscreenScreens screens({holmtex::test::kDesktopScreen});
    QApplication app(restCount, rest.data());
    holmtex::setUpApplication(app);
    benchmark::Initialize(&restCount, rest.data());

    for (std::size_t n : sizes)
        for (bool withWindow : {false, true})
            for (const char* what : kClicks)
                benchmark::RegisterBenchmark(
                    name(what, n, withWindow).c_str(),
                    [=](benchmark::State& state) { click(state, n, withWindow, what); })
                    ->Unit(benchmark::kMillisecond);

    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    current.reset();
    printTable(reporter, sizes);
    benchmark::Shutdown();
    return 0;
}
