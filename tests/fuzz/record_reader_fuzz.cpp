// libFuzzer target for the list reader. Every way the program reads records must agree
// with a plain reading of the same bytes (reader_agreement.h). The bytes come in pieces of
// odd sizes and the reader's buffer is small, so records cross every boundary. Records the
// writer can hold (no quote inside an item) must read back as written.
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
#include "support/reader_agreement.h"

using namespace holmtex;
using holmtex::test::PlainList;
using holmtex::test::PlainRecord;

namespace {

[[noreturn]] void mismatch(const char* what, std::size_t record, int item = 0) {
    std::fprintf(stderr, "reader and plain reading disagree: %s (record %zu, item %d)\n", what,
                 record, item);
    std::abort();
}

void sameRecord(const PageRecord& read, const PlainRecord& plain, std::size_t index) {
    for (int n = 1; n <= kItemCount; ++n) {
        const auto& item = plain.items[n - 1];
        if (read.has(n) != item.has_value()) mismatch("presence of an item", index, n);
        if (item && read.text(n) != cp1252ToUtf8(*item)) mismatch("text of an item", index, n);
    }
}

bool holdsQuote(const PlainRecord& r) {
    for (const auto& item : r.items)
        if (item && item->find('"') != std::string::npos) return true;
    return false;
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
    for (const test::ReadSetup& s :
         {test::ReadSetup{16, {}}, test::ReadSetup{16 + hash % 300, bytes.substr(0, 3)},
          test::ReadSetup{1 << 16, {}}}) {
        const std::string disagreement = test::readerDisagreement(bytes, s);
        if (!disagreement.empty()) {
            std::fprintf(stderr, "reader and plain reading disagree: %s (buffer %zu)\n",
                         disagreement.c_str(), s.bufferSize);
            std::abort();
        }
    }
    roundTrip(test::readPlain(bytes));
    return 0;
}
