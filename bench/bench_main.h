#pragma once
// What the Google Benchmark programs share: their command line, and the median time of each
// benchmark for the ratios they print at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "list_gen.h"

namespace holmtex::bench {

// Sets the library up from the command line, after taking --sizes=N,N,... out into `sizes`
// (left as it is when not given). The machines this runs on are shared and their speed
// drifts, so by default each benchmark runs five times, the runs of all of them shuffled
// together, and the medians make the ratios; flags given on the command line come later and
// win. 0, or the exit status for a wrong command line (its message printed).
inline int initialize(int argc, char** argv, std::vector<std::size_t>& sizes) {
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    static std::vector<char*> args;
    args = {argv[0], repetitions, interleaving, aggregatesOnly};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!arg.starts_with("--sizes=")) {
            args.push_back(argv[i]);
        } else if ((sizes = parseSizes(arg.substr(8))).empty()) {
            std::fprintf(stderr, "--sizes wants page counts such as --sizes=1000,32767\n");
            return 2;
        }
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    return benchmark::ReportUnrecognizedArguments(count, args.data()) ? 1 : 0;
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
inline std::string benchName(const char* what, std::size_t n) {
    std::string name(what);
    name += '/';
    name += std::to_string(n);
    return name;
}

}  // namespace holmtex::bench
