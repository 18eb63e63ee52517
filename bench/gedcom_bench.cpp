// How fast a genealogy file becomes pages, measured against the cheapest pass over the same
// file (one read() and one memchr sweep) and against what storing the pages costs (a copy
// of the resulting list written and synced once).
//
//   gedcom_bench [--families=N] [--write-ged=PATH] [benchmark flags]
//
// The file holds N families (100 000 by default), written by our own export from made-up
// pages. --write-ged only writes it to PATH and ends. At the end the import's time is
// printed as a ratio to the read pass and to its budget, 3 read passes and one copy and sync
// of the resulting list (at most 1 is on target), with the load of the machine, and how
// much the import raised the program's peak memory.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/gedcom_import.h"
#include "export/gedcom_writer.h"
#include "export/list_export.h"
#include "list_gen.h"

namespace fs = std::filesystem;

namespace {

const holmtex::LocalDateTime kNow{2026, 12, 7, 9, 30, 0};

// Our export of made-up pages, until it has `families` families.
bool writeGedcom(const fs::path& path, int families) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    holmtex::bench::PageMaker maker;
    holmtex::GedcomWriter writer;
    std::string chunk;
    writer.header(chunk, path.filename().string(), kNow);
    for (int line = 0; writer.families() < families; ++line) {
        writer.page(chunk,
                    holmtex::listPageContent(maker.next(), holmtex::ListKind::Aktuell, line));
        if (chunk.size() >= (1 << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    writer.trailer(chunk);
    out << chunk;
    return static_cast<bool>(out.flush());
}

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Writes the bytes to a fresh file and syncs it: what storing the pages costs at least (the
// list is empty before the import, so the pages are the resulting list).
double writeAndSync(const fs::path& path, const std::string& bytes) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0;
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    ::close(fd);
    return ok ? seconds(std::chrono::steady_clock::now() - start) : -1;
}

// The processor time this process has used: on a shared machine the wall clock also
// counts the other programs.
double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Totals {
    double read = 0, import = 0, store = 0, readCpu = 0, importCpu = 0;
    int runs = 0;
};
Totals totals;

void importFile(benchmark::State& state, const fs::path& ged, const fs::path& list) {
    std::vector<char> bytes(fs::file_size(ged) + 1);
    for (auto _ : state) {
        state.PauseTiming();
        auto start = std::chrono::steady_clock::now();
        double cpu = cpuSeconds();
        const long lineEnds = holmtex::bench::readPass(ged, bytes);
        totals.read += seconds(std::chrono::steady_clock::now() - start);
        totals.readCpu += cpuSeconds() - cpu;
        state.ResumeTiming();

        start = std::chrono::steady_clock::now();
        cpu = cpuSeconds();
        const holmtex::GedcomImport result = holmtex::importGedcomFile(ged, kNow);
        totals.import += seconds(std::chrono::steady_clock::now() - start);
        totals.importCpu += cpuSeconds() - cpu;

        state.PauseTiming();
        const double store = writeAndSync(list, result.records);
        if (lineEnds < 0 || store < 0 || result.problem != holmtex::GedcomProblem::None) {
            state.SkipWithError("the file could not be read or the pages not written");
            break;
        }
        totals.store += store;
        ++totals.runs;
        state.counters["pages"] = result.pages;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(ged)));
}

long peakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    int families = 100000;
    std::string writeOnly;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.starts_with("--families="))
            families = std::max(1, std::atoi(arg.c_str() + 11));
        else if (arg.starts_with("--write-ged="))
            writeOnly = arg.substr(12);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (!writeOnly.empty()) return writeGedcom(writeOnly, families) ? 0 : 1;

    holmtex::bench::TempFolder folder(fs::temp_directory_path());
    const fs::path ged = folder.path() / "familien.ged", list = folder.path() / "liste.dat";
    if (!writeGedcom(ged, families)) {
        std::fprintf(stderr, "cannot write %s\n", ged.c_str());
        return 1;
    }
    // The first import alone, before the benchmark's buffers: its rise of the peak memory.
    const long before = peakKilobytes();
    const int pages = holmtex::importGedcomFile(ged, kNow).pages;
    const long rise = peakKilobytes() - before;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RegisterBenchmark("gedcom_import", importFile, ged, list)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (totals.runs == 0) return 1;

    const double read = totals.read / totals.runs, import = totals.import / totals.runs,
                 store = totals.store / totals.runs;
    std::printf("families %d, pages %d, file %.1f MB\n", families, pages,
                static_cast<double>(fs::file_size(ged)) / 1e6);
    std::printf("  read pass %.1f ms, import %.1f ms, copy+fsync of the resulting list %.1f ms\n",
                read * 1e3, import * 1e3, store * 1e3);
    std::printf("  ratio import/read pass: %.2f (processor time %.1f ms / %.1f ms: %.2f)\n",
                import / read, totals.importCpu / totals.runs * 1e3,
                totals.readCpu / totals.runs * 1e3, totals.importCpu / totals.readCpu);
    std::printf(
        "  ratio import / (3 x read pass + copy+fsync of the resulting list): %.2f "
        "(target: at most 1)\n",
        import / (3 * read + store));
    double load[3] = {};
    if (::getloadavg(load, 3) == 3)
        std::printf("  load average %.2f %.2f %.2f on %ld processors\n", load[0], load[1], load[2],
                    ::sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("  peak memory raised by the import: %.1f MB\n", static_cast<double>(rise) / 1e3);
    return 0;
}
