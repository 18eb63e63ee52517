#pragma once
// How a list file ends: whether records may be appended to it, and what line end its last
// record still needs first. The append looks here (list_append.cpp); the fuzz target holds
// it against the reader.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace holmtex {

struct Tail {
    int error = 0;
    bool unfinished = false;   // the file ends inside a record
    std::string_view lineEnd;  // what the last record still needs before a new one
};

enum class Walk { Found, NoRecord, NeedMore, OtherShape };

// Finds where the last record in `tail` (the last bytes of a file; `whole`: all of them)
// begins, in `start`, walking back over its items when they have the shape our writer gives
// them. NeedMore when the bytes before `tail` are wanted, OtherShape for any other shape.
Walk findLastRecord(std::string_view tail, bool whole, std::size_t& start);

// Bytes of a file: `length` of them from `from` into `out` (fewer only at its end); 0 or the
// errno.
using ReadAt = std::function<int(std::uint64_t from, std::size_t length, std::string& out)>;

// Walks back from the end of a file of `size` bytes to where its last record begins
// (`start`), looking at its last `firstWindow` bytes first, then four times as many, and so
// on: Found, NoRecord, or OtherShape (also when a read failed: `error`). `bytes` keeps the
// last bytes looked at.
Walk walkBackToLastRecord(const ReadAt& readAt, std::uint64_t size, std::uint64_t firstWindow,
                          std::string& bytes, std::uint64_t& start, int& error);

// How the open file of `size` bytes ends. Its last `firstWindow` bytes are looked at first,
// then four times as many, and so on; a file of another shape is read whole.
Tail inspectTail(int fd, std::uint64_t size, std::uint64_t firstWindow = 64 * 1024);

}  // namespace holmtex
