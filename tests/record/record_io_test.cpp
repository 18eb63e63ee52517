#include "record/record_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "record/codepage.h"
#include "support/reader_agreement.h"

namespace holmtex {
namespace {

// Bytes of one record: every item "" unless given; given items are taken as they stand.
std::string rawRecord(std::vector<std::pair<int, std::string>> given = {},
                      const std::string& end = "\r\n") {
    std::vector<std::string> items(kItemCount, "\"\"");
    for (auto& [n, text] : given) items[n - 1] = text;
    std::string out;
    for (int i = 0; i < kItemCount; ++i) out += (i ? "," : "") + items[i];
    return out + end;
}

struct ReadAll {
    std::vector<PageRecord> records;
    ReadStatus last = ReadStatus::End;
};

ReadAll readAll(const std::string& bytes, std::size_t bufferSize = 256 * 1024) {
    StringSource source(bytes);
    RecordReader reader(source, bufferSize);
    ReadAll result;
    PageRecord record;
    while ((result.last = reader.next(record)) == ReadStatus::Record)
        result.records.push_back(record);
    return result;
}

PageRecord samplePage() {
    PageRecord r;
    r.set(ViewMarker, "->2");
    r.set(SaveDate, "06.12.2026");
    r.set(SaveTime, "14:03:59");
    r.set(AddMarker, "add");
    r.set(ListTag, "aktu");
    r.set(PageText, "Erste Zeile, mit Komma\r\nzweite Zeile: Größe 5 €\r\n\r\n");
    r.set(ProcessNumber, "4711");
    for (int n = 10; n <= kItemCount; ++n) r.set(n, "Feld " + std::to_string(n));
    r.reset(childItem(6, 2));  // a foreign file may leave any item absent
    r.set(fatherItem(3), "");
    r.set(remarkItem(4), "Bemerkung\r\nmit Zeilen");
    return r;
}

TEST(RecordWriter, EmptyTwoFamilyPage) {
    PageRecord r;
    for (int n = AddMarker; n <= kItemCount; ++n) r.set(n, "");
    r.set(ViewMarker, "->2");
    r.set(SaveDate, "06.12.2026");
    r.set(SaveTime, "14:03:59");
    r.set(ListTag, "aktu");
    r.set(ProcessNumber, "4711");
    std::string expected = "\"->2\",\"06.12.2026\",\"14:03:59\",,,\"\",\"aktu\",\"\",\"4711\"";
    for (int i = 0; i < 40; ++i) expected += ",\"\"";
    expected += "\r\n";
    EXPECT_EQ(expected, recordBytes(r));
}

TEST(RecordWriter, FreshBufferWritesOnlyTheRemarks) {
    // Items 1 to 18 absent, then each remark after nine more absent items.
    std::string expected = std::string(18, ',') + "\"\"";
    for (int f = 2; f <= 4; ++f) expected += std::string(10, ',') + "\"\"";
    expected += "\r\n";
    EXPECT_EQ(expected, recordBytes(PageRecord()));
}

// The format has no escape for a double quote; an apostrophe stands for it, so the record
// reads back whole with every item where it was.
TEST(RecordWriter, AQuoteInsideAnItemIsWrittenAsAnApostrophe) {
    PageRecord record;
    record.set(PageText, "er sagte \"ja\"");
    record.set(fatherItem(1), "\"Hans\"");
    record.set(ProcessNumber, "4711");
    std::string bytes;
    writeRecordWithoutQuotes(bytes, record);
    const ReadAll back = readAll(bytes);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.last, ReadStatus::End);
    EXPECT_EQ(back.records[0].text(PageText), "er sagte 'ja'");
    EXPECT_EQ(back.records[0].text(fatherItem(1)), "'Hans'");
    EXPECT_EQ(back.records[0].text(ProcessNumber), "4711");

