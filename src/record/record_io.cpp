#include "record/record_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "record/codepage.h"

namespace holmtex {

long StringSource::read(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
}

namespace {

FileIdentity identityOf(const struct stat& st) {
    FileIdentity id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.changedNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identityOf(st);
}

FileSource::~FileSource() { close(); }

bool FileSource::open(const std::filesystem::path& path) {
    close();
    error_ = 0;
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) error_ = errno;
    return fd_ >= 0;
}

bool FileSource::seek(std::uint64_t offset) {
    return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::optional<FileIdentity> FileSource::identity() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identityOf(st);
}

void FileSource::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

long FileSource::read(char* buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = errno;
        return static_cast<long>(n);
    }
}

int openForReading(FileSource& source, const std::filesystem::path& path) {
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type == std::filesystem::file_type::not_found) return ENOENT;
    if (type == std::filesystem::file_type::directory) return EISDIR;
    errno = 0;
    if (!source.open(path)) return errno ? errno : EIO;
    return 0;
}

namespace {

// The scan looks at the bytes 64 at a time and may read up to this far past the data.
constexpr std::size_t kBlock = 64;
// Bytes the buffer holds past its size, so that whole blocks may be read behind the data.
constexpr std::size_t kSlack = 2 * kBlock;

// The bits below bit n of a block's mask, n from 0 to 64.
inline std::uint64_t bitsBelow(std::size_t n) {
    return n >= kBlock ? ~std::uint64_t(0) : (std::uint64_t(1) << n) - 1;
}

// Bit i tells whether byte i of the 64-byte block at p is a quote; for commaMask, a comma;
// for stopMask, a comma, CR or LF, the bytes that end a bare item.
#if defined(__SSE2__)
std::uint64_t quoteMask(const char* p) {
    const __m128i quote = _mm_set1_epi8('"');
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        m |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quote)))) << (16 * k);
    }
    return m;
}

std::uint64_t commaMask(const char* p) {
    const __m128i comma = _mm_set1_epi8(',');
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        m |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, comma)))) << (16 * k);
    }
    return m;
}

std::uint64_t stopMask(const char* p) {
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const __m128i stop = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, lf));
        m |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(stop))) << (16 * k);
    }
    return m;
}
#else
std::uint64_t quoteMask(const char* p) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < kBlock; ++i) m |= std::uint64_t(p[i] == '"') << i;
    return m;
}

std::uint64_t commaMask(const char* p) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < kBlock; ++i) m |= std::uint64_t(p[i] == ',') << i;
    return m;
}

std::uint64_t stopMask(const char* p) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < kBlock; ++i)
        m |= std::uint64_t(p[i] == ',' || p[i] == '\r' || p[i] == '\n') << i;
    return m;
}
#endif

// Finds the next comma, CR or LF in [begin, begin + size) a block at a time. Only wanted
// for bare items with text and for text after a closing quote, which our files lack.
class StopFinder {
public:
    StopFinder(const char* begin, std::size_t size) : begin_(begin), size_(size) {}

    // The first position at or after pos holding such a byte, or size when there is none.
    std::size_t next(std::size_t pos) {
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

private:
    const char* begin_;
    std::size_t size_;
    std::size_t block_ = SIZE_MAX;
    std::uint64_t mask_ = 0;
};

bool endsItem(char c) { return c == ',' || c == '\r' || c == '\n'; }

// Bit i: byte i of the 64 at p is not ASCII.
#if defined(__SSE2__)
std::uint64_t highMask(const char* p) {
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        m |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(v))) << (16 * k);
    }
    return m;
}
#else
std::uint64_t highMask(const char* p) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < kBlock; ++i)
        m |= std::uint64_t(static_cast<unsigned char>(p[i]) >= 0x80) << i;
    return m;
}
#endif

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

#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__)
// The block work below counts bits and copies blocks; built a second and third time for
// CPUs with the instructions for that, picked when the program starts.
#define HOLMTEX_CPU_CLONES __attribute__((target_clones("arch=x86-64-v3", "popcnt", "default")))
#else
#define HOLMTEX_CPU_CLONES
#endif

// How many bytes the UTF-8 of a block's bytes before byte `at` has more than they.
inline std::uint32_t grownBefore(std::uint64_t high, std::uint64_t three, std::size_t at) {
    const std::uint64_t before = bitsBelow(at);
    return static_cast<std::uint32_t>(std::popcount(high & before) + std::popcount(three & before));
}

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

