// How fast a list file is read, measured against the cheapest possible pass over the
// same bytes: one read() into a buffer and one memchr sweep.
//
//   list_bench [--sizes=N,N,...] [benchmark flags]
//
// The default size is 32767 pages. At the end the throughput of reading every record and
// of listing the page list is printed as a share of the baseline's, from the medians.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "list_gen.h"
#include "operations/page_index.h"
#include "record/record_io.h"

namespace fs = std::filesystem;

namespace {

struct ListFile {
    fs::path path;
    std::int64_t bytes = 0;
};

// The list file of n pages, written on first use and then shared by every benchmark.
const ListFile& listFile(std::size_t n) {
    static holmtex::bench::TempFolder folder(fs::temp_directory_path());
    static std::map<std::size_t, ListFile> files;
    auto found = files.find(n);
    if (found != files.end()) return found->second;
    ListFile file;
    file.path = folder.path() / ("holmtex-aktuell-" + std::to_string(n) + ".dat");
    if (!holmtex::bench::writeListFile(file.path, n)) {
        std::fprintf(stderr, "cannot write %s\n", file.path.c_str());
        std::exit(1);
    }
    file.bytes = static_cast<std::int64_t>(fs::file_size(file.path));
    return files.emplace(n, file).first->second;
}

void readAll(benchmark::State& state, std::size_t n) {
    const ListFile& file = listFile(n);
    holmtex::PageRecord buffer;
    for (auto _ : state) {
        holmtex::FileSource source;
        if (!source.open(file.path)) {
            state.SkipWithError("cannot open the list file");
            break;
        }
        holmtex::RecordReader reader(source);
        std::size_t records = 0;
        holmtex::ReadStatus status;
        while ((status = reader.next(buffer)) == holmtex::ReadStatus::Record) ++records;
        if (status != holmtex::ReadStatus::End || records != n) {
            state.SkipWithError("the list file did not read back whole");
            break;
        }
        benchmark::DoNotOptimize(buffer);
    }
    state.SetBytesProcessed(state.iterations() * file.bytes);
}

void listPages(benchmark::State& state, std::size_t n) {
    const ListFile& file = listFile(n);
    holmtex::PageRecord buffer;
    for (auto _ : state) {
        holmtex::PageIndex index;
        auto lines = index.list(holmtex::ListKind::Aktuell, file.path, buffer, false);
        if (lines->size() != n) {
            state.SkipWithError("the page list is incomplete");
            break;
        }
        benchmark::DoNotOptimize(lines->back());
        benchmark::DoNotOptimize(buffer);
    }
    state.SetBytesProcessed(state.iterations() * file.bytes);
}

void baseline(benchmark::State& state, std::size_t n) {
    const ListFile& file = listFile(n);
    // Allocated and touched once, so the loop measures reading and scanning only.
    std::vector<char> bytes(static_cast<std::size_t>(file.bytes) + 1);
    for (auto _ : state) {
        const long lineEnds = holmtex::bench::readPass(file.path, bytes);
        if (lineEnds < 0) {
            state.SkipWithError("cannot read the list file");
            break;
        }
        benchmark::DoNotOptimize(lineEnds);
    }
    state.SetBytesProcessed(state.iterations() * file.bytes);
}

// Prints as usual and keeps the time per iteration of each run for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            // With repetitions, the median stands for the run.
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median") continue;
            Timing& timing = times_[run.run_name.function_name];
            if (aggregate || !timing.fromMedian) timing = {run.GetAdjustedRealTime(), aggregate};
        }
    }
    // Time per iteration of a named benchmark, 0 when it did not run.
    double time(const std::string& name) const {
        auto found = times_.find(name);
        return found == times_.end() ? 0.0 : found->second.time;
    }

private:
    struct Timing {
        double time = 0.0;
        bool fromMedian = false;
    };
    std::map<std::string, Timing> times_;
};

// "list/32767"; built step by step, as g++ 12 warns falsely about "literal" + std::string.
std::string benchName(const char* what, std::size_t n) {
    std::string name(what);
    name += '/';
    name += std::to_string(n);
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = {32767};
    // Take our own flag out before the library looks at the rest.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--sizes=")) {
            sizes = holmtex::bench::parseSizes(arg.substr(8));
            if (sizes.empty()) {
                std::fprintf(stderr, "--sizes wants page counts such as --sizes=1000,32767\n");
                return 2;
            }
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;

    // The machines this runs on are shared and their speed drifts, so by default each
    // benchmark runs five times, the runs of all of them shuffled together, and the
    // medians make the ratios. Flags given on the command line come later and win.
    std::vector<char*> args = {argv[0]};
    char repetitions[] = "--benchmark_repetitions=5";
    char interleaving[] = "--benchmark_enable_random_interleaving=true";
    char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.end(), {repetitions, interleaving, aggregatesOnly});
    args.insert(args.end(), argv + 1, argv + argc);
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    for (std::size_t n : sizes) {
        benchmark::RegisterBenchmark(benchName("baseline", n).c_str(), baseline, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(benchName("read_all", n).c_str(), readAll, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(benchName("list", n).c_str(), listPages, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // Same bytes in every benchmark of a size, so the throughput ratio is the time ratio.
    for (std::size_t n : sizes) {
        const double base = reporter.time(benchName("baseline", n));
        const double read = reporter.time(benchName("read_all", n));
        const double list = reporter.time(benchName("list", n));
        if (base <= 0) continue;
        std::printf("pages %zu (%.1f MB):\n", n, listFile(n).bytes / 1e6);
        if (read > 0) std::printf("  ratio read-all/baseline: %.3f\n", base / read);
        if (list > 0) std::printf("  ratio list/baseline: %.3f\n", base / list);
    }
    return 0;
}
