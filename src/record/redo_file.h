#pragma once
// The redo file of an append (list_append.cpp): its text header, written and read here
// only. The fuzz target reads headers through this too.
//
//   holmtex-anhang 2
//   liste da 7342529 0f3c…            the list's old size; "neu": the append makes it;
//                                     a checksum of the old size and the bytes before it
//   anhang 2123 9a4e…                 the new bytes: their number and checksum
//   danach -                          or a step that belongs to the append:
//   danach loeschen holmtex-trans.txt 4410 77c1…
//   danach ersetzen holmtex-aktuell.dat 7342529 0f3c… fam-erg3.txt 7340406 51be…
//          holmtex-aktuell.bak        (one line)
//   summe 4d02…                       a checksum of every byte above
//   <the new bytes>
//
// Numbers are decimal, checksums 16 lowercase hex digits. The header's checksum covers the
// new bytes through theirs, so it stands for the whole file; the file is exactly as long
// as its header and the new bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace holmtex::redo {

// A checksum against accidents, not against intent: eight bytes at a time, little-endian.
// `from` continues an earlier one, when the bytes before came in multiples of eight.
constexpr std::uint64_t kChecksumStart = 0x6a09e667f3bcc908ULL;
std::uint64_t checksum(std::string_view bytes, std::uint64_t from = kChecksumStart);

// What identifies a list as it was before an append: its size and its last bytes.
constexpr std::size_t kAnchorBytes = 4096;
// `before`: the last min(kAnchorBytes, oldSize) bytes before `oldSize`.
std::uint64_t anchorSum(std::uint64_t oldSize, std::string_view before);

// A step done after the append: the caller does it; after a crash the recovery does it,
// when the files are still as the header describes them.
enum class Step { None, Remove, Replace };

struct Header {
    bool create = false;  // the append makes the list
    std::uint64_t oldSize = 0, anchor = 0;
    std::uint64_t newSize = 0, newSum = 0;
    Step step = Step::None;
    std::string file;  // bare name: the file to remove, or the list to replace
    std::uint64_t size = 0, sum = 0;
    std::string work, backup;  // Replace: its work file, sealed, and its backup
    std::uint64_t workSize = 0, workSum = 0;
    std::size_t length = 0;  // of the header, where the new bytes begin
};

// A header is never longer than this.
constexpr std::size_t kHeaderLimit = 1024;

// The header as it is written, its checksum line included; `length` is not used.
std::string headerText(const Header& header);

// The header at the start of `bytes` (the first kHeaderLimit bytes of a file, or fewer),
// when it is one this program wrote, whole and unchanged.
std::optional<Header> parseHeader(std::string_view bytes);

}  // namespace holmtex::redo