RecordReader::RecordReader(ByteSource& source, std::size_t bufferSize)
    : source_(source),
      size_(bufferSize < 16 ? 16 : bufferSize),
      buf_(size_ + kSlack),
      quoteBits_(size_ / kBlock + 2) {}

bool RecordReader::fill() {
    if (eof_ || error_) return false;
    // Keep the last record and whatever has not been read yet; drop what lies before.
    const std::size_t keep = hasLast_ ? lastStart_ : pos_;
    if (keep > 0) {
        std::memmove(buf_.data(), buf_.data() + keep, end_ - keep);
        end_ -= keep;
        pos_ -= keep;
        if (hasLast_) lastStart_ -= keep;
        base_ += keep;
    }
    // A record longer than the buffer makes it grow.
    if (end_ == size_) {
        size_ *= 2;
        buf_.resize(size_ + kSlack);
        quoteBits_.resize(size_ / kBlock + 2);
    }
    // Fill up completely, so a source that hands out little at a time does not make us
    // parse the same record over and over.
    const std::size_t before = end_;
    while (end_ < size_) {
        long n = source_.read(buf_.data() + end_, size_ - end_);
        if (n < 0) {
            error_ = true;
            break;
        }
        if (n == 0) {
            eof_ = true;
            break;
        }
        end_ += static_cast<std::size_t>(n);
    }
    markQuotes();
    return end_ > before;
}

void RecordReader::markQuotes() {
    // All of it, as the kept bytes moved; they are few next to the bytes just read.
    const std::size_t blocks = (end_ + kBlock - 1) / kBlock;
    for (std::size_t b = 0; b < blocks; ++b) quoteBits_[b] = quoteMask(buf_.data() + b * kBlock);
    if (const std::size_t valid = end_ % kBlock)
        quoteBits_[blocks - 1] &= bitsBelow(valid);  // past the data
    quoteBits_[blocks] = 1;
}

// Finds the items of the record at start, the general way that takes any bytes. NeedMore
// when the bytes end before the record does and more may come. Once nothing more can
// come, the end of the data ends the last item as a separator would, unless a read error
// stopped it; an item that has not begun when the data ends is damage, even right after a
// comma: a record cut after its 48th comma is as unfinished as one cut anywhere else.
RecordReader::Parse RecordReader::parse(std::size_t start, Spans& spans,
                                        std::size_t& length) const {
    const bool error = error_, final = eof_ || error;
    const char* begin = buf_.data() + start;
    const std::size_t size = end_ - start;
    StopFinder stops(begin, size);
    std::size_t p = 0;
    for (int i = 0; i < kItemCount; ++i) {
        Span& span = spans[i];
        if (p == size) return final ? Parse::Damaged : Parse::NeedMore;
        // The usual items, "text" and an empty bare item, take the short way.
        const char c = begin[p];
        if (c == '"') {
            const void* found = std::memchr(begin + p + 1, '"', size - p - 1);
            if (!found) return final ? Parse::Damaged : Parse::NeedMore;
            const auto quote = static_cast<std::size_t>(static_cast<const char*>(found) - begin);
            span = {p + 1, quote - p - 1, true};
            p = quote + 1;
            if (p < size && begin[p] == ',') {
                ++p;
                continue;
            }
            // Anything between the closing quote and the separator is not part of the item.
            if (p < size && !endsItem(begin[p])) p = stops.next(p);
        } else if (c == ',') {
            span = {p, 0, isTextItem(i + 1)};
            ++p;
            continue;
        } else {
            const std::size_t text = p;
            if (!endsItem(c)) p = stops.next(p);
            span = {text, p - text, p != text || isTextItem(i + 1)};
        }
        if (p == size) {
            if (!final) return Parse::NeedMore;
            if (error) return Parse::Damaged;
        } else if (begin[p] == ',') {
            ++p;
        } else if (begin[p++] == '\r') {
            if (p == size && !final) return Parse::NeedMore;
            if (p < size && begin[p] == '\n') ++p;
        }
    }
    length = p;
    return Parse::Complete;
}

