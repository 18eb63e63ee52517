// libFuzzer target for the list reader. Every way the program reads records must agree
// with a plain reading of the same bytes: next(); nextRaw() with decodeInto(); nextRaw(k)
// with single items, including those past k; and all of them mixed on one reader. The
// bytes come in pieces of odd sizes and the reader's buffer is small, so records cross
// every boundary. Records the writer can hold (no quote inside an item) must read back
// as written.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "record/codepage.h"
#include "record/record_io.h"
#include "support/plain_records.h"

using namespace holmtex;
using holmtex::test::PlainList;
using holmtex::test::PlainRecord;

namespace {

[[noreturn]] void mismatch(const char* what, std::size_t record, int item = 0) {
    std::fprintf(stderr, "reader and plain reading disagree: %s (record %zu, item %d)\n", what,
                 record, item);
    std::abort();
}

// Hands out the bytes in pieces whose sizes follow `pattern`.
class PieceSource : public ByteSource {
public:
    PieceSource(std::string_view bytes, std::string_view pattern)
        : bytes_(bytes), pattern_(pattern) {}
    long read(char* buffer, std::size_t size) override {
        std::size_t piece =
            pattern_.empty() ? size
                             : 1 + static_cast<unsigned char>(pattern_[turn_++ % pattern_.size()]);
        piece = std::min({piece, size, bytes_.size() - pos_});
        bytes_.copy(buffer, piece, pos_);
        pos_ += piece;
        return static_cast<long>(piece);
    }

private:
    std::string_view bytes_, pattern_;
    std::size_t pos_ = 0, turn_ = 0;
};

struct Setup {
    std::size_t bufferSize;
    std::string_view pattern, bytes;
};

void sameRecord(const PageRecord& read, const PlainRecord& plain, std::size_t index) {
    for (int n = 1; n <= kItemCount; ++n) {
        const auto& item = plain.items[n - 1];
        if (read.has(n) != item.has_value()) mismatch("presence of an item", index, n);
        if (item && read.text(n) != cp1252ToUtf8(*item)) mismatch("text of an item", index, n);
    }
}

ReadStatus wanted(const PlainList& plain) {
    return plain.whole ? ReadStatus::End : ReadStatus::Damaged;
}

// Reads all records with `step`, which returns the status and checks the record found.
template <typename Step>
void readAll(const Setup& s, const PlainList& plain, Step step) {
    PieceSource source(s.bytes, s.pattern);
    RecordReader reader(source, s.bufferSize);
    std::size_t n = 0;
    for (;; ++n) {
        const ReadStatus status = step(reader, n);
        if (status != ReadStatus::Record) {
            if (n != plain.records.size()) mismatch("number of records", n);
            if (status != wanted(plain)) mismatch("how the data ends", n);
            // The last whole record stays at hand.
            if (n > 0) {
                PageRecord last;
                reader.decodeInto(last);
                sameRecord(last, plain.records[n - 1], n - 1);
            }
            return;
        }
        if (n >= plain.records.size()) mismatch("a record too many", n);
        const PlainRecord& p = plain.records[n];
        if (reader.recordStart() != p.begin || reader.recordEnd() != p.end)
            mismatch("where the record lies", n);
    }
}

void rawItems(RecordReader& reader, const PlainRecord& p, std::size_t index, int known) {
    // First the items asked for, then the rest, which makes the reader work them out.
    for (int pass = 0; pass < 2; ++pass)
        for (int n = 1; n <= kItemCount; ++n) {
            if ((n <= known) != (pass == 0)) continue;
            if (reader.rawItem(n) != std::string_view(p.text(n))) mismatch("raw item", index, n);
        }
}

bool holdsQuote(const PlainRecord& r) {
    for (const auto& item : r.items)
        if (item && item->find('"') != std::string::npos) return true;
    return false;
}

void readEveryWay(const Setup& s, const PlainList& plain) {
    readAll(s, plain, [&](RecordReader& r, std::size_t n) {
        PageRecord record;
        const ReadStatus status = r.next(record);
        if (status == ReadStatus::Record && n < plain.records.size())
            sameRecord(record, plain.records[n], n);
        return status;
    });
    readAll(s, plain, [&](RecordReader& r, std::size_t n) {
        const ReadStatus status = r.nextRaw();
        if (status == ReadStatus::Record && n < plain.records.size()) {
            PageRecord record;
            r.decodeInto(record);
            sameRecord(record, plain.records[n], n);
        }
        return status;
    });
    readAll(s, plain, [&](RecordReader& r, std::size_t n) {
        const int known = 1 + static_cast<int>((n * 7 + s.bufferSize) % kItemCount);
        const ReadStatus status = r.nextRaw(known);
        if (status == ReadStatus::Record && n < plain.records.size())
            rawItems(r, plain.records[n], n, known);
        return status;
    });
    // The ways mixed on one reader, as the operations do.
    PageRecord reused;
    readAll(s, plain, [&](RecordReader& r, std::size_t n) {
        ReadStatus status;
        switch (n % 3) {
            case 0:
                status = r.next(reused);
                if (status == ReadStatus::Record && n < plain.records.size())
                    sameRecord(reused, plain.records[n], n);
                break;
            case 1:
                status = r.nextRaw(1);
                break;
            default:
                status = r.nextRaw(ProcessNumber);
                if (status == ReadStatus::Record && n < plain.records.size())
                    rawItems(r, plain.records[n], n, ProcessNumber);
        }
        return status;
    });
}

void roundTrip(const PlainList& plain) {
    // Write and read back what the writer can hold.
    std::string written;
    std::vector<const PlainRecord*> kept;
    for (const PlainRecord& r : plain.records) {
        if (holdsQuote(r)) continue;
        writeRecord(written, test::toPageRecord(r));
        kept.push_back(&r);
    }
    const PlainList again = test::readPlain(written);
    if (!again.whole || again.records.size() != kept.size()) mismatch("round trip", kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (again.records[i].items != kept[i]->items) mismatch("round trip of items", i);
        // Our own records take the reader's short ways.
        const std::string one =
            written.substr(again.records[i].begin, again.records[i].end - again.records[i].begin);
        StringSource source(one);
        RecordReader reader(source);
        PageRecord back;
        if (reader.next(back) != ReadStatus::Record) mismatch("round trip read", i);
        sameRecord(back, *kept[i], i);
        if (reader.next(back) != ReadStatus::End) mismatch("round trip end", i);
    }
}

}  // namespace

// The input is a list file as it is. Each is read with a tiny buffer and whole pieces,
// with a buffer and pieces of sizes taken from the input itself, and with a large buffer.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t hash = size;
    for (unsigned char c : bytes.substr(0, 64)) hash = hash * 31 + c;
    const PlainList plain = test::readPlain(bytes);
    for (const Setup& s : {Setup{16, {}, bytes}, Setup{16 + hash % 300, bytes.substr(0, 3), bytes},
                           Setup{1 << 16, {}, bytes}})
        readEveryWay(s, plain);
    roundTrip(plain);
    return 0;
}
