#include "record/content_hash.h"

#include <algorithm>
#include <cstring>

namespace holmtex {

// The well-known 64-bit multiply-and-rotate scheme over four lanes of 8 bytes: it runs at
// memory speed, so hashing a list while it is written costs next to nothing.
namespace {

constexpr std::uint64_t kP1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kP2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kP3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t kP4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t kP5 = 0x27D4EB2F165667C5ULL;

std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

std::uint64_t load64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];  // little-endian on any machine
    return v;
}

std::uint64_t load32(const unsigned char* p) {
    return std::uint64_t(p[0]) | std::uint64_t(p[1]) << 8 | std::uint64_t(p[2]) << 16 |
           std::uint64_t(p[3]) << 24;
}

std::uint64_t round(std::uint64_t acc, std::uint64_t input) {
    return rotl(acc + input * kP2, 31) * kP1;
}

std::uint64_t merge(std::uint64_t acc, std::uint64_t lane) {
    return (acc ^ round(0, lane)) * kP1 + kP4;
}

}  // namespace

ContentHash::ContentHash() : lanes_{kP1 + kP2, kP2, 0, 0 - kP1} {}

void ContentHash::stripe(const unsigned char* p) {
    for (int i = 0; i < 4; ++i) lanes_[i] = round(lanes_[i], load64(p + 8 * i));
}

void ContentHash::update(std::string_view bytes) {
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    total_ += n;
    if (pendingSize_ > 0) {
        const std::size_t take = std::min(n, sizeof pending_ - pendingSize_);
        std::memcpy(pending_ + pendingSize_, p, take);
        pendingSize_ += take;
        p += take;
        n -= take;
        if (pendingSize_ < sizeof pending_) return;
        stripe(pending_);
        pendingSize_ = 0;
    }
    for (; n >= 32; p += 32, n -= 32) stripe(p);
    std::memcpy(pending_, p, n);
    pendingSize_ = n;
}

std::uint64_t ContentHash::value() const {
    std::uint64_t h;
    if (total_ >= 32) {
        h = rotl(lanes_[0], 1) + rotl(lanes_[1], 7) + rotl(lanes_[2], 12) + rotl(lanes_[3], 18);
        for (std::uint64_t lane : lanes_) h = merge(h, lane);
    } else {
        h = lanes_[2] + kP5;
    }
    h += total_;
    const unsigned char* p = pending_;
    std::size_t n = pendingSize_;
    for (; n >= 8; p += 8, n -= 8) h = rotl(h ^ round(0, load64(p)), 27) * kP1 + kP4;
    if (n >= 4) {
        h = rotl(h ^ load32(p) * kP1, 23) * kP2 + kP3;
        p += 4;
        n -= 4;
    }
    for (; n > 0; ++p, --n) h = rotl(h ^ *p * kP5, 11) * kP1;
    h ^= h >> 33;
    h *= kP2;
    h ^= h >> 29;
    h *= kP3;
    return h ^ (h >> 32);
}

std::uint64_t contentHashOf(std::string_view bytes) {
    ContentHash hash;
    hash.update(bytes);
    return hash.value();
}

}  // namespace holmtex
