// What the interactions of the window cost on long lists, each against a baseline measured
// in the same run on the same file:
//   pass  one read() of the whole list file and one memchr sweep over it;
//   copy  a copy of the list file into a new file with fsync, the physical cost of
//         replacing a file safely.
//
//   interaction_bench [--sizes=N,N,...] [--large] [--start-up] [--reps=R] [--program=PATH]
//
// Default sizes are 32767 and 100000 pages; --large adds 1000000; --start-up measures only
// the start-up (to the usable window and until the list is whole) and the read pass. Times are
// medians of R runs (default 5; the cheap interactions run 4 R times). Start-up is the time from
// starting the program (PATH, default startup_probe: the program built beside this benchmark,
// ending once it has painted its window) on the offscreen platform to the end of its first
// paint. Prints a table at the end.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "list_gen.h"
#include "paired.h"
#include "support/scripted_platform.h"
#include "window/holmtex.h"

namespace fs = std::filesystem;
using holmtex::Holmtex;
using holmtex::ScriptedPlatform;
using holmtex::bench::medianMs;
using holmtex::bench::Paired;
using holmtex::bench::pairedMs;

namespace {

constexpr const char* kAktuell = "holmtex-aktuell.dat";
constexpr const char* kArchiv = "holmtex-archiv.dat";

struct Options {
    std::vector<std::size_t> sizes = {32767, 100000};
    int reps = 5;
    bool startUpOnly = false;  // --start-up: the start-up rows and the read pass only
    std::string program = HOLMTEX_PROGRAM;
};

void fail(const std::string& what) {
    std::fprintf(stderr, "interaction_bench: %s\n", what.c_str());
    std::exit(1);
}

// ---- Baselines ----

// The read pass over the file.
class Pass {
public:
    explicit Pass(const fs::path& file)
        : file_(file), bytes_(static_cast<std::size_t>(fs::file_size(file)) + 1) {}
    void operator()() {
        if (holmtex::bench::readPass(file_, bytes_) <= 0) fail("cannot read " + file_.string());
    }

private:
    fs::path file_;
    std::vector<char> bytes_;
};

// A copy of the file into a new file, synced, then removed again.
class Copy {
public:
    explicit Copy(const fs::path& file) : copy_(file) {}
    void operator()() {
        if (!copy_()) fail("cannot copy " + copy_.file().string());
    }

private:
    holmtex::bench::CopyBaseline copy_;
};

// ---- The window over a folder ----

struct Window {
    explicit Window(const fs::path& folder,
                    holmtex::ListReading reading = holmtex::ListReading::Remembered)
        : form(platform, folder, reading) {
        form.Form_Load();
    }
    ScriptedPlatform platform;
    Holmtex form;
};

// A folder holding copies of the given list files.
fs::path makeFolder(const fs::path& root, const std::string& name,
                    std::initializer_list<std::pair<const char*, fs::path>> files) {
    const fs::path folder = root / name;
    fs::create_directories(folder);
    for (const auto& [listName, from] : files)
        fs::copy_file(from, folder / listName, fs::copy_options::overwrite_existing);
    // On disk before anything is measured: an fsync must not wait for our own copies.
    ::sync();
    return folder;
}

// A number from a /proc file of this process: "field: value".
long procValue(const char* file, const char* field) {
    std::ifstream status(file);
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

// From /proc/self/status, in kB.
long statusKb(const char* field) { return procValue("/proc/self/status", field); }

// How many read calls `run` makes; -1 when they cannot be counted.
long readCalls(const std::function<void()>& run) {
    const auto count = [](const std::function<void()>& f) {
        const long before = procValue("/proc/self/io", "syscr");
        f();
        const long after = procValue("/proc/self/io", "syscr");
        return before < 0 || after < 0 ? -1 : after - before;
    };
    // Less those of reading the count itself.
    const long own = count([] {}), all = count(run);
    return own < 0 || all < 0 ? -1 : all - own;
}

// How far the resident memory rose while `run` ran, from the moment it calls the function
// it is given, in bytes; measured in a child process whose peak mark is reset at that
// moment. -1 when it cannot be measured.
long peakRiseBytes(const std::function<void(const std::function<void()>&)>& run) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        long before = -1;
        run([&] {
            if (std::ofstream("/proc/self/clear_refs") << "5" << std::flush)
                before = statusKb("VmRSS");
        });
        const long peak = statusKb("VmHWM");
        const long rise = before >= 0 && peak >= 0 ? (peak - before) * 1024 : -1;
        if (::write(pipeFds[1], &rise, sizeof rise) != sizeof rise) _exit(1);
        _exit(0);
    }
    ::close(pipeFds[1]);
    long rise = -1;
    if (child < 0 || ::read(pipeFds[0], &rise, sizeof rise) != sizeof rise) rise = -1;
    ::close(pipeFds[0]);
    if (child > 0) ::waitpid(child, nullptr, 0);
    return rise;
}

// Starts the program in the folder and waits for it to end after its first paint, or with
// `listed` once its list is whole.
void startUp(const std::string& program, const fs::path& folder, bool listed = false) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0) _exit(126);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (listed) ::setenv("HOLMTEX_PROBE_LISTED", "1", 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        fail("the program did not start and end cleanly: " + program);
}