    PageRecord plain = back.records[0];
    EXPECT_FALSE(removeQuotes(plain));
    EXPECT_EQ(plain, back.records[0]);
    EXPECT_TRUE(removeQuotes(record));
    EXPECT_EQ(recordBytes(record), bytes);
}

TEST(RecordReader, RoundTripsWhatTheWriterWrote) {
    PageRecord plain;  // items 4 and 5 stay absent, like every saved page
    plain.set(ViewMarker, "->");
    plain.set(AddMarker, "");
    PageRecord reserved = samplePage();
    reserved.set(Reserved4, "x");
    reserved.set(Reserved5, "");
    const std::vector<PageRecord> pages = {samplePage(), plain, PageRecord(), reserved};
    std::string file;
    for (const PageRecord& p : pages) writeRecord(file, p);

    for (std::size_t bufferSize : {16, 17, 31, 64, 4096}) {
        SCOPED_TRACE(bufferSize);
        ReadAll read = readAll(file, bufferSize);
        EXPECT_EQ(ReadStatus::End, read.last);
        ASSERT_EQ(pages.size(), read.records.size());
        std::string again;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i], read.records[i]) << "record " << i;
            writeRecord(again, read.records[i]);
        }
        EXPECT_EQ(file, again);
    }
}

TEST(RecordReader, EveryByteValueRoundTrips) {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        if (b != '"') bytes.push_back(static_cast<char>(b));
    const std::string file = rawRecord({{PageText, "\"" + bytes + "\""}});
    ReadAll read = readAll(file);
    ASSERT_EQ(1u, read.records.size());
    EXPECT_EQ(file, recordBytes(read.records[0]));
}

// How the bytes of a file come out as records. Each case names the records it expects by
// their item 9 (or "-" for an absent item 9) and how reading ends.
struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> numbers;
    ReadStatus last;
};

std::string numbered(const std::string& n, const std::string& end = "\r\n") {
    return rawRecord({{ProcessNumber, "\"" + n + "\""}}, end);
}

const std::string kHalf = "\"->2\",\"06.12.2026\",\"14:03:59\",,,\"\",\"aktu\",\"text";

const ReadCase kReadCases[] = {
    {"empty file", "", {}, ReadStatus::End},
    {"only blank lines", "\r\n\r\n\n\r", {}, ReadStatus::End},
    {"two records", numbered("1") + numbered("2"), {"1", "2"}, ReadStatus::End},
    {"blank lines between and after",
     "\r\n" + numbered("1") + "\r\n\r\n" + numbered("2") + "\r\n",
     {"1", "2"},
     ReadStatus::End},
    {"lone LF and lone CR end records",
     numbered("1", "\n") + numbered("2", "\r") + numbered("3"),
     {"1", "2", "3"},
     ReadStatus::End},
    {"last record without line end",
     numbered("1") + numbered("2", ""),
     {"1", "2"},
     ReadStatus::End},
    {"two identical records", numbered("7") + numbered("7"), {"7", "7"}, ReadStatus::End},
    {"unclosed quote", numbered("1") + kHalf, {"1"}, ReadStatus::Damaged},
    {"ends inside a record",
     numbered("1") + "\"->2\",\"06.12.2026\"\r\n",
     {"1"},
     ReadStatus::Damaged},
    {"ends after a comma inside a record", numbered("1") + "\"->2\",", {"1"}, ReadStatus::Damaged},
    {"one item short", numbered("1") + rawRecord().substr(3), {"1"}, ReadStatus::Damaged},
    {"ends right after its 48th comma",
     numbered("1") + numbered("2", "").substr(0, numbered("2", "").size() - 2),
     {"1"},
     ReadStatus::Damaged},
    {"ends right after a closing quote before item 49",
     numbered("1") + numbered("2", "").substr(0, numbered("2", "").size() - 3),
     {"1"},
     ReadStatus::Damaged},
    {"absent item 49 before the line end",
     rawRecord({{ProcessNumber, "\"1\""}, {kItemCount, ""}}),
     {"1"},
     ReadStatus::End},
    {"unquoted items of a foreign file",
     rawRecord({{ProcessNumber, "4711"}, {PageText, "frei Text"}}),
     {"4711"},
     ReadStatus::End},
    {"absent item 9", rawRecord({{ProcessNumber, ""}}), {"-"}, ReadStatus::End},
    {"text after a closing quote", rawRecord({{ProcessNumber, "\"5\"x"}}), {"5"}, ReadStatus::End},
};

