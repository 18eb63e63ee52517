#pragma once
// The record reader's fast ways, for records of the written shape: the shape our own
// writer gives a record, every item in quotes or empty and nothing but commas and line
// ends outside quotes. They look at the reader's buffer 64 bytes at a time through bit
// masks, take a record only where they find the items the plain parser would find, and
// say no to anything else, which the parser then takes. For the reader alone.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "record/page_record.h"
#include "record/record_io.h"

namespace holmtex::scan {

// Bytes are looked at in blocks of this many, one bit each in a 64-bit mask.
constexpr std::size_t kBlock = 64;
// Bytes the buffer holds past its data, so that whole blocks may be read behind the data.
constexpr std::size_t kSlack = 2 * kBlock;

// The functions below take the reader's bytes as a Buffer (record_io.h).

// Sets the quote bits of the `end` bytes at buf, and the stop word after them. Called each
// time the buffer is filled, it also leaves the vector registers ready for the fast ways
// (see the .cpp).
void markQuotes(const char* buf, std::size_t end, std::uint64_t* quoteBits);

// Finds the next comma, CR or LF in [begin, begin + size) a block at a time. Only wanted
// for bare items with text and for text after a closing quote, which our files lack.
class StopFinder {
public:
    StopFinder(const char* begin, std::size_t size) : begin_(begin), size_(size) {}

    // The first position at or after pos holding such a byte, or size when there is none.
    std::size_t next(std::size_t pos);

private:
    const char* begin_;
    std::size_t size_;
    std::size_t block_ = SIZE_MAX;
    std::uint64_t mask_ = 0;
};

// The spans of the first `count` items of the record at buffer position start, when they
// have the written shape, a separator follows each closing quote and all of it is at
// hand; p ends after the last separator taken. The item ends come from walking the quote
// bits, with no search and no look at the text.
bool walkWritten(const Buffer& bytes, std::size_t start, int count, ItemSpans& spans,
                 std::size_t& p);

// Passes `count` items of the written shape from buffer position p, the start of an item,
// and their separators, the last of which ends the record; p ends after it. From the quote
// and comma bits alone, for the items nobody wants to see.
bool passWritten(const Buffer& bytes, std::size_t& p, int count);

// Decodes the record at buffer position start into `texts` when it has the written shape
// and ends in the bytes at hand: the UTF-8 of its bytes up to the line end in one sweep,
// and where each of its 49 separators landed in it, the line end last. `length` is the
// record's length in the buffer, the line end included. False for anything else, with
// `texts` in any state.
bool decodeWritten(const Buffer& bytes, std::size_t start, std::string& texts,
                   std::uint32_t* separators, std::size_t& length);
// Where the items of a record that decodeWritten() put into `text` lie in it.
inline void placeWritten(const char* text, const std::uint32_t* separators, ItemBounds& bounds) {
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
}

// How the bytes of a 64-byte block of a record grow in UTF-8: bit i of high is set when
// byte i takes two or more bytes, of three when it takes three; before is how many bytes
// the blocks before it grew by.
struct BlockGrowth {
    std::uint64_t high = 0, three = 0;
    std::uint32_t before = 0;
};

// Decodes the record at `record`, whose items lie where `spans` say, into `texts`: the
// UTF-8 of its bytes up to the end of its last item, and where each item lies in it;
// `growth` is room for the work. The record's bytes must be readable two blocks past that
// end.
void decodeSpans(const char* record, const ItemSpans& spans, std::string& texts,
                 std::vector<BlockGrowth>& growth, ItemBounds& bounds);

// Stores the bytes between quotes of buffer positions [begin, end) at w and returns where
// they end; begin must lie outside quotes. For items of the written shape these are the
// items' texts joined. Copies 16 bytes where fewer count, so w needs that much room behind.
char* joinQuoted(const Buffer& bytes, std::size_t begin, std::size_t end, char* w);

// Whether the `length` bytes of the record at buffer position start are exactly what our
// writer makes of it once it is decoded: the written shape, the four remarks in quotes and
// CR LF at the end.
bool writtenAsIs(const Buffer& bytes, std::size_t start, std::size_t length);

}  // namespace holmtex::scan
