// The search through the page texts of a list, in the records' own bytes where it can.
#include "record/page_search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "record/codepage.h"
#include "record/list_line.h"

namespace holmtex {

namespace {

// Lowers Windows-1252 bytes in place: the letters A-Z, the accented capitals 0xC0-0xDE but
// 0xD7, and Š Œ Ž Ÿ. Sixteen bytes at a time, as cp1252ToLower() does them one by one.
#if defined(__SSE2__)
void lowerInPlace(char* p, std::size_t size) {
    const __m128i upperA = _mm_set1_epi8('A' - 1), upperZ = _mm_set1_epi8('Z' + 1);
    // Signed bytes: 0xC0 is -64, 0xDE is -34.
    const __m128i accentLow = _mm_set1_epi8(static_cast<char>(0xC0 - 1));
    const __m128i accentHigh = _mm_set1_epi8(static_cast<char>(0xDE + 1));
    const __m128i times = _mm_set1_epi8(static_cast<char>(0xD7));
    const __m128i step = _mm_set1_epi8(0x20);
    const auto& lower = kCp1252Lower;
    const __m128i rareLow = _mm_set1_epi8(static_cast<char>(0x8A - 1));
    const __m128i rareHigh = _mm_set1_epi8(static_cast<char>(0x9F + 1));
    for (; size >= 16; p += 16, size -= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, upperA), _mm_cmplt_epi8(v, upperZ));
        if (_mm_movemask_epi8(v)) {
            upper =
                _mm_or_si128(upper, _mm_andnot_si128(_mm_cmpeq_epi8(v, times),
                                                     _mm_and_si128(_mm_cmpgt_epi8(v, accentLow),
                                                                   _mm_cmplt_epi8(v, accentHigh))));
            // Š Œ Ž Ÿ and the bytes between them are rare: those go by the table.
            const __m128i rare =
                _mm_and_si128(_mm_cmpgt_epi8(v, rareLow), _mm_cmplt_epi8(v, rareHigh));
            if (_mm_movemask_epi8(rare)) {
                for (int i = 0; i < 16; ++i)
                    p[i] = static_cast<char>(lower[static_cast<unsigned char>(p[i])]);
                continue;
            }
        }
        v = _mm_add_epi8(v, _mm_and_si128(upper, step));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
    for (; size > 0; --size, ++p) *p = static_cast<char>(lower[static_cast<unsigned char>(*p)]);
}
#else
void lowerInPlace(char* p, std::size_t size) {
    const auto& lower = kCp1252Lower;
    for (; size > 0; --size, ++p) *p = static_cast<char>(lower[static_cast<unsigned char>(*p)]);
}
#endif

// Marks the bytes of 64-byte blocks that are one of two given bytes: bit i of the mask,
// byte i of the block.
#if defined(__SSE2__)
class PairFinder {
public:
    PairFinder(char a, char b) : a_(_mm_set1_epi8(a)), b_(_mm_set1_epi8(b)) {}
    std::uint64_t mask(const char* p) const {
        std::uint64_t m = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, a_), _mm_cmpeq_epi8(v, b_));
            m |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(hit))) << (16 * k);
        }
        return m;
    }

private:
    __m128i a_, b_;
};
#else
class PairFinder {
public:
    PairFinder(char a, char b) : a_(a), b_(b) {}
    std::uint64_t mask(const char* p) const {
        std::uint64_t m = 0;
        for (int i = 0; i < 64; ++i) m |= std::uint64_t(p[i] == a_ || p[i] == b_) << i;
        return m;
    }

private:
    char a_, b_;
};
#endif

// The search through the page texts of records: items 2 to 49 joined and lowered.
class PageSearch {
public:
    // The search text as Windows-1252 bytes.
    explicit PageSearch(std::string_view text) : needle_(lowered(text)) {
        // Records of the written shape are searched in their own bytes, where the items stand
        // in quotes, when the text holds nothing that stands between items there.
        fast_ = !needle_.empty() && needle_.size() <= kLongest &&
                needle_.find_first_of("\",\r\n") == std::string::npos;
    }

    // Whether the page text of the record the reader has just found holds the search text;
    // it needs the items up to the process number worked out (nextRaw(ProcessNumber)).
    bool found(RecordReader& reader) {
        if (needle_.empty()) {
            // An empty text is found in any page text but an empty one.
            for (int n = SaveDate; n <= ProcessNumber; ++n)
                if (!reader.rawItem(n).empty()) return true;
            return joined(reader) > 0;
        }
        if (!fast_ || !reader.inWrittenShape()) return inJoined(reader);
        // From the separator before item 2 to the end of the record.
        const char* const from = reader.rawItem(SaveDate).data() - 1;
        const std::string_view record = reader.rawRecord();
        return inOwnBytes(from, static_cast<std::size_t>(record.data() + record.size() - from));
    }

private:
    // Longer texts take the joined items: the distance from the first to the last byte of
    // the text must fit in a word of bits.
    static constexpr std::size_t kLongest = 64;

    // The page text joined, in page_; its length.
    std::size_t joined(RecordReader& reader) {
        const std::size_t room = reader.rawRecord().size() + 16;
        if (page_.size() < room) page_.resize(std::max(room, 2 * page_.size()));
        return reader.joinRawItems(SaveDate, kItemCount, page_.data());
    }