// The first `count` items of the record at start when they have the usual shape, as our
// own writer makes them: every item quoted or empty, a separator right after each closing
// quote, and all of it in the buffer. The item ends then come from walking the quote
// bits, with no search and no look at the text. p ends after the last separator taken.
// False for anything else, which parse() then takes, with the same result on the records
// this one does take.
bool RecordReader::walkUsual(std::size_t start, int count, Spans& spans, std::size_t& p) const {
    const char* const buf = buf_.data();
    const char* const record = buf + start;
    const char* const end = buf + end_;
    const std::uint64_t* words = quoteBits_.data();
    // The quotes not yet passed: the rest of word w, then the words after it.
    std::size_t w = start / kBlock;
    std::uint64_t rest = words[w] & (~std::uint64_t(0) << (start % kBlock));
    const char* at = record;
    for (int i = 0; i < count; ++i) {
        if (at == end) return false;
        Span& span = spans[i];
        const char c = *at;
        if (c == '"') {
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
            const char next = *at;
            if (next == ',') {
                ++at;
            } else if (next == '\r') {
                if (at + 1 == end) return false;  // a LF may follow in the bytes still to come
                at += at[1] == '\n' ? 2 : 1;
            } else if (next == '\n') {
                ++at;
            } else {
                return false;
            }
        } else if (c == ',') {  // an empty bare item
            span = {static_cast<std::size_t>(at - record), 0, isTextItem(i + 1)};
            ++at;
        } else {
            return false;
        }
    }
    p = static_cast<std::size_t>(at - buf);
    return true;
}

namespace {

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

// Looks at the buffer a block of 64 bytes at a time for records of the usual shape, as our
// own writer makes them: outside quotes stand only quotes and commas, up to the line end,
// and a comma or the line end follows every closing quote. For such bytes parse() finds
// the same items; the first byte that breaks the shape, the line end among them, is `odd`.
class UsualBlocks {
public:
    UsualBlocks(const char* buf, std::size_t end, const std::uint64_t* quoteBits)
        : buf_(buf), end_(end), quoteBits_(quoteBits) {}

    // Looks at block b from byte `first` on, the blocks in order; false past the data.
    bool look(std::size_t b, std::size_t first) {
        base = b * kBlock;
        if (base >= end_) return false;
        const std::size_t inData = std::min(kBlock, end_ - base);
        const std::uint64_t live = bitsBelow(inData) & ~bitsBelow(first);
        const std::uint64_t quotes = quoteBits_[b] & live;
        const std::uint64_t commas = commaMask(buf_ + base) & live;
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
        if (buf_[at] == '\n') {
            after = at + 1;
            return true;
        }
        if (buf_[at] != '\r' || at + 1 == end_) return false;
        after = at + (buf_[at + 1] == '\n' ? 2 : 1);
        return true;
    }

