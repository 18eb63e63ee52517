#include "record/block_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "record/codepage.h"

namespace holmtex::scan {

namespace {

// The bits below bit n of a block's mask, n from 0 to 64.
inline std::uint64_t bitsBelow(std::size_t n) {
    return n >= kBlock ? ~std::uint64_t(0) : (std::uint64_t(1) << n) - 1;
}

// Bit i tells whether byte i of the 64-byte block at p is a quote; for commaMask, a comma;
// for stopMask, a comma, CR or LF, the bytes that end a bare item; for highMask, a byte
// that is not ASCII.
#if defined(__SSE2__)
inline __m128i load(const char* p, int k) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
}

inline std::uint64_t maskOf(__m128i matches, int k) {
    return std::uint64_t(std::uint32_t(_mm_movemask_epi8(matches))) << (16 * k);
}

std::uint64_t quoteMask(const char* p) {
    const __m128i quote = _mm_set1_epi8('"');
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) m |= maskOf(_mm_cmpeq_epi8(load(p, k), quote), k);
    return m;
}

std::uint64_t commaMask(const char* p) {
    const __m128i comma = _mm_set1_epi8(',');
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) m |= maskOf(_mm_cmpeq_epi8(load(p, k), comma), k);
    return m;
}

std::uint64_t stopMask(const char* p) {
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = load(p, k);
        const __m128i stop = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, lf));
        m |= maskOf(stop, k);
    }
    return m;
}

std::uint64_t highMask(const char* p) {
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) m |= maskOf(load(p, k), k);
    return m;
}
#else
template <typename Match>
std::uint64_t maskOf(const char* p, Match match) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < kBlock; ++i) m |= std::uint64_t(match(p[i])) << i;
    return m;
}

std::uint64_t quoteMask(const char* p) {
    return maskOf(p, [](char c) { return c == '"'; });
}

std::uint64_t commaMask(const char* p) {
    return maskOf(p, [](char c) { return c == ','; });
}

std::uint64_t stopMask(const char* p) {
    return maskOf(p, [](char c) { return c == ',' || c == '\r' || c == '\n'; });
}

