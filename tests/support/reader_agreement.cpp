#include "support/reader_agreement.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "record/codepage.h"
#include "record/record_io.h"
#include "support/plain_records.h"

namespace holmtex::test {

namespace {

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

// A number below `range` that changes from record to record and with `salt`.
int choose(std::size_t record, std::uint64_t salt, int range) {
    std::uint64_t x = (record + 1) * 0x9E3779B97F4A7C15ULL + salt * 0xD6E8FEB86659FD93ULL;
    x ^= x >> 29;
    return static_cast<int>(x % static_cast<std::uint64_t>(range));
}

// Every item in quotes or empty, and nothing but a separator after each: a comma, CR LF, a
// lone CR or LF.
bool hasWrittenShape(std::string_view r) {
    std::size_t p = 0;
    for (int i = 1; i <= kItemCount; ++i) {
        if (p < r.size() && r[p] == '"') {
            const std::size_t close = r.find('"', p + 1);
            if (close == std::string_view::npos) return false;
            p = close + 1;
        }
        if (p == r.size() || (r[p] != ',' && r[p] != '\r' && r[p] != '\n')) return false;
        p += r.substr(p, 2) == "\r\n" ? 2 : 1;
    }
    return p == r.size();
}

// The record as writeRecord() writes it once decoded, with `extra` (Windows-1252) added to
// item `extended` when that is not 0.
std::string writtenAgain(const PlainRecord& plain, int extended, std::string_view extra) {
    PageRecord page = toPageRecord(plain);
    if (extended) page.set(extended, std::string(page.text(extended)) + cp1252ToUtf8(extra));
    return recordBytes(page);
}

std::string joinedItems(const PlainRecord& plain, int first, int last) {
    std::string joined;
    for (int n = first; n <= last; ++n) joined += plain.text(n);
    return joined;
}

class Agreement {
public:
    Agreement(std::string_view bytes, const ReadSetup& setup)
        : bytes_(bytes), setup_(setup), plain_(readPlain(bytes)) {}

    std::string run() {
        readAll("next()", &Agreement::byNext);
        readAll("nextRaw() + decodeInto()", &Agreement::byDecoding);
        readAll("nextRaw(k) + rawItem()", &Agreement::byItems);
        readAll("nextRaw(k) + joinRawItems()", &Agreement::byJoining);
        readAll("nextRaw(k) + appendWritten()", &Agreement::byWriting);
        readAll("all ways mixed", &Agreement::mixed);
        return failure_;
    }

private:
    // Reads one record and checks what it gives against the plain record n.
    using Way = ReadStatus (Agreement::*)(RecordReader&, std::size_t n);

    // Notes the first difference; true when there is one.
    bool differs(bool different, std::size_t record, const std::string& what) {
        if (different && failure_.empty())
            failure_ = std::string(way_) + ", record " + std::to_string(record) + ": " + what;
        return different;
    }

    const PlainRecord* expected(std::size_t n) const {
        return n < plain_.records.size() ? &plain_.records[n] : nullptr;
    }

    bool samePage(const PageRecord& page, std::size_t n) {
        const PlainRecord* p = expected(n);
        return !p || !differs(!(page == toPageRecord(*p)), n, "the decoded items");
    }

    ReadStatus byNext(RecordReader& reader, std::size_t n) {
        PageRecord page;
        const ReadStatus status = reader.next(page);
        if (status == ReadStatus::Record) samePage(page, n);
        return status;
    }

    ReadStatus byDecoding(RecordReader& reader, std::size_t n) {
        const ReadStatus status = reader.nextRaw();
        if (status != ReadStatus::Record) return status;
        PageRecord page;
        reader.decodeInto(page);
        samePage(page, n);
        return status;
    }

    // First the items asked for, then the rest, which makes the reader work them out.
    void checkItems(RecordReader& reader, std::size_t n, int known) {
        const PlainRecord* p = expected(n);
        if (!p) return;
        for (int pass = 0; pass < 2; ++pass)
            for (int item = 1; item <= kItemCount; ++item)
                if ((item <= known) == (pass == 0) &&
                    differs(reader.rawItem(item) != p->text(item), n,
                            "raw item " + std::to_string(item)))
                    return;
        const std::string_view raw = reader.rawRecord();
        differs(reader.inWrittenShape() && !hasWrittenShape(raw), n, "taken for the written shape");
        differs(!reader.inWrittenShape() && raw == writtenAgain(*p, 0, {}), n,
                "not taken for the written shape");
    }

