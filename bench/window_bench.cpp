// What a click costs as the user feels it: the real Qt window, offscreen, over lists of
// generated pages. A click runs the operation and then lets the window lay out and paint
// what changed, as the event loop does before the user sees the result. The same clicks on
// the form without a window are measured beside it (the core alone).
//
//   window_bench [--large] [benchmark flags]
//
// Sizes 32767 and 100000 pages; --large (or HOLMTEX_BENCH_LARGE=1) adds 1000000. A table of
// the CPU time per click closes the run; open, save and switch should stay within 5 ms with
// the window at every size.

#include <benchmark/benchmark.h>

#include <QApplication>
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

// One click, run again and again.
void click(benchmark::State& state, std::size_t n, bool withWindow, std::string_view what) {
    Session& s = session(n, withWindow);
    Holmtex& f = *s.form;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (what == "open") {
            f.List1.clickLine(flip ? 0 : f.List1.listCount() - 1);
        } else if (what == "save") {
            f.Command1.click();
        } else if (what == "switch") {
            (flip ? f.Option2 : f.Option1).setValue(true);
        } else if (what == "search") {
            f.Combo1.setText(flip ? "müller" : "zürich");
            f.Command8.click();
        }
        s.settle();
    }
    if (what == "switch" || what == "search") {  // back to AKTUELL, its whole list
        f.Option1.setValue(false);
        f.Option1.setValue(true);
        s.settle();
    }
}

const char* const kClicks[] = {"open", "save", "switch", "search"};

// Keeps the CPU times for the table at the end.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                cpuMs[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuMs;
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
            const bool targeted = std::string_view(what) != "search";
            std::printf("| %s | %zu | %.3f | %.3f | %s |\n", what, n, core->second, window->second,
                        !targeted                     ? ""
                        : window->second <= kTargetMs ? "≤ 5 ms: met"
                                                      : "≤ 5 ms: NOT met");
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