std::uint64_t highMask(const char* p) {
    return maskOf(p, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}
#endif

#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__)
// The block work below counts bits and copies blocks; built a second and third time for
// CPUs with the instructions for that, picked when the program starts.
#define HOLMTEX_CPU_CLONES __attribute__((target_clones("arch=x86-64-v3", "popcnt", "default")))

// Code elsewhere in the process (in the Qt libraries, for one) may leave the upper halves
// of the vector registers in use; then every switch between the AVX build of a function
// below and the plain SSE code around it stalls, enough to read a long list a fifth slower.
// The reader clears them, where the CPU has them, each time it fills its buffer.
inline void clearVectorState() {
    if (__builtin_cpu_supports("avx"))
        asm volatile("vzeroupper" ::
                         : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                           "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
}
#else
#define HOLMTEX_CPU_CLONES
inline void clearVectorState() {}
#endif

// Bit i set when an odd number of the bits 0..i of x are set: 1 from an opening quote up
// to the byte before its closing one.
inline std::uint64_t prefixParity(std::uint64_t x) {
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    x ^= x << 32;
    return x;
}

// Stores the UTF-8 of the bytes [first, stop) of the 64-byte block at `from` at w and
// returns where it ends; high marks the bytes among them that are not ASCII. Sets the bits
// of `three` for those that took three bytes. Whole blocks are copied, so a block past
// stop must be readable and w needs two blocks of room behind the end.
inline char* convertBlock(char* w, const char* from, std::size_t first, std::size_t stop,
                          std::uint64_t high, std::uint64_t& three) {
    three = 0;
    std::size_t ascii = first;  // where the ASCII not yet stored begins
    for (; high; high &= high - 1) {
        const auto at = static_cast<std::size_t>(std::countr_zero(high));
        std::memcpy(w, from + ascii, kBlock);  // only at - ascii of them count
        w += at - ascii;
        // All four bytes of the form; only its size of them count.
        const Utf8Form& code = kUtf8Forms[static_cast<unsigned char>(from[at])];
        std::memcpy(w, &code, sizeof code);
        w += code.size;
        three |= std::uint64_t(code.size == 3) << at;
        ascii = at + 1;
    }
    std::memcpy(w, from + ascii, kBlock);
    return w + (stop - ascii);
}

// How many bytes the UTF-8 of a block's bytes before byte `at` has more than they.
inline std::uint32_t grownBefore(std::uint64_t high, std::uint64_t three, std::size_t at) {
    const std::uint64_t before = bitsBelow(at);
    return static_cast<std::uint32_t>(std::popcount(high & before) + std::popcount(three & before));
}

// Looks at the buffer a block of 64 bytes at a time for records of the written shape:
// outside quotes stand only quotes and commas, up to the line end, and a comma or the line
// end follows every closing quote. For such bytes the plain parser finds the same items;
// the first byte that breaks the shape, the line end among them, is `odd`.
class ShapeBlocks {
public:
    explicit ShapeBlocks(Buffer in) : in_(in) {}

    // Looks at block b from byte `first` on, the blocks in order; false past the data.
    bool look(std::size_t b, std::size_t first) {
        base = b * kBlock;
        if (base >= in_.end) return false;
        const std::size_t inData = std::min(kBlock, in_.end - base);
        const std::uint64_t live = bitsBelow(inData) & ~bitsBelow(first);
        const std::uint64_t quotes = in_.quoteBits[b] & live;
        const std::uint64_t commas = commaMask(in_.buf + base) & live;
        const std::uint64_t in = prefixParity(quotes) ^ inside_;
        const std::uint64_t out = ~in & live;
        const std::uint64_t closes = quotes & ~in;
        // Outside quotes and neither quote nor comma, or a quote right after a closing one.
        odd = (out & ~quotes & ~commas) | (((closes << 1) | afterClose_) & quotes);
        stop = odd ? static_cast<std::size_t>(std::countr_zero(odd)) : inData;
        mine = live & bitsBelow(stop);
        separators = commas & out & mine;
        inside_ = (in >> 63) ? ~std::uint64_t(0) : 0;
        afterClose_ = closes >> 63;
        return true;
    }

    // When the odd byte ends the record, sets `after` to the position behind its line end.
    // A CR at the end of the bytes at hand does not, as a LF may still come.
    bool lineEnd(std::size_t& after) const {
        const std::size_t at = base + stop;
        if (in_.buf[at] == '\n') {
            after = at + 1;
            return true;
        }
        if (in_.buf[at] != '\r' || at + 1 == in_.end) return false;
        after = at + (in_.buf[at + 1] == '\n' ? 2 : 1);
        return true;
    }

    std::size_t base = 0;          // buffer position of the block
    std::uint64_t odd = 0;         // see above; only the first one counts
    std::size_t stop = 0;          // the first odd byte, else where the block's data ends
    std::uint64_t mine = 0;        // the bytes looked at before stop
    std::uint64_t separators = 0;  // the commas outside quotes among them

private:
    Buffer in_;
    std::uint64_t inside_ = 0;      // all bits set when the next block starts inside quotes
    std::uint64_t afterClose_ = 0;  // bit 0 set when the block before ended in a closing quote
};

// The separator after the closing quote at `at`, the byte before `end`: false when the
// written shape has none there or the bytes at hand may not show all of it yet.
inline bool passSeparator(const char*& at, const char* end) {
    const char next = *at;
    if (next == ',' || next == '\n') {
        ++at;
    } else if (next == '\r') {
        if (at + 1 == end) return false;  // a LF may follow in the bytes still to come
        at += at[1] == '\n' ? 2 : 1;
    } else {
        return false;
    }
    return true;
}

}  // namespace

void markQuotes(const char* buf, std::size_t end, std::uint64_t* quoteBits) {
    clearVectorState();
    const std::size_t blocks = (end + kBlock - 1) / kBlock;
    for (std::size_t b = 0; b < blocks; ++b) quoteBits[b] = quoteMask(buf + b * kBlock);
    if (const std::size_t valid = end % kBlock)
        quoteBits[blocks - 1] &= bitsBelow(valid);  // past the data
    quoteBits[blocks] = 1;
}

std::size_t StopFinder::next(std::size_t pos) {
    while (pos < size_) {
        const std::size_t block = pos / kBlock;
        if (block != block_) {
            block_ = block;
            mask_ = stopMask(begin_ + block * kBlock);
            const std::size_t valid = size_ - block * kBlock;
            mask_ &= bitsBelow(valid);  // past the data
        }
        if (const std::uint64_t bits = mask_ >> (pos % kBlock))
            return pos + static_cast<std::size_t>(std::countr_zero(bits));
        pos = (block + 1) * kBlock;
    }
    return size_;
}

bool walkWritten(const Buffer& bytes, std::size_t start, int count, ItemSpans& spans,
                 std::size_t& p) {
    const Buffer in = bytes;  // a copy no store through a pointer may change
    const char* const buf = in.buf;
    const char* const record = buf + start;
    const char* const end = buf + in.end;
    const std::uint64_t* words = in.quoteBits;
    // The quotes not yet passed: the rest of word w, then the words after it.
    std::size_t w = start / kBlock;
    std::uint64_t rest = words[w] & (~std::uint64_t(0) << (start % kBlock));
    const char* at = record;
    for (int i = 0; i < count; ++i) {
        if (at == end) return false;
        ItemSpan& span = spans[i];
        if (*at == '"') {
            // Pass the opening quote, the one at `at`, then take the closing one. The stop
            // word after the data ends each walk.
            while (!rest) rest = words[++w];
            rest &= rest - 1;
            while (!rest) rest = words[++w];
            const char* close = buf + w * kBlock + std::countr_zero(rest);
            rest &= rest - 1;
            // Not closed in the bytes at hand, or nothing after the quote yet.
            if (close + 1 >= end) return false;
            span = {static_cast<std::size_t>(at + 1 - record),
                    static_cast<std::size_t>(close - at - 1), true};
            at = close + 1;
            if (!passSeparator(at, end)) return false;
        } else if (*at == ',') {  // an empty bare item
            span = {static_cast<std::size_t>(at - record), 0, isTextItem(i + 1)};
            ++at;
        } else {
            return false;
        }
    }
    p = static_cast<std::size_t>(at - buf);
    return true;
}

HOLMTEX_CPU_CLONES
bool passWritten(const Buffer& bytes, std::size_t& p, int count) {
    const Buffer in = bytes;  // a copy no store through a pointer may change
    ShapeBlocks blocks(in);
    int commas = 0;  // separators passed so far, all of them commas
    for (std::size_t b = p / kBlock, first = p % kBlock;; ++b, first = 0) {
        if (!blocks.look(b, first)) return false;
        std::uint64_t separators = blocks.separators;
        const int n = std::popcount(separators);
        if (commas + n >= count) {
            // The last separator is a comma in this block: the record ends after it.
            for (int k = count - commas; k > 1; --k) separators &= separators - 1;
            p = blocks.base + static_cast<std::size_t>(std::countr_zero(separators)) + 1;
            return true;
        }
        if (blocks.odd) return commas + n == count - 1 && blocks.lineEnd(p);
        commas += n;
    }
}

HOLMTEX_CPU_CLONES
bool decodeWritten(const Buffer& bytes, std::size_t start, std::string& texts,
                   std::uint32_t* separators, std::size_t& length) {
    const Buffer in = bytes;  // a copy no store through a pointer may change
    ShapeBlocks blocks(in);
    std::size_t used = 0;  // bytes of UTF-8 so far
    int count = 0;         // separators so far
    for (std::size_t b = start / kBlock, first = start % kBlock;; ++b, first = 0) {
        if (!blocks.look(b, first)) return false;
        std::uint64_t seps = blocks.separators;
        const int n = std::popcount(seps);
        // More than 49 items, or fewer before the line end: the parser has the last word.
        if (count + n > kItemCount - 1 || (blocks.odd && count + n != kItemCount - 1)) return false;

        if (texts.size() < used + 4 * kBlock) texts.resize(2 * texts.size() + 4 * kBlock);
        char* const text = texts.data();
        const char* const from = in.buf + blocks.base;
        const std::uint64_t high = highMask(from) & blocks.mine;
        std::uint64_t three;
        const std::size_t blockOut = used;
        used = static_cast<std::size_t>(
            convertBlock(text + used, from, first, blocks.stop, high, three) - text);
        for (; seps; seps &= seps - 1) {
            const auto at = static_cast<std::size_t>(std::countr_zero(seps));
            separators[count++] =
                static_cast<std::uint32_t>(blockOut + (at - first)) + grownBefore(high, three, at);
        }
        if (blocks.odd) {
            std::size_t after = 0;
            if (!blocks.lineEnd(after)) return false;
            length = after - start;
            separators[kItemCount - 1] = static_cast<std::uint32_t>(used);
            return true;
        }
    }
}

namespace {

// Turns offsets into a record's bytes into offsets into their UTF-8. Each byte before an
// offset adds its UTF-8 length minus one; blocks[b] tells which bytes of the b-th 64 do.
HOLMTEX_CPU_CLONES
void mapPositions(std::uint32_t* at, int count, const BlockGrowth* blocks) {
    for (int k = 0; k < count; ++k) {
        const std::uint32_t q = at[k];
        const BlockGrowth& block = blocks[q / kBlock];
        at[k] = q + block.before + grownBefore(block.high, block.three, q % kBlock);
    }
}

}  // namespace

void decodeSpans(const char* record, const ItemSpans& spans, std::string& texts,
                 std::vector<BlockGrowth>& growth, ItemBounds& bounds) {
    // The whole record up to its last item goes over in one sweep, separators and all, so
    // that the work goes by blocks, not by items; the items are then found in it.
    const std::size_t length = spans[kItemCount - 1].begin + spans[kItemCount - 1].size;
    const std::size_t blocks = length / kBlock + 1;
    if (growth.size() < blocks) growth.resize(blocks);
    // A byte becomes at most three; each copy may store a block past its end.
    if (texts.size() < 3 * length + 2 * kBlock) texts.resize(3 * length + 2 * kBlock);
    char* const out = texts.data();
    char* w = out;
    std::uint32_t grown = 0;  // UTF-8 bytes more than record bytes so far
    for (std::size_t b = 0; b < blocks; ++b) {
        const char* const from = record + b * kBlock;
        const std::size_t valid = std::min(kBlock, length - b * kBlock);
        const std::uint64_t high = highMask(from) & bitsBelow(valid);
        char* const start = w;
        std::uint64_t three;
        w = convertBlock(w, from, 0, valid, high, three);
        growth[b] = {high, three, grown};
        grown += static_cast<std::uint32_t>(static_cast<std::size_t>(w - start) - valid);
    }
    std::uint32_t at[2 * kItemCount];
    for (int i = 0; i < kItemCount; ++i) {
        at[2 * i] = static_cast<std::uint32_t>(spans[i].begin);
        at[2 * i + 1] = static_cast<std::uint32_t>(spans[i].begin + spans[i].size);
    }
    mapPositions(at, 2 * kItemCount, growth.data());
    bounds.present = 0;
    for (int i = 0; i < kItemCount; ++i) {
        bounds.present |= std::uint64_t(spans[i].present) << i;
        bounds.begins[i] = at[2 * i];
        bounds.ends[i] = spans[i].present ? at[2 * i + 1] : at[2 * i];
    }
}

HOLMTEX_CPU_CLONES
char* joinQuoted(const Buffer& bytes, std::size_t begin, std::size_t end, char* w) {
    const Buffer in = bytes;   // a copy no store through a pointer may change
    std::uint64_t inside = 0;  // all bits set when the block starts inside quotes
    for (std::size_t b = begin / kBlock; b * kBlock < end; ++b) {
        const std::size_t base = b * kBlock;
        const std::uint64_t live =
            bitsBelow(std::min(kBlock, end - base)) & ~bitsBelow(begin > base ? begin - base : 0);
        const std::uint64_t quotes = in.quoteBits[b] & live;
        const std::uint64_t inQuotes = prefixParity(quotes) ^ inside;
        std::uint64_t keep = inQuotes & ~quotes & live;
        inside = (inQuotes >> 63) ? ~std::uint64_t(0) : 0;
        const char* const from = in.buf + base;
        while (keep) {
            const auto at = static_cast<std::size_t>(std::countr_zero(keep));
            const std::uint64_t after = ~(keep >> at);
            const std::size_t run =
                after ? static_cast<std::size_t>(std::countr_zero(after)) : kBlock - at;
            std::memcpy(w, from + at, 16);
            if (run > 16) std::memcpy(w + 16, from + at + 16, run - 16);
            w += run;
            keep &= ~bitsBelow(at + run);
        }
    }
    return w;
}

HOLMTEX_CPU_CLONES
bool writtenAsIs(const Buffer& bytes, std::size_t start, std::size_t length) {
    const Buffer in = bytes;  // a copy no store through a pointer may change
    const char* const buf = in.buf;
    if (length < 2 || buf[start + length - 2] != '\r' || buf[start + length - 1] != '\n')
        return false;
    ShapeBlocks blocks(in);
    int commas = 0;  // before the block
    for (std::size_t b = start / kBlock, first = start % kBlock;; ++b, first = 0) {
        if (!blocks.look(b, first)) return false;
        std::uint64_t separators = blocks.separators;
        // The remarks are items 19, 29, 39 and 49: behind commas 18, 28, 38 and 48.
        for (int counted = commas; separators; separators &= separators - 1) {
            ++counted;
            if (counted % 10 != 8) continue;
            const std::size_t after =
                blocks.base + static_cast<std::size_t>(std::countr_zero(separators)) + 1;
            if (after >= start + length || buf[after] != '"') return false;
        }
        commas += std::popcount(blocks.separators);
        if (commas > kItemCount - 1) return false;
        if (blocks.odd)
            return commas == kItemCount - 1 && blocks.base + blocks.stop == start + length - 2;
    }
}

}  // namespace holmtex::scan