TEST(RecordReader, GivesTheRecordsAndTheEnd) {
    for (const ReadCase& c : kReadCases) {
        for (std::size_t bufferSize : {16, 4096}) {
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(bufferSize));
            ReadAll read = readAll(c.bytes, bufferSize);
            std::vector<std::string> numbers;
            for (const PageRecord& r : read.records)
                numbers.push_back(r.has(ProcessNumber) ? std::string(r.text(ProcessNumber)) : "-");
            EXPECT_EQ(c.numbers, numbers);
            EXPECT_EQ(c.last, read.last);
        }
    }
}

TEST(RecordReader, RecordMaySpanLinesAtItsSeparators) {
    // A line end ends an item just as a comma does: here every item stands on its own line,
    // items 4 and 19 on empty ones.
    std::string file;
    for (int n = 1; n <= kItemCount; ++n) {
        const bool empty = n == Reserved4 || n == remarkItem(1);
        file += (empty                ? ""
                 : n == ProcessNumber ? "\"9\""
                                      : "\"\"") +
                std::string(n % 2 ? "\r\n" : "\n");
    }
    file += numbered("2");  // starts right where the first one must end
    ReadAll read = readAll(file);
    ASSERT_EQ(2u, read.records.size());
    EXPECT_EQ(Item("9"), read.records[0].item(ProcessNumber));
    EXPECT_EQ(std::nullopt, read.records[0].item(Reserved4));
    EXPECT_EQ(Item(""), read.records[0].item(Reserved5));
    EXPECT_EQ(Item(""), read.records[0].item(remarkItem(1)));  // a remark is never absent
    EXPECT_EQ(Item("2"), read.records[1].item(ProcessNumber));
    EXPECT_EQ(ReadStatus::End, read.last);
}

// A source that fails after handing out some bytes, as a failing disk does.
class FailingSource : public ByteSource {
public:
    FailingSource(std::string bytes, std::size_t failAt)
        : bytes_(std::move(bytes)), failAt_(failAt) {}
    long read(char* buffer, std::size_t size) override {
        if (pos_ >= failAt_) return -1;
        std::size_t n = std::min({size, failAt_ - pos_, bytes_.size() - pos_});
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return static_cast<long>(n);
    }

private:
    std::string bytes_;
    std::size_t failAt_, pos_ = 0;
};

TEST(RecordReader, DamageLeavesTheBufferUntouched) {
    const std::string first = numbered("1"), bytes = first + numbered("2");
    const std::pair<std::string, std::size_t> cases[] = {{first + kHalf, std::string::npos},
                                                         {bytes, first.size()},
                                                         {bytes, first.size() + 10},
                                                         {bytes, bytes.size() - 3}};
    for (const auto& [data, failAt] : cases) {
        SCOPED_TRACE(failAt);
        FailingSource source(data, failAt);
        RecordReader reader(source, 16);
        PageRecord buffer;
        ASSERT_EQ(ReadStatus::Record, reader.next(buffer));
        const PageRecord before = buffer;
        EXPECT_EQ(ReadStatus::Damaged, reader.next(buffer));
        EXPECT_EQ(before, buffer);
    }
}

// The page list takes three items raw and the last whole record at the end, after the
// reader has run over a damaged tail that made it refill its buffer many times.
TEST(RecordReader, RawItemsAndTheLastRecordAfterTheEnd) {
    PageRecord last = samplePage();
    last.set(ProcessNumber, "Nr. \u00e4");
    const std::string file =
        numbered("1") + recordBytes(last) + "\"->2\",\"" + std::string(5000, 'x');
    StringSource source(file);
    RecordReader reader(source, 16);
    std::vector<std::string> numbers;
    ReadStatus status;
    while ((status = reader.nextRaw()) == ReadStatus::Record)
        numbers.emplace_back(reader.rawItem(ProcessNumber));
    EXPECT_EQ(ReadStatus::Damaged, status);
    EXPECT_EQ((std::vector<std::string>{"1", "Nr. \xE4"}), numbers);
    EXPECT_EQ("", reader.rawItem(Reserved4));
    PageRecord buffer;
    reader.decodeInto(buffer);
    EXPECT_EQ(last, buffer);
}

