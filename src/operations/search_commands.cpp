// Search, the command box with its help text, the transfer file and the data check.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "operations/messages.h"
#include "record/codepage.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "record/list_line.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

// ---- Search ----

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

// ---- Transfer ----

// The bytes of a record for the transfer file: those it has in the list when they read
// back the same anywhere, else the record written anew without quotes inside its items.
// A record at the very end of its list may lack its line end; another one will follow it.
std::string transferBytes(std::string_view raw, const PageRecord& record) {
    std::string bytes;
    if (PageRecord safe = record; removeQuotes(safe)) {
        writeRecord(bytes, safe);
        return bytes;
    }
    bytes = raw;
    if (bytes.empty() || (bytes.back() != '\n' && bytes.back() != '\r')) bytes += "\r\n";
    return bytes;
}

// Export and copy: the page of the marked line goes to the end of the transfer file.
// Nothing is written unless that whole record could be read. The message for Text5.
std::string transferMarkedPage(Holmtex& form, msg::Transfer transfer) {
    const ListKind kind = form.selectedList().value_or(ListKind::Aktuell);
    const std::string list = dataFileName(kind);
    const msg::Undone undone = msg::undone(transfer);
    const int line = form.MarkedLine;
    if (line < 0) return msg::noTransferLine(transfer);
    // A list out of step anywhere carries pages out of step: delete refuses it too.
    if (form.listDamaged(kind)) return msg::fileDamaged(list, undone);
    FileSource source;
    if (const FileResult opened = source.open(form.filePath(list)); !opened)
        return opened.error == ENOENT ? msg::fileMissing(list, undone)
                                      : msg::fileUnreadable(list, opened.error, undone);
    // Only the marked record is decoded; the ones before it are passed over.
    RecordReader reader(source);
    ReadStatus status = ReadStatus::Record;
    for (int k = 0; k <= line && status == ReadStatus::Record; ++k)
        status = reader.nextRaw(k < line ? 1 : kItemCount);
    if (status == ReadStatus::End) return msg::transferLineMissing(transfer, line, list);
    if (status == ReadStatus::Damaged) return msg::fileDamaged(list, undone);
    if (!form.isOpenedPage(kind, line, reader.rawRecord())) {
        source.close();
        form.RefreshList();
        return msg::fileChangedSinceOpened(list, undone);
    }
    reader.decodeInto(form.CurrentRecord);
    // The transfer file is a plain file of the folder: a link there is not written through.
    const std::filesystem::path transferFile = form.filePath(transferFileName());
    if (const FileResult placed = prepareOutputFile(transferFile); !placed) {
        AppendResult refused;
        refused.failure = placed;
        return msg::transferNotWritten(transfer, refused);
    }
    const AppendResult appended =
        appendRecords(transferFile, transferBytes(reader.rawRecord(), form.CurrentRecord),
                      fileNameStamp(form.platform().now()));
    if (appended.failure.error == kDamagedTail) return msg::transferFileDamaged(transfer);
    if (!appended.ok()) return msg::transferNotWritten(transfer, appended);
    return msg::transferDone(transfer);
}

void transferAndSay(Holmtex& form, msg::Transfer transfer) {
    const std::string message = transferMarkedPage(form, transfer);
    form.Combo1.setText("");
    form.Text5.setText(message);
}

// Reads the whole transfer file and checks it before anything is appended, and appends it
// in one piece, so that a damaged file or a full disk imports nothing and the transfer
// file stays for another try. The message when nothing was imported; otherwise the buffer
// holds the last page imported.
std::optional<std::string> importPages(Holmtex& form, const std::filesystem::path& transfer) {
    FileSource source;
    const FileResult opened = source.open(transfer);
    if (opened.error == ENOENT) return msg::nothingToImport();
    if (!opened)
        return msg::fileUnreadable(transferFileName(), opened.error, msg::Undone::Imported);
    std::string bytes;
    PageRecord record;
    bool any = false;
    RecordReader reader(source);
    ReadStatus status;
    while ((status = reader.next(record)) == ReadStatus::Record) {
        any = true;
        removeQuotes(record);
        writeRecord(bytes, record);
    }
    source.close();
    if (status != ReadStatus::End)
        return msg::fileDamaged(transferFileName(), msg::Undone::Imported);
    // Once the pages are in the list, the transfer file goes; the append carries that step,
    // so that the next start does it after a crash in between.
    const AppendResult appended = form.appendToList(form.selectedList().value_or(ListKind::Aktuell),
                                                    bytes, {redo::Step::Remove, transfer, {}, {}});
    if (!appended.ok()) return msg::pagesNotImported(appended);
    if (any) form.CurrentRecord = record;
    return std::nullopt;
}

}  // namespace

void Holmtex::Text1_Change() {
    CurrentRecord.set(PageText, Text1.text());
    if (Text1.text() == "datacheck") CheckData();
}

