// What recording a change in the history costs, against the least any change of a list
// costs: a copy of the list into a new file, synced.
//
//   history_bench [--sizes=N,N,...] [benchmark flags]
//
// record_replace keeps the list as it is before a whole-file change (a delete, a move out)
// and completes the entry; record_append does the same around a save, whose append itself
// is not measured. The default sizes are 32767 and 100000 pages. The lists lie beside the
// working folder of the run, not in a RAM-backed /tmp, so that fsync costs what it costs on
// disk. At the end each recording is printed as a share of the copy, from the medians.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_main.h"
#include "list_gen.h"
#include "record/history.h"
#include "record/list_append.h"
#include "record/record_io.h"

namespace fs = std::filesystem;
using namespace holmtex;

namespace {

const ChangeTime kTime{2026, 6, 12, 14, 3, 5};

struct Folder {
    fs::path dir, list;
    std::int64_t bytes = 0;
};

// A working folder with AKTUELL of n pages, written on first use and shared.
const Folder& folderFor(std::size_t n) {
    static bench::TempFolder root(fs::current_path());
    static std::map<std::size_t, Folder> folders;
    if (auto found = folders.find(n); found != folders.end()) return found->second;
    Folder folder;
    folder.dir = root.path() / std::to_string(n);
    fs::create_directories(folder.dir);
    folder.list = folder.dir / dataFileName(ListKind::Aktuell);
    if (!bench::writeListFile(folder.list, n)) {
        std::fprintf(stderr, "cannot write %s\n", folder.list.c_str());
        std::exit(1);
    }
    folder.bytes = static_cast<std::int64_t>(fs::file_size(folder.list));
    ::sync();  // an fsync must not wait for the list just written
    return folders.emplace(n, folder).first->second;
}

void copyFsync(benchmark::State& state, std::size_t n) {
    const Folder& folder = folderFor(n);
    const fs::path copy = folder.dir / "kopie.dat";
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        const int in = ::open(folder.list.c_str(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool ok = in >= 0 && out >= 0;
        for (ssize_t got; ok && (got = ::read(in, buffer.data(), buffer.size())) > 0;)
            ok = ::write(out, buffer.data(), static_cast<std::size_t>(got)) == got;
        ok = ok && ::fsync(out) == 0;
        ::close(out);
        ::close(in);
        ::unlink(copy.c_str());
        if (!ok) {
            state.SkipWithError("cannot copy the list");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * folder.bytes);
}

void recordReplace(benchmark::State& state, std::size_t n) {
    const Folder& folder = folderFor(n);
    History history(folder.dir);
    ContentHash written;  // what a delete would have written: measured elsewhere
    const auto pages = static_cast<long long>(n);
    for (auto _ : state) {
        const HistoryResult begun =
            history.begin({kTime,
                           ChangeKind::Delete,
                           0,
                           {listFile(ListKind::Aktuell, FileChange::Replace, pages)}});
        const HistoryResult done = history.complete({FileAfter::written(written, pages - 1)});
        if (!begun.ok() || !done.ok()) {
            state.SkipWithError("the change was not recorded");
            break;
        }
    }
}

void recordAppend(benchmark::State& state, std::size_t n) {
    const Folder& folder = folderFor(n);
    History history(folder.dir);
    std::string page;
    bench::appendListBytes(page, 1, bench::kListSeed + 1);
    const auto pages = static_cast<long long>(n);
    for (auto _ : state) {
        const HistoryResult begun =
            history.begin({kTime,
                           ChangeKind::Save,
                           -1,
                           {listFile(ListKind::Aktuell, FileChange::Append, pages)}});
        state.PauseTiming();
        const AppendResult appended = appendRecords(folder.list, page, "2612071010");
        state.ResumeTiming();
        const HistoryResult done = history.complete(
            {FileAfter::appended(appended.sizeBefore, appended.sizeAfter, pages + 1)});
        if (!begun.ok() || !appended.ok() || !done.ok()) {
            state.SkipWithError("the change was not recorded");
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = {32767, 100000};
    if (int wrong = bench::initialize(argc, argv, sizes)) return wrong;
    for (std::size_t n : sizes) {
        using Run = void (*)(benchmark::State&, std::size_t);
        const std::pair<const char*, Run> runs[] = {{"copy_fsync", copyFsync},
                                                    {"record_replace", recordReplace},
                                                    {"record_append", recordAppend}};
        for (const auto& [name, run] : runs)
            benchmark::RegisterBenchmark(bench::benchName(name, n).c_str(), run, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    }
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (std::size_t n : sizes) {
        const double copy = reporter.time(bench::benchName("copy_fsync", n));
        if (copy <= 0) continue;
        std::printf("pages %zu (%.1f MB), recording as a share of copy + fsync (target <= 0.2):\n",
                    n, static_cast<double>(folderFor(n).bytes) / 1e6);
        for (const char* name : {"record_replace", "record_append"})
            std::printf("  %-15s %.3f\n", name, reporter.time(bench::benchName(name, n)) / copy);
    }
    return 0;
}