    bool inJoined(RecordReader& reader) {
        const std::size_t size = joined(reader);
        if (size < needle_.size()) return false;
        lowerInPlace(page_.data(), size);
        return ::memmem(page_.data(), size, needle_.data(), needle_.size()) != nullptr;
    }

    // Whether the needle starts at byte p of the `size` bytes at `from`, a byte of an item's
    // text in a record of the written shape; it may run on into the items after it. Quotes
    // open and close the items' texts; between them stand only separators.
    bool startsAt(const char* from, std::size_t size, std::size_t p) const {
        const auto& lower = kCp1252Lower;
        bool inside = true;
        std::size_t matched = 0;
        for (; p < size; ++p) {
            const char c = from[p];
            if (c == '"') {
                inside = !inside;
            } else if (inside) {
                if (lower[static_cast<unsigned char>(c)] !=
                    static_cast<unsigned char>(needle_[matched]))
                    return false;
                if (++matched == needle_.size()) return true;
            }
        }
        return false;
    }

    // Looks for the needle in the bytes of a record of the written shape, from the separator
    // before item 2 on. There every byte that is no quote, comma or line end belongs to an
    // item's text, and the needle holds none of those, so where its bytes stand in a row
    // they are in one item. It can also run from the end of one item into the items after
    // it; then a piece of its start ends an item, less than its length before a quote.
    bool inOwnBytes(const char* from, std::size_t size) {
        // Bit i of a mask stands for byte i of a block of 64; the block after it is looked
        // at too, as the needle may reach into it. Whole blocks are read: the reader's
        // buffer has room behind the record.
        const std::size_t lastBlock = (size - 1) / 64;
        const std::uint64_t live =
            size % 64 ? (std::uint64_t(1) << (size % 64)) - 1 : ~std::uint64_t(0);
        const auto mine = [&](std::size_t b) {
            return b < lastBlock ? ~std::uint64_t(0) : b == lastBlock ? live : 0;
        };
        const auto span = static_cast<unsigned>(needle_.size() - 1);
        // The last bytes and the quotes are only wanted near a first byte.
        struct Marks {
            std::uint64_t last = 0, quote = 0;
        };
        std::size_t marked = SIZE_MAX;  // the block `next` holds the marks of
        Marks next;
        const auto marks = [&](std::size_t b) {
            if (b != marked) {
                marked = b;
                next = {lastFinder_.mask(from + 64 * b) & mine(b),
                        quoteFinder_.mask(from + 64 * b) & mine(b)};
            }
            return next;
        };
        using Wide = unsigned __int128;
        for (std::size_t b = 0; b <= lastBlock; ++b) {
            const std::uint64_t firsts = firstFinder_.mask(from + 64 * b) & mine(b);
            if (!firsts) continue;
            const Marks now = marks(b), after = marks(b + 1);
            // The needle's first byte where its last one follows at the right distance.
            const Wide lasts = Wide(after.last) << 64 | now.last;
            for (auto both = firsts & std::uint64_t(lasts >> span); both; both &= both - 1)
                if (startsAt(from, size, 64 * b + std::countr_zero(both))) return true;
            // A first byte with a quote in the `span` bytes after it: the quotes one byte on,
            // widened until they cover the span (or a little more).
            if (span == 0) continue;
            Wide near = (Wide(after.quote) << 64 | now.quote) >> 1;
            for (unsigned width = 1; width < span; width *= 2) near |= near >> width;
            for (auto start = firsts & std::uint64_t(near); start; start &= start - 1)
                if (startsAt(from, size, 64 * b + std::countr_zero(start))) return true;
        }
        return false;
    }

    static std::string lowered(std::string_view text) {
        std::string out(text);
        lowerInPlace(out.data(), out.size());
        return out;
    }
    // The bytes that lower to c: c itself, and the capital of it, if any.
    static PairFinder spellings(const std::string& text, bool last) {
        if (text.empty()) return PairFinder(0, 0);
        const auto c = static_cast<unsigned char>(last ? text.back() : text.front());
        const auto& lower = kCp1252Lower;
        unsigned char capital = c;
        for (int u = 0; u < 256; ++u)
            if (u != c && lower[u] == c) capital = static_cast<unsigned char>(u);
        return PairFinder(static_cast<char>(c), static_cast<char>(capital));
    }

    std::string needle_;
    bool fast_ = false;
    PairFinder firstFinder_ = spellings(needle_, false), lastFinder_ = spellings(needle_, true);
    PairFinder quoteFinder_{'"', '"'};
    std::vector<char> page_;  // the page text, used again for every record
};

}  // namespace

LineList searchList(const std::filesystem::path& file, std::string_view text, PageRecord& last) {
    // A missing list searches as a list without pages; a damaged tail shows the whole
    // records before it.
    LineList lines;
    FileSource source;
    if (!source.open(file)) return lines;
    PageSearch search(text);
    RecordReader reader(source);
    bool any = false;
    while (reader.nextRaw(ProcessNumber) == ReadStatus::Record) {
        any = true;
        // The marker, then the list line.
        addRawListLine(lines, reader, search.found(reader) ? ">" : "  ");
    }
    if (any) reader.decodeInto(last);
    return lines;
}

}  // namespace holmtex