// Random bytes for a text in quotes: any byte but the quote, long ones across many blocks.
std::string randomText(std::mt19937& rng, std::size_t longest) {
    std::string text(rng() % (longest + 1), ' ');
    for (char& c : text) {
        c = static_cast<char>(rng() % 256);
        if (c == '"') c = '\'';
    }
    return text;
}

// A file of records in every shape the reader meets: our writer's, and foreign ones with
// bare items, text after a closing quote, a quote right after a closing one, items on
// their own lines, one item too many or too few; blank lines; a cut-off tail.
std::string randomFile(std::mt19937& rng) {
    const auto pick = [&rng](unsigned n) { return rng() % n; };
    std::string file;
    for (unsigned r = 0, records = 1 + pick(12); r < records; ++r) {
        const bool written = pick(3) != 0;  // in the written shape
        const int items = written ? kItemCount : kItemCount - 1 + static_cast<int>(pick(3));
        for (int i = 1; i <= items; ++i) {
            if (i > 1) file += !written && pick(8) == 0 ? (pick(2) ? "\r\n" : "\n") : ",";
            switch (written ? pick(3) : pick(6)) {
                case 0:
                    break;  // an empty bare item
                case 1:
                    file += '"' + randomText(rng, pick(4) ? 20 : 300) + '"';
                    break;
                case 2:
                    file += "\"\"";
                    break;
                case 3:
                    file += "frei" + std::to_string(i);
                    break;
                case 4:
                    file += "\"q\"x";
                    break;
                case 5:
                    file += "\"a\"\"b\"";
                    break;
            }
        }
        const unsigned end = pick(6);
        file += end == 0 ? "\n" : end == 1 ? "\r" : "\r\n";
        if (pick(5) == 0) file += "\r\n\r\n";
    }
    if (pick(3) == 0)
        file.resize(file.size() -
                    pick(static_cast<unsigned>(std::min<std::size_t>(file.size(), 300))));
    return file;
}

// Every way of reading, the fast ones for records of the written shape among them, gives
// what a plain reading of the bytes gives, with records across every buffer boundary.
TEST(RecordReader, EveryWayOfReadingAgreesWithAPlainReading) {
    std::mt19937 rng(2026);
    for (int round = 0; round < 300; ++round) {
        const std::string file = randomFile(rng);
        const std::string pattern = {char(rng() % 40), char(rng() % 200), char(rng() % 7)};
        for (const test::ReadSetup setup :
             {test::ReadSetup{16, {}}, test::ReadSetup{100, pattern}, test::ReadSetup{4096, {}}}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", buffer " +
                         std::to_string(setup.bufferSize));
            ASSERT_EQ("", test::readerDisagreement(file, setup));
        }
    }
}

TEST(RecordReader, RandomPagesRoundTrip) {
    std::mt19937 rng(7);
    std::vector<PageRecord> pages(200);
    std::string file;
    for (PageRecord& page : pages) {
        for (int n = 1; n <= kItemCount; ++n) {
            if (!isTextItem(n) && rng() % 4 == 0)
                page.reset(n);
            else
                page.set(n, cp1252ToUtf8(randomText(rng, rng() % 8 ? 30 : 2000)));
        }
        writeRecord(file, page);
    }
    for (std::size_t bufferSize : {16, 4096, 256 * 1024}) {
        SCOPED_TRACE(bufferSize);
        ReadAll read = readAll(file, bufferSize);
        EXPECT_EQ(ReadStatus::End, read.last);
        EXPECT_EQ(pages, read.records);
    }
}

}  // namespace
}  // namespace holmtex