void Holmtex::Combo1_Change() {
    // The text is read again before each test: a transfer empties the box on its way,
    // and then nothing further matches.
    if (Combo1.text() == "datacheck!") CheckData();
    if (Combo1.text() == "kopie!") CopyTransfer();
    if (Combo1.text() == "import!") ImportTransfer();
    if (Combo1.text() == "export!") ExportTransfer();
    if (Combo1.text() == "hilfe") Text1.setText(msg::commandHelp());
    if (Combo1.text() == "befehl!") Text1.setText(msg::commandWords());
    // The words beyond the window's own; each empties the box, as the transfer words do.
    if (Combo1.text() == "reparatur!") RepairList();
    if (Combo1.text() == "pdf!") {
        WriteFamilySheetPdf();
        Combo1.setText("");
    }
    if (Combo1.text() == "drucken!") {
        PrintFamilySheet();
        Combo1.setText("");
    }
    if (Combo1.text() == "gedcom!") {
        ExportGedcom();
        Combo1.setText("");
    }
}

std::string Holmtex::commandBoxDescription() { return msg::commandBoxDescription(); }

bool Holmtex::isCommandWord(std::string_view text) {
    for (const char* word : {"datacheck!", "kopie!", "import!", "export!", "hilfe", "befehl!",
                             "reparatur!", "pdf!", "drucken!", "gedcom!"})
        if (text == word) return true;
    return false;
}

void Holmtex::Command8_Click() {
    List1.clear();
    Text5.setText("");
    // A missing list searches as a list without pages; a damaged tail shows the whole
    // records before it.
    LineList lines;
    FileSource source;
    const auto kind = selectedList();
    if (kind && source.open(filePath(dataFileName(*kind)))) {
        PageSearch search(utf8ToCp1252(Combo1.text()));
        RecordReader reader(source);
        bool any = false;
        while (reader.nextRaw(ProcessNumber) == ReadStatus::Record) {
            any = true;
            // The marker, then the list line.
            addRawListLine(lines, reader, search.found(reader) ? ">" : "  ");
        }
        if (any) reader.decodeInto(CurrentRecord);
    }
    List1.setLines(std::move(lines));
}

void Holmtex::ExportTransfer() { transferAndSay(*this, msg::Transfer::Export); }

void Holmtex::CopyTransfer() { transferAndSay(*this, msg::Transfer::Copy); }

void Holmtex::ImportTransfer() {
    const std::filesystem::path transfer = filePath(transferFileName());
    const std::filesystem::path list =
        filePath(dataFileName(selectedList().value_or(ListKind::Aktuell)));
    // An import cut short removes its transfer file first, and an export cut short is
    // finished; failing that, the list refuses the pages and the transfer file reads as
    // damaged.
    std::optional<std::string> failure;
    for (const auto& file : {list, transfer})
        if (const Recovery found = finishAppendTo(file); found.ok() && !found.quiet() && !failure)
            failure = msg::unfinishedAppendNotice(found);
    if (!failure) failure = importPages(*this, transfer);
    if (failure) {
        Text5.setText(*failure);
        Combo1.setText("");
        return;
    }
    const FileResult removed = removeFile(transfer);
    if (!removed) {
        endAppend(list);
        // The pages are in the list now; importing the file again would double them.
        Text5.setText(msg::importedButNotRemoved(removed.error));
        Combo1.setText("");
        return;
    }
    // Until the folder is on the disk, a power cut could bring the file back to be
    // imported a second time.
    const int syncError = syncFolder(workDir()).error;
    endAppend(list);
    Text5.setText(msg::importedAndRemoved());
    Combo1.setText("");
    RefreshList();
    if (syncError)
        Text5.setText(msg::importedButRemovalNotSafe(syncError));
    else if (!listReadProblem().empty())
        Text5.setText(msg::doneButListNotWhole(msg::Done::PagesImported, listReadProblem()));
}

void Holmtex::CheckData() {
    // The records go into check.dat as the bytes they are, read and written in one pass.
    const std::filesystem::path list = filePath(dataFileName(ListKind::Aktuell));
    // Failing that, the tail shows as damaged.
    if (const Recovery found = finishAppendTo(list); found.ok() && !found.quiet()) {
        Text5.setText(msg::unfinishedAppendNotice(found));
        return;
    }
    FileSource source;
    ReadStatus status = ReadStatus::Damaged;
    int writeError = 0;
    bool unsafe = false;  // check.dat is in place, its folder perhaps not on the disk
    if (source.open(list)) {
        const std::filesystem::path checkFile = filePath(checkFileName());
        FileReplacement check(checkFile, workFileFor(checkFile), LinkRule::Replace);
        writeError = check.begin().error;
        RecordReader reader(source);
        bool any = false;
        while ((status = reader.nextRaw(1)) == ReadStatus::Record) {
            any = true;
            if (!writeError) writeError = check.write(reader.rawRecord()).error;
        }
        if (any) reader.decodeInto(CurrentRecord);
        // check.dat holds the records read, also those before a damaged tail.
        if (!writeError) {
            const ReplaceResult committed = check.commit();
            writeError = committed.failure.error;
            unsafe = committed.replaced;
        }
    }
    // A missing list counts as damaged data; one that cannot be read says why.
    const int readError = source.error() == ENOENT ? 0 : source.error();
    if (readError)
        Text5.setText(msg::checkNotFinished(readError));
    else if (status != ReadStatus::End)
        Text5.setText(msg::checkFoundDamage());
    else if (writeError)
        Text5.setText(unsafe ? msg::checkSoundButNotSafe(writeError)
                             : msg::checkSoundButNotWritten(writeError));
    else
        Text5.setText(msg::checkSound());
}

}  // namespace holmtex
