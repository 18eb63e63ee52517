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

#include "bench_main.h"
#include "list_gen.h"
#include "record/page_index.h"
#include "record/record_io.h"

namespace fs = std::filesystem;
using holmtex::bench::benchName;

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

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = {32767};
    if (int wrong = holmtex::bench::initialize(argc, argv, sizes)) return wrong;

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

    holmtex::bench::RatioReporter reporter;
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