    std::size_t base = 0;          // buffer position of the block
    std::uint64_t odd = 0;         // see above; only the first one counts
    std::size_t stop = 0;          // the first odd byte, else where the block's data ends
    std::uint64_t mine = 0;        // the bytes looked at before stop
    std::uint64_t separators = 0;  // the commas outside quotes among them

private:
    const char* buf_;
    std::size_t end_;
    const std::uint64_t* quoteBits_;
    std::uint64_t inside_ = 0;      // all bits set when the next block starts inside quotes
    std::uint64_t afterClose_ = 0;  // bit 0 set when the block before ended in a closing quote
};

// Passes `count` items of the usual shape from buffer position p, the start of an item,
// and their separators: the commas and the record's line end, which may only follow the
// next-to-last item. Works from the quote and comma bits instead of item by item, for the
// items nobody wants to see. False for anything else, or when the record does not end in
// the bytes at hand.
HOLMTEX_CPU_CLONES
bool passUsualItems(const char* buf, std::size_t end, const std::uint64_t* quoteBits,
                    std::size_t& p, int count) {
    UsualBlocks blocks(buf, end, quoteBits);
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

// Reads the record at buffer position start straight into `texts` when it has the usual
// shape and ends in the bytes at hand: the UTF-8 of all its bytes before the line end,
// separators and quotes included, and where each of its 49 separators landed in it, the
// line end last. One sweep over the blocks finds the separators, converts and places
// them. `length` is the record's length in the buffer, the line end included. False for
// anything else, with `texts` in any state.
HOLMTEX_CPU_CLONES
bool decodeUsual(const char* buf, std::size_t start, std::size_t end,
                 const std::uint64_t* quoteBits, std::string& texts, std::uint32_t* separators,
                 std::size_t& length) {
    UsualBlocks blocks(buf, end, quoteBits);
    std::size_t used = 0;  // bytes of UTF-8 so far
    int count = 0;         // separators so far
    for (std::size_t b = start / kBlock, first = start % kBlock;; ++b, first = 0) {
        if (!blocks.look(b, first)) return false;
        std::uint64_t seps = blocks.separators;
        const int n = std::popcount(seps);
        // More than 49 items, or fewer before the line end: parse() has the last word.
        if (count + n > kItemCount - 1 || (blocks.odd && count + n != kItemCount - 1)) return false;

        if (texts.size() < used + 4 * kBlock) texts.resize(2 * texts.size() + 4 * kBlock);
        char* const text = texts.data();
        const char* const from = buf + blocks.base;
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

// Stores the bytes between quotes of buffer positions [begin, end) at w and returns where
// they end; begin must lie outside quotes. For items of the usual shape these are the
// items' texts joined. Copies 16 bytes where fewer count, so w needs that much room behind.
HOLMTEX_CPU_CLONES
char* joinQuoted(const char* buf, const std::uint64_t* quoteBits, std::size_t begin,
                 std::size_t end, char* w) {
    std::uint64_t inside = 0;  // all bits set when the block starts inside quotes
    for (std::size_t b = begin / kBlock; b * kBlock < end; ++b) {
        const std::size_t base = b * kBlock;
        const std::uint64_t live =
            bitsBelow(std::min(kBlock, end - base)) & ~bitsBelow(begin > base ? begin - base : 0);
        const std::uint64_t quotes = quoteBits[b] & live;
        const std::uint64_t in = prefixParity(quotes) ^ inside;
        std::uint64_t keep = in & ~quotes & live;
        inside = (in >> 63) ? ~std::uint64_t(0) : 0;
        const char* const from = buf + base;
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

// Whether the `length` bytes of the record at buffer position start are exactly what our
// own writer makes of it once it is decoded: every item in quotes or empty, the four
// remarks in quotes, 48 commas between them and CR LF at the end, nothing else outside
// quotes.
HOLMTEX_CPU_CLONES
bool writtenAsIs(const char* buf, std::size_t end, const std::uint64_t* quoteBits,
                 std::size_t start, std::size_t length) {
    if (length < 2 || buf[start + length - 2] != '\r' || buf[start + length - 1] != '\n')
        return false;
    UsualBlocks blocks(buf, end, quoteBits);
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

}  // namespace

bool RecordReader::passUsual(std::size_t& p, int count) const {
    return passUsualItems(buf_.data(), end_, quoteBits_.data(), p, count);
}

bool RecordReader::skipBlankLines() {
    // Blank lines between records carry nothing.
    for (;;) {
        while (pos_ < end_ && (buf_[pos_] == '\r' || buf_[pos_] == '\n')) ++pos_;
        if (pos_ < end_) return true;
        if (!fill()) return false;
    }
}

void RecordReader::takeRecord(std::size_t length, int known, std::size_t walked) {
    recordStart_ = base_ + pos_;
    last_ = 1 - last_;
    lastKnown_ = known;
    lastWalked_ = walked;
    hasLast_ = true;
    lastStart_ = pos_;
    lastLength_ = length;
    pos_ += length;
    recordEnd_ = base_ + pos_;
}

ReadStatus RecordReader::nextRaw(int wanted) {
    if (!skipBlankLines()) return error_ ? ReadStatus::Damaged : ReadStatus::End;
    Spans& spans = spans_[1 - last_];
    const int walk = wanted < 1 ? 1 : wanted > kItemCount ? kItemCount : wanted;
    for (;;) {
        std::size_t after = 0, length = 0, walked = 0;
        int known = kItemCount;
        Parse found;
        bool passed = false;
        if (walk < kItemCount && walkUsual(pos_, walk, spans, after)) {
            walked = after - pos_;
            passed = passUsual(after, kItemCount - walk);
        }
        bool usual = true;
        if (passed) {
            found = Parse::Complete;
            known = walk;
            length = after - pos_;
        } else if (walkUsual(pos_, kItemCount, spans, after)) {
            found = Parse::Complete;
            length = after - pos_;
        } else {
            found = parse(pos_, spans, length);
            usual = false;
        }
        switch (found) {
            case Parse::Complete:
                takeRecord(length, known, walked);
                lastUsual_ = usual;
                return ReadStatus::Record;
            case Parse::Damaged:
                recordStart_ = base_ + pos_;
                pos_ = end_;  // the damage reaches the end of the data
                return ReadStatus::Damaged;
            case Parse::NeedMore:
                fill();  // either more bytes, or the end is known for the next look
                break;
        }
    }
}

void RecordReader::finishLast() {
    // The record was taken for the usual shape, and its bytes are all still here.
    std::size_t after = 0;
    if (!walkUsual(lastStart_, kItemCount, spans_[last_], after)) {
        std::size_t length = 0;
        parse(lastStart_, spans_[last_], length);
    }
    lastKnown_ = kItemCount;
}

std::string_view RecordReader::rawItem(int n) {
    if (!hasLast_) return {};
    if (n > lastKnown_) finishLast();
    const Span& span = spans_[last_][n - 1];
    return {buf_.data() + lastStart_ + span.begin, span.size};
}

std::size_t RecordReader::joinRawItems(int first, int last, char* out) {
    if (!hasLast_) return 0;
    const char* const record = buf_.data() + lastStart_;
    // The items nobody has asked for yet have the usual shape: the bytes between their
    // quotes are theirs, found block by block.
    const bool quotedRest =
        last == kItemCount && lastKnown_ < kItemCount && first <= lastKnown_ + 1;
    if (!quotedRest && last > lastKnown_) finishLast();
    char* w = out;
    // Most items are short: one 16-byte copy each, of which only the item's bytes count.
    // The buffer has room behind the record for it.
    for (int n = first; n <= std::min(last, lastKnown_); ++n) {
        const Span& span = spans_[last_][n - 1];
        const char* const from = record + span.begin;
        std::memcpy(w, from, 16);
        if (span.size > 16) std::memcpy(w + 16, from + 16, span.size - 16);
        w += span.size;
    }
    if (quotedRest)
        w = joinQuoted(buf_.data(), quoteBits_.data(), lastStart_ + lastWalked_,
                       lastStart_ + static_cast<std::size_t>(recordEnd_ - recordStart_), w);
    return static_cast<std::size_t>(w - out);
}

void RecordReader::appendWritten(std::string& out, int extended, std::string_view extra) {
    if (!hasLast_) return;
    const std::string_view raw = rawRecord();
    if (extended <= lastKnown_ && lastUsual_ &&
        writtenAsIs(buf_.data(), end_, quoteBits_.data(), lastStart_, raw.size())) {
        // The bytes as they are; `extra` before the closing quote of the extended item, or
        // as a text of its own where it has none.
        if (extended == 0) {
            out.append(raw);
            return;
        }
        const Span& span = spans_[last_][extended - 1];
        const std::size_t at = span.begin + span.size;
        out.append(raw.substr(0, at));
        if (!span.present) out.push_back('"');
        out.append(extra);
        if (!span.present) out.push_back('"');
        out.append(raw.substr(at));
        return;
    }
    if (lastKnown_ < kItemCount) finishLast();
    // Decoding and encoding give every byte back, so the bytes are written as they are; only
    // the quotes, separators and the line end are the writer's own.
    const char* const record = buf_.data() + lastStart_;
    const std::size_t at = out.size();
    out.resize(at + rawRecord().size() + 3 * kItemCount + 2 + extra.size());  // room enough
    char* w = out.data() + at;
    for (int n = 1; n <= kItemCount; ++n) {
        if (n > 1) *w++ = ',';
        const Span& span = spans_[last_][n - 1];
        if (!span.present && n != extended) continue;
        *w++ = '"';
        w = std::copy_n(record + span.begin, span.size, w);
        if (n == extended) w = std::copy(extra.begin(), extra.end(), w);
        *w++ = '"';
    }
    *w++ = '\r';
    *w++ = '\n';
    out.resize(static_cast<std::size_t>(w - out.data()));
}

void RecordReader::decodeInto(PageRecord& into) {
    if (!hasLast_) return;
    if (lastKnown_ < kItemCount) finishLast();
    const Spans& spans = spans_[last_];
    // The whole record up to its last item goes over in one sweep, separators and all, so
    // that the work goes by blocks, not by items; the items are then found in it.
    const char* const record = buf_.data() + lastStart_;
    const std::size_t length = spans[kItemCount - 1].begin + spans[kItemCount - 1].size;
    const std::size_t blocks = length / kBlock + 1;
    if (growth_.size() < blocks) growth_.resize(blocks);
    // A byte becomes at most three; each copy may store a block past its end.
    const std::size_t room = 3 * length + 2 * kBlock;
    if (spareTexts_.size() < room) spareTexts_.resize(room);
    char* const out = spareTexts_.data();
    char* w = out;
    std::uint32_t grown = 0;  // UTF-8 bytes more than record bytes so far
    for (std::size_t b = 0; b < blocks; ++b) {
        const char* const from = record + b * kBlock;
        const std::size_t valid = std::min(kBlock, length - b * kBlock);
        const std::uint64_t high = highMask(from) & bitsBelow(valid);
        char* const start = w;
        std::uint64_t three;
        w = convertBlock(w, from, 0, valid, high, three);
        growth_[b] = {high, three, grown};
        grown += static_cast<std::uint32_t>(static_cast<std::size_t>(w - start) - valid);
    }
    std::uint32_t at[2 * kItemCount];
    for (int i = 0; i < kItemCount; ++i) {
        at[2 * i] = static_cast<std::uint32_t>(spans[i].begin);
        at[2 * i + 1] = static_cast<std::uint32_t>(spans[i].begin + spans[i].size);
    }
    mapPositions(at, 2 * kItemCount, growth_.data());
    ItemBounds bounds;
    bounds.present = 0;
    for (int i = 0; i < kItemCount; ++i) {
        bounds.present |= std::uint64_t(spans[i].present) << i;
        bounds.begins[i] = at[2 * i];
        bounds.ends[i] = spans[i].present ? at[2 * i + 1] : at[2 * i];
    }
    into.assign(spareTexts_, bounds);
}

ReadStatus RecordReader::next(PageRecord& into) {
    if (!skipBlankLines()) return error_ ? ReadStatus::Damaged : ReadStatus::End;
    // Records as our own writer makes them take the short way; into stays untouched
    // unless it succeeds. Its spans are worked out only when someone asks for them.
    std::uint32_t separators[kItemCount];
    std::size_t length = 0;
    if (decodeUsual(buf_.data(), pos_, end_, quoteBits_.data(), spareTexts_, separators, length)) {
        const char* const text = spareTexts_.data();
        ItemBounds bounds;
        bounds.present = 0;
        std::uint32_t begin = 0;
        for (int i = 0; i < kItemCount; ++i) {
            // Between two separators stands nothing or a text in quotes.
            const std::uint32_t end = separators[i];
            const std::uint32_t quoted = begin < end && text[begin] == '"';
            bounds.begins[i] = begin + quoted;
            bounds.ends[i] = end - quoted;
            bounds.present |= std::uint64_t(quoted | isTextItem(i + 1)) << i;
            begin = end + 1;
        }
        into.assign(spareTexts_, bounds);
        takeRecord(length, 0, 0);
        lastUsual_ = true;
        return ReadStatus::Record;
    }
    const ReadStatus status = nextRaw();
    if (status == ReadStatus::Record) decodeInto(into);
    return status;
}

void writeRecord(std::string& out, const PageRecord& record) {
    for (int n = 1; n <= kItemCount; ++n) {
        if (n > 1) out.push_back(',');
        if (record.has(n)) {
            out.push_back('"');
            appendUtf8AsCp1252(out, record.text(n));
            out.push_back('"');
        }
    }
    out.append("\r\n");
}

void writeRecordWithoutQuotes(std::string& out, const PageRecord& record) {
    bool quoted = false;
    for (int n = 1; n <= kItemCount && !quoted; ++n)
        quoted = record.text(n).find('"') != std::string_view::npos;
    if (!quoted) {
        writeRecord(out, record);
        return;
    }
    PageRecord copy = record;
    for (int n = 1; n <= kItemCount; ++n) {
        if (record.text(n).find('"') == std::string_view::npos) continue;
        std::string text(record.text(n));
        std::replace(text.begin(), text.end(), '"', '\'');
        copy.set(n, text);
    }
    writeRecord(out, copy);
}

std::string recordBytes(const PageRecord& record) {
    std::string out;
    writeRecord(out, record);
    return out;
}

}  // namespace holmtex