// ---- The table ----

struct Row {
    std::string interaction;
    std::size_t n = 0;
    double ms = 0;
    std::string ratio;   // e.g. "1.31× copy"
    std::string target;  // e.g. "≤ 1.5× copy"; empty: shown for comparison only
    bool met = true;
};

std::string times(double ratio, const char* baseline) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f× %s", ratio, baseline);
    return text;
}

void measure(const Options& options, std::size_t n, std::vector<Row>& rows) {
    // Beside the build, not in a RAM-backed /tmp: fsync must cost what it costs on disk.
    holmtex::bench::TempFolder root(fs::current_path());
    const int reps = options.reps, cheapReps = 4 * options.reps;
    std::fprintf(stderr, "%zu pages: writing the list files\n", n);
    const fs::path list = root.path() / "list.dat";
    const fs::path small = root.path() / "small.dat";
    if (!holmtex::bench::writeListFile(list, n) || !holmtex::bench::writeListFile(small, 10))
        fail("cannot write the list files");
    const double megabytes = static_cast<double>(fs::file_size(list)) / 1e6;

    // First, while this process is still small and quick to fork. The window is usable from
    // its first paint; a long list fills in after it.
    std::fprintf(stderr, "%zu pages: start-up\n", n);
    double filled = 0;
    {
        const fs::path empty = root.path() / "empty";
        fs::create_directories(empty);
        const fs::path full = makeFolder(root.path(), "start", {{kAktuell, list}});
        const Paired t = pairedMs(
            4 * reps + 1, [&] { startUp(options.program, empty); },
            [&] { startUp(options.program, full); });
        const double bare = t.base, loaded = t.op;
        filled = medianMs(2 * reps + 1, [&] { startUp(options.program, full, true); });
        const double limit = n <= 32767 ? 1.2 : 1.5;
        char ratio[64], target[64];
        std::snprintf(ratio, sizeof ratio, "%.2f× empty list", loaded / bare);
        std::snprintf(target, sizeof target, "≤ %.1f× empty list", limit);
        rows.push_back({"start-up, empty list", n, bare, "", ""});
        rows.push_back(
            {"start-up to the usable window", n, loaded, ratio, target, loaded <= limit * bare});
        std::snprintf(ratio, sizeof ratio, "%.2f× empty list", filled / bare);
        rows.push_back({"start-up until the list is whole", n, filled, ratio, ""});
        filled -= loaded;
    }

    std::fprintf(stderr, "%zu pages (%.1f MB): baselines\n", n, megabytes);
    Pass passRun(list);
    Copy copyRun(list);
    const double pass = medianMs(cheapReps, passRun);
    rows.push_back({"baseline: read() + memchr pass", n, pass, "", ""});
    rows.push_back(
        {"the list filling in after the first paint", n, filled, times(filled / pass, "pass"), ""});
    if (options.startUpOnly) return;
    const double copy = medianMs(reps, copyRun);
    rows.push_back({"baseline: copy + fsync", n, copy, times(copy / pass, "pass"), ""});
    auto fixed = [&](const std::string& name, double ms) {
        rows.push_back({name, n, ms, times(ms / pass, "pass"), "≤ 5 ms", ms <= 5.0});
    };
    // Against a baseline measured by turns with it.
    auto against = [&](const std::string& name, const std::function<void()>& op, bool copying,
                       double limit) {
        const char* baseName = copying ? "copy" : "pass";
        const Paired t = copying ? pairedMs(reps, copyRun, op) : pairedMs(reps, passRun, op);
        char target[32];
        std::snprintf(target, sizeof target, "≤ %.1f× %s", limit, baseName);
        rows.push_back(
            {name, n, t.op, times(t.op / t.base, baseName), target, t.op <= limit * t.base});
    };
    auto shown = [&](const std::string& name, double ms) {
        rows.push_back({name, n, ms, times(ms / pass, "pass"), ""});
    };

    std::fprintf(stderr, "%zu pages: open, save, switch\n", n);
    {
        const fs::path folder =
            makeFolder(root.path(), "lists", {{kAktuell, list}, {kArchiv, list}});
        Window w(folder);
        auto& f = w.form;
        f.Option2.setValue(true);  // each list read once
        f.Option1.setValue(true);
        bool onArchiv = false;
        fixed("switch list (file unchanged)", medianMs(cheapReps, [&] {
                  (onArchiv ? f.Option1 : f.Option2).setValue(true);
                  onArchiv = !onArchiv;
              }));
        f.Option1.setValue(true);
        const int last = f.List1.listCount() - 1;
        fixed("open the last line", medianMs(cheapReps, [&] { f.List1.clickLine(last); }));
        fixed("open the first line", medianMs(cheapReps, [&] { f.List1.clickLine(0); }));
        const int middle = f.List1.listCount() / 2;
        fixed("tooltip of the middle line", medianMs(cheapReps, [&] { f.lineTip(middle); }));
        const long reads = readCalls([&] { f.lineTip(middle); });
        rows.push_back({"  tooltip: read calls", n, 0, std::to_string(reads), "1", reads == 1});
        fixed("save", medianMs(cheapReps, [&] { f.Command1_Click(); }));
        if (f.List1.listCount() != static_cast<int>(n) + cheapReps) fail("a save went missing");

        {
            // The same, reading every list from its start.
            Window plain(folder, holmtex::ListReading::FromStart);
            auto& g = plain.form;
            shown("  switch list, read from the start", medianMs(reps, [&] {
                      (onArchiv ? g.Option1 : g.Option2).setValue(true);
                      onArchiv = !onArchiv;
                  }));
            g.Option1.setValue(true);
            shown("  open the last line, read from the start",
                  medianMs(reps, [&] { g.List1.clickLine(g.List1.listCount() - 1); }));
            shown("  save, read from the start", medianMs(reps, [&] { g.Command1_Click(); }));
        }

        std::fprintf(stderr, "%zu pages: search, duplicates, data check\n", n);
        for (const char* text : {"müller", "zürich", "jürgen müller"}) {
            f.Combo1.setText(text);
            against(
                std::string("search \"") + text + "\"", [&] { f.Command8_Click(); }, false, 2.0);
        }
        {
            // The hits counted and the first brought into sight, against the search alone.
            f.Combo1.setText("müller");
            const Paired t = pairedMs(
                cheapReps, [&] { holmtex::bench::searchWithoutCountAndScroll(f); },
                [&] { f.Command8_Click(); });
            rows.push_back({"  search with count and scroll", n, t.op,
                            times(t.op / t.base, "without"), "≤ 1.05× without",
                            t.op <= 1.05 * t.base});
        }
        f.Option1.setValue(false);  // a fresh read of the list, as after start-up
        f.Option1.setValue(true);
        against(
            "\"Duplikate löschen\"", [&] { f.Command23_Click(); }, true, 2.0);
        const long memory = peakRiseBytes([&](const std::function<void()>& startMeasuring) {
            Window fresh(folder);
            startMeasuring();
            fresh.form.Command23_Click();
        });
        if (memory >= 0) {
            const double mb = static_cast<double>(memory) / 1e6;
            const double limit = megabytes + 16.0;
            char text[64];
            std::snprintf(text, sizeof text, "%.1f MB", mb);
            char target[64];
            std::snprintf(target, sizeof target, "≤ %.1f MB", limit);
            rows.push_back(
                {"\"Duplikate löschen\": peak memory rise", n, 0, text, target, mb <= limit});
        }
        against(
            "data check", [&] { f.CheckData(); }, true, 1.5);
        f.Option1.setValue(false);  // shown anew, the middle line opened
        f.Option1.setValue(true);
        f.List1.setListIndex(middle);
        const int pages = f.List1.listCount();
        against(
            "ersetzen! of the middle line", [&] { f.ReplacePage(); }, true, 1.5);
        if (f.List1.listCount() != pages || f.MarkedLine != middle) fail("ersetzen! went amiss");
        against(
            "delete the first line",
            [&] {
                f.List1.setListIndex(0);
                f.Command2_Click();
            },
            true, 1.5);
    }
    {
        const fs::path folder =
            makeFolder(root.path(), "move", {{kAktuell, list}, {kArchiv, small}});
        Window w(folder);
        auto& f = w.form;
        against(
            "move the first line",
            [&] {
                f.List1.setListIndex(0);
                f.Command19_Click();
            },
            true, 1.5);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--sizes=")) {
            options.sizes = holmtex::bench::parseSizes(arg.substr(8));
            if (options.sizes.empty()) fail("--sizes wants page counts such as --sizes=1000,32767");
        } else if (arg == "--large") {
            options.sizes.push_back(1000000);
        } else if (arg == "--start-up") {
            options.startUpOnly = true;
        } else if (arg.starts_with("--reps=")) {
            options.reps = std::max(1, std::atoi(std::string(arg.substr(7)).c_str()));
        } else if (arg.starts_with("--program=")) {
            options.program = std::string(arg.substr(10));
        } else {
            std::fprintf(stderr,
                         "usage: interaction_bench [--sizes=N,N,...] [--large] [--start-up] "
                         "[--reps=R] [--program=PATH]\n");
            return 2;
        }
    }

    std::vector<Row> rows;
    for (std::size_t n : options.sizes) measure(options, n, rows);

    std::printf(
        "\n| interaction | N | time | ratio | target | met |\n|---|---:|---:|---|---|---|\n");
    bool allMet = true;
    for (const Row& row : rows) {
        char time[32] = "";
        if (row.ms > 0) std::snprintf(time, sizeof time, "%.2f ms", row.ms);
        const char* met = row.target.empty() ? "" : row.met ? "yes" : "NO";
        allMet = allMet && row.met;
        std::printf("| %s | %zu | %s | %s | %s | %s |\n", row.interaction.c_str(), row.n, time,
                    row.ratio.c_str(), row.target.c_str(), met);
    }
    std::printf("\n%s\n", allMet ? "Every target met." : "Some targets NOT met.");
    return 0;
}
