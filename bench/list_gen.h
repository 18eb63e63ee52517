#pragma once
// Made-up list files for the benchmarks: pages that look like the ones people keep
// (German names and dates, notes of every length, multi-line remarks), written through
// the program's own writer so the bytes are exactly what the program would store.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "record/page_record.h"

namespace holmtex {
class Holmtex;
}

namespace holmtex::bench {

constexpr std::uint64_t kListSeed = 0x486f6c6d746578ULL;

// A small generator of our own, so the same seed gives the same file with any
// standard library (the std distributions are not fixed across implementations).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // A number in [lo, hi].
    int between(int lo, int hi);
    // True with the given chance in percent.
    bool percent(int chance) { return between(1, 100) <= chance; }

private:
    std::uint64_t state_;
};

// Makes the pages of one list in order; page k of a list of N is page k of any longer list.
class PageMaker {
public:
    explicit PageMaker(std::uint64_t seed = kListSeed);
    PageRecord next();

private:
    Rng rng_;
    long minutes_;  // save time of the previous page, in minutes since 1.1.1970
    int number_;    // process number of the previous page
};

// Appends the bytes of `count` pages to out.
void appendListBytes(std::string& out, std::size_t count, std::uint64_t seed = kListSeed);

// Writes a list file of `count` pages, replacing the file; false when it cannot be written.
bool writeListFile(const std::filesystem::path& path, std::size_t count,
                   std::uint64_t seed = kListSeed);

// A fresh folder for generated files inside `parent`, removed with them at the end.
class TempFolder {
public:
    explicit TempFolder(const std::filesystem::path& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The cheapest pass over a list file, the baseline of the benchmarks: the whole file read
// into `bytes`, which must have room for one byte more than it, and one memchr sweep for
// its line ends. Their number, or -1 when the file could not be read whole.
long readPass(const std::filesystem::path& file, std::vector<char>& bytes);

// The other baseline: a copy of the file into `copy`, written through `buffer`, synced, and
// removed again unless `keepCopy`: the physical cost of replacing a file safely. False when
// it failed.
bool syncedCopy(const std::filesystem::path& file, const std::filesystem::path& copy,
                std::vector<char>& buffer, bool keepCopy = false);

// "Suchen" as it was before it counted its hits and brought the first into sight, on the
// list AKTUELL: to tell what those two cost.
void searchWithoutCountAndScroll(Holmtex& form);

// Page counts given as "1000,32767"; empty when the text is not such a list.
std::vector<std::size_t> parseSizes(std::string_view list);

}  // namespace holmtex::bench
