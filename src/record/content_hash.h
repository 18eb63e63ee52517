#pragma once
// A fast 64-bit hash of a file's content, fed piece by piece as the bytes go by, so that a
// writer can know what it wrote without reading it back. Not for secrets: it tells a file
// that changed from one that did not.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace holmtex {

class ContentHash {
public:
    ContentHash();
    // Takes the next bytes; pieces of any size give the same value as the whole at once.
    void update(std::string_view bytes);
    // The hash of every byte taken so far.
    std::uint64_t value() const;
    // How many bytes that was.
    std::uint64_t size() const { return total_; }

private:
    void stripe(const unsigned char* p);

    std::uint64_t lanes_[4];
    unsigned char pending_[32];
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;
};

// The hash of `bytes` alone.
std::uint64_t contentHashOf(std::string_view bytes);

}  // namespace holmtex
