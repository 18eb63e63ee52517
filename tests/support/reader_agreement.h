#pragma once
// Holds every way the record reader hands out records against a plain reading of the same
// bytes (plain_records.h): next(); nextRaw() with decodeInto(); nextRaw(k) with single
// items, with items joined, with the record written again, and with its shape; all of them
// mixed on one reader; and the last whole record after the end. The fast ways for records
// of the written shape and the plain parser must give the same on any bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace holmtex::test {

// How the reader gets the bytes: the size of its buffer, and the sizes of the pieces the
// source hands out, each byte of `pattern` plus one in turn (all it asks for when empty).
struct ReadSetup {
    std::size_t bufferSize = 16;
    std::string_view pattern;
};

// "" when every way agrees with the plain reading, else the first difference: the way, the
// record and what differs.
std::string readerDisagreement(std::string_view bytes, const ReadSetup& setup);

}  // namespace holmtex::test