    ReadStatus byItems(RecordReader& reader, std::size_t n) {
        const int known = 1 + choose(n, 1, kItemCount);
        const ReadStatus status = reader.nextRaw(known);
        if (status == ReadStatus::Record) checkItems(reader, n, known);
        return status;
    }

    void checkJoined(RecordReader& reader, std::size_t n, int first, int last) {
        const PlainRecord* p = expected(n);
        if (!p) return;
        std::vector<char> out(reader.rawRecord().size() + 16);
        const std::size_t size = reader.joinRawItems(first, last, out.data());
        differs(std::string_view(out.data(), size) != joinedItems(*p, first, last), n,
                "items " + std::to_string(first) + " to " + std::to_string(last) + " joined");
    }

    ReadStatus byJoining(RecordReader& reader, std::size_t n) {
        const int known = 1 + choose(n, 2, kItemCount);
        const ReadStatus status = reader.nextRaw(known);
        if (status != ReadStatus::Record) return status;
        // Half of the time all items from at most one after the known ones: those past them
        // are joined without being worked out.
        int first = 1 + choose(n, 3, std::min(known + 1, kItemCount));
        int last = kItemCount;
        if (choose(n, 4, 2)) {
            first = 1 + choose(n, 5, kItemCount);
            last = first + choose(n, 6, kItemCount - first + 1);
        }
        checkJoined(reader, n, first, last);
        return status;
    }

    void checkWritten(RecordReader& reader, std::size_t n, int extended) {
        const PlainRecord* p = expected(n);
        if (!p) return;
        static constexpr std::string_view kExtras[] = {"-dopp", "", "\xE4\x80"};
        const std::string_view extra = kExtras[choose(n, 7, 3)];
        std::string out = "vorher";
        reader.appendWritten(out, extended, extra);
        differs(out != "vorher" + writtenAgain(*p, extended, extra), n,
                "written again with item " + std::to_string(extended) + " extended");
    }

    ReadStatus byWriting(RecordReader& reader, std::size_t n) {
        const int known = 1 + choose(n, 8, kItemCount);
        const ReadStatus status = reader.nextRaw(known);
        // Mostly an item already worked out, as the operations do.
        const int extended =
            choose(n, 9, 4) ? choose(n, 10, known + 1) : 1 + choose(n, 11, kItemCount);
        if (status == ReadStatus::Record) checkWritten(reader, n, extended);
        return status;
    }

    ReadStatus mixed(RecordReader& reader, std::size_t n) {
        static constexpr Way kWays[] = {&Agreement::byNext, &Agreement::byDecoding,
                                        &Agreement::byItems, &Agreement::byJoining,
                                        &Agreement::byWriting};
        return (this->*kWays[choose(n, 12, 5)])(reader, n);
    }

    // After the end, the last whole record is still at hand in every way; the items not
    // worked out yet are joined and written first.
    void checkLast(RecordReader& reader, std::size_t n) {
        const PlainRecord& p = plain_.records[n];
        differs(reader.rawRecord() != bytes_.substr(p.begin, p.end - p.begin), n, "its bytes");
        checkJoined(reader, n, 1, kItemCount);
        checkWritten(reader, n, 0);
        PageRecord page;
        reader.decodeInto(page);
        samePage(page, n);
        checkItems(reader, n, kItemCount);
    }

    void readAll(const char* way, Way step) {
        way_ = way;
        PieceSource source(bytes_, setup_.pattern);
        RecordReader reader(source, setup_.bufferSize);
        for (std::size_t n = 0; failure_.empty(); ++n) {
            const ReadStatus status = (this->*step)(reader, n);
            const std::size_t records = plain_.records.size();
            if (status != ReadStatus::Record) {
                differs(n != records, n, "the reading ends after " + std::to_string(n));
                differs(status != (plain_.whole ? ReadStatus::End : ReadStatus::Damaged), n,
                        "how the data ends");
                differs(!plain_.whole && reader.recordStart() != plain_.tail, n,
                        "where the damage begins");
                if (n > 0 && n == records) checkLast(reader, n - 1);
                return;
            }
            if (differs(n >= records, n, "a record too many")) return;
            const PlainRecord& p = plain_.records[n];
            differs(reader.recordStart() != p.begin || reader.recordEnd() != p.end, n,
                    "where the record lies");
            differs(reader.rawRecord() != bytes_.substr(p.begin, p.end - p.begin), n, "its bytes");
        }
    }

    std::string_view bytes_;
    ReadSetup setup_;
    PlainList plain_;
    const char* way_ = "";
    std::string failure_;
};

}  // namespace

std::string readerDisagreement(std::string_view bytes, const ReadSetup& setup) {
    return Agreement(bytes, setup).run();
}

}  // namespace holmtex::test
