#pragma once
// Timing an operation by turns with its baseline, for the benchmarks that set the two side by
// side: the machines they run on are shared and their speed drifts, so the baseline runs
// between the operation's runs and the medians make the ratio.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

#include "list_gen.h"

namespace holmtex::bench {

inline double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The median of the times; 0 when there are none.
inline double median(std::vector<double> times) {
    if (times.empty()) return 0.0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The time one run of f takes, in milliseconds.
inline double timedMs(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return msSince(start);
}

// The median time of `reps` runs of f, in milliseconds.
inline double medianMs(int reps, const std::function<void()>& f) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) times.push_back(timedMs(f));
    return median(times);
}

// The median times of `reps` runs of a baseline and of an operation, run by turns, so that
// a machine whose speed drifts slows both alike.
struct Paired {
    double base = 0, op = 0;
};
inline Paired pairedMs(int reps, const std::function<void()>& base,
                       const std::function<void()>& op) {
    std::vector<double> baseTimes, opTimes;
    for (int i = 0; i < reps; ++i) {
        baseTimes.push_back(timedMs(base));
        opTimes.push_back(timedMs(op));
    }
    return {median(baseTimes), median(opTimes)};
}

// The baseline of every click that replaces a list file: a copy of the file into a new file
// beside it, synced, then removed again. With `keepCopy`, the copy stays until removeCopy():
// on a file system that discards freed blocks, removing a large file makes the next sync
// wait, which would otherwise fall on whatever is measured after the baseline.
class CopyBaseline {
public:
    explicit CopyBaseline(const std::filesystem::path& file, bool keepCopy = false)
        : file_(file), copy_(std::filesystem::path(file) += ".copy"), keepCopy_(keepCopy) {}
    // False when the copy failed.
    bool operator()() { return syncedCopy(file_, copy_, buffer_, keepCopy_); }
    // Removes a kept copy and waits until the file system has recorded that.
    void removeCopy() {
        std::filesystem::remove(copy_);
        ::sync();
    }
    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_, copy_;
    bool keepCopy_;
    std::vector<char> buffer_ = std::vector<char>(1 << 20);
};

}  // namespace holmtex::bench
