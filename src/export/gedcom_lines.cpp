#include "export/gedcom_lines.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace holmtex {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kPad = 16;  // zeros behind the bytes at hand, for loads past their end

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::uint64_t load64(const char* p) {
    std::uint64_t bytes;
    std::memcpy(&bytes, p, 8);
    return bytes;
}

// Three or four bytes of a tag as one number, the first in the low byte.
constexpr std::uint32_t packed(std::string_view tag) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < tag.size(); ++i)
        bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(tag[i])) << (8 * i);
    return bits;
}

constexpr std::pair<std::string_view, Tag> kTags[] = {
    {"HEAD", Tag::Head}, {"TRLR", Tag::Trlr}, {"INDI", Tag::Indi}, {"FAM", Tag::Fam},
    {"NOTE", Tag::Note}, {"SOUR", Tag::Sour}, {"CHAR", Tag::Char}, {"NAME", Tag::Name},
    {"TYPE", Tag::Type}, {"SEX", Tag::Sex},   {"FAMC", Tag::Famc}, {"FAMS", Tag::Fams},
    {"BIRT", Tag::Birt}, {"CHR", Tag::Chr},   {"BAPM", Tag::Bapm}, {"DEAT", Tag::Deat},
    {"BURI", Tag::Buri}, {"DATE", Tag::Date}, {"PLAC", Tag::Plac}, {"HUSB", Tag::Husb},
    {"WIFE", Tag::Wife}, {"CHIL", Tag::Chil}, {"MARR", Tag::Marr}, {"REFN", Tag::Refn},
    {"TITL", Tag::Titl}, {"ABBR", Tag::Abbr}, {"CONC", Tag::Conc}, {"CONT", Tag::Cont}};

// Each known tag has a slot of its own among 64 (the multiplier was searched for that).
constexpr std::uint32_t slotOf(std::uint32_t bits) { return (bits * 0xE21079F2u) >> 26; }

struct TagSlot {
    std::uint32_t bits = 0;
    Tag id = Tag::Other;
};

constexpr std::array<TagSlot, 64> tagSlots() {
    std::array<TagSlot, 64> slots{};
    for (const auto& [name, id] : kTags) slots[slotOf(packed(name))] = {packed(name), id};
    return slots;
}

constexpr std::array<TagSlot, 64> kTagSlots = tagSlots();

// The tag of `size` bytes packed into `bits`. A zero byte in front of three letters has
// always counted as nothing, "\0FAM" as "FAM".
Tag tagOfBits(std::uint32_t bits, std::size_t size) {
    if (size == 4 && (bits & 0xFF) == 0)
        bits >>= 8;
    else if (size == 4 && (bits >> 24) == 0)
        return Tag::Other;
    else if (size != 3 && size != 4)
        return Tag::Other;
    const TagSlot& slot = kTagSlots[slotOf(bits)];
    return slot.bits == bits ? slot.id : Tag::Other;
}

// 0x80 in each byte of the word that is zero, nothing elsewhere.
std::uint64_t zeroBytes(std::uint64_t bytes) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    return ~(((bytes & kLow7) + kLow7) | bytes | kLow7);
}

// Where the first blank in [p, end) is, or end. Reads up to 15 bytes beyond the end,
// which must be there.
const char* blankIn(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    for (const char* at = p; at < end; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const auto hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, space), _mm_cmpeq_epi8(bytes, tab))));
        if (hits) return std::min(end, at + std::countr_zero(hits));
    }
    return end;
#else
    while (p < end && !isBlank(*p)) ++p;
    return p;
#endif
}

// Where the line in [begin, begin + size) ends: its CR or LF, or size. `ascii` tells
// whether the bytes before that end are all ASCII (false when not known). Reads up to 15
// bytes beyond the end, which must be there.
std::size_t lineEnd(const char* begin, std::size_t size, bool& ascii) {
    ascii = false;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    bool highBefore = false;  // a byte beyond ASCII in the blocks before
    for (std::size_t at = 0; at < size; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + at));
        const auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr))));
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if (hits) {
            ascii = !highBefore && (high & ((hits & (0u - hits)) - 1)) == 0;
            return std::min(size, at + static_cast<std::size_t>(std::countr_zero(hits)));
        }
        highBefore = highBefore || high != 0;
    }
    return size;
#else
    const void* lf = std::memchr(begin, '\n', size);
    const std::size_t end =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : size;
    const void* cr = std::memchr(begin, '\r', end);
    return cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - begin) : end;
#endif
}

// Whether every byte beyond ASCII is part of a two-byte letter U+0080 to U+00FF, as in
// most German names: such text is UTF-8. False says nothing. Reads up to 15 bytes beyond
// the end, which must be there.
bool isLatinUtf8(std::string_view text) {
#if defined(__SSE2__)
    unsigned carry = 0;  // a lead byte at the end of the block before
    for (std::size_t at = 0; at < text.size(); at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        const unsigned inside = text.size() - at >= 16 ? 0xFFFF : (1u << (text.size() - at)) - 1;
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes)) & inside;
        const auto leads = static_cast<unsigned>(_mm_movemask_epi8(
                               _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\xC2')),
                                            _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\xC3'))))) &
                           inside;
        const auto tails = static_cast<unsigned>(_mm_movemask_epi8(
                               _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xC0))))) &
                           inside;  // 0x80 to 0xBF
        // Each lead byte is followed by one continuation byte, and nothing else is there.
        if (high != (leads | tails) || tails != (((leads << 1) | carry) & 0xFFFF)) return false;
        carry = leads >> 15;
    }
    return carry == 0;
#else
    (void)text;
    return false;
#endif
}

}  // namespace

Tag tagOf(std::string_view tag) {
    return tag.size() == 3 || tag.size() == 4 ? tagOfBits(packed(tag), tag.size()) : Tag::Other;
}

namespace {

// The level and cross-reference of a line, any blanks around them: p is left at the tag.
bool parseHead(const char*& p, const char* end, int& level, std::string_view& xref) {
    while (p < end && isBlank(*p)) ++p;
    if (p == end || !isDigit(*p)) return false;
    level = *p++ - '0';
    if (p < end && isDigit(*p)) level = level * 10 + (*p++ - '0');
    if (p == end || !isBlank(*p)) return false;
    while (++p < end && isBlank(*p)) {
    }
    if (p < end && *p == '@') {
        const char* close = p + 1;
        while (close < end && *close != '@') ++close;
        if (close == end || close == p + 1) return false;
        xref = std::string_view(p + 1, static_cast<std::size_t>(close - p - 1));
        p = close + 1;
        while (p < end && isBlank(*p)) ++p;
    }
    return true;
}

// "level [@xref@] TAG [value]"; false when the line is not of that shape. Reads up to 15
// bytes beyond the line, which must be there.
bool parseLine(std::string_view text, int& level, std::string_view& xref, Tag& id,
               std::string_view& raw) {
    const char* p = text.data();
    const char* const end = p + text.size();
    xref = {};
    const std::uint64_t first = load64(p);
    const auto byte = [&](int i) { return static_cast<char>(first >> (8 * i)); };
    if (text.size() >= 3 && isDigit(byte(0)) && byte(1) == ' ' && byte(2) != '@' &&
        !isBlank(byte(2))) {
        // The usual "1 NAME …": the tag's end among the first eight bytes.
        const std::uint64_t blanks =
            (zeroBytes(first ^ 0x2020202020202020ULL) | zeroBytes(first ^ 0x0909090909090909ULL)) &
            ~std::uint64_t{0xFFFF};
        const std::size_t tagEnd =
            std::min<std::size_t>(blanks ? std::countr_zero(blanks) / 8 : 8, text.size());
        if (tagEnd < 8 || text.size() == 8) {
            level = byte(0) - '0';
            const std::size_t size = tagEnd - 2;
            id = size == 3 || size == 4 ? tagOfBits(static_cast<std::uint32_t>(first >> 16) &
                                                        (size == 3 ? 0xFFFFFFu : 0xFFFFFFFFu),
                                                    size)
                                        : Tag::Other;
            raw = tagEnd < text.size() ? text.substr(tagEnd + 1) : std::string_view();
            return true;
        }
    }
    if (!parseHead(p, end, level, xref)) return false;
    const char* tagEnd = blankIn(p, end);
    if (tagEnd == p) return false;
    id = tagOf(std::string_view(p, static_cast<std::size_t>(tagEnd - p)));
    raw = tagEnd < end ? std::string_view(tagEnd + 1, static_cast<std::size_t>(end - tagEnd - 1))
                       : std::string_view();
    return true;
}

}  // namespace

void GedcomLine::decode() const {
    valueReady_ = true;
    // ASCII reads the same in every character set.
    if (ascii_ || (charset_ == GedcomCharset::Utf8 &&
                   ((inBuffer_ && isLatinUtf8(raw_)) || isValidUtf8(raw_)))) {
        value_ = raw_;  // as it is
        return;
    }
    converted_->clear();
    appendAsUtf8(*converted_, raw_, charset_);
    value_ = *converted_;
}

GedcomLineReader::GedcomLineReader(ByteSource& source, GedcomProgress progress)
    : source_(source), progress_(std::move(progress)) {}

void GedcomLineReader::reserve(std::size_t more) {
    if (size_ + more + kPad <= capacity_) return;
    const std::size_t capacity = std::max(2 * capacity_, size_ + more + kPad);
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (size_) std::memcpy(grown.get(), buf_.get(), size_);
    buf_ = std::move(grown);
    capacity_ = capacity;
}

void GedcomLineReader::append(const char* bytes, std::size_t size) {
    reserve(size);
    if (size) std::memcpy(buf_.get() + size_, bytes, size);
    size_ += size;
    std::memset(buf_.get() + size_, 0, kPad);
}

void GedcomLineReader::keepCurrent() {
    if (!currentInBuffer_) return;
    currentInBuffer_ = false;
    keptXref_.assign(current_.xref);
    current_.xref = keptXref_;
    if (!joinedHolds_) joined_.assign(current_.raw);
    joinedHolds_ = true;
}

bool GedcomLineReader::fill() {
    if (eof_ || failed_ || cancelled_) return false;
    keepCurrent();
    if (pos_ > 0) {
        std::memmove(buf_.get(), buf_.get() + pos_, size_ - pos_);
        size_ -= pos_;
        pos_ = 0;
    }
    long got;
    if (isUtf16_) {
        raw16_.resize(kChunk);
        got = source_.read(raw16_.data(), kChunk);
    } else {
        reserve(kChunk);
        got = source_.read(buf_.get() + size_, kChunk);
    }
    if (got < 0) failed_ = true;
    if (got == 0) eof_ = true;
    if (got <= 0) return false;
    bytesRead_ += static_cast<std::uint64_t>(got);
    if (isUtf16_) {
        decoded16_.clear();
        utf16_.decode(std::string_view(raw16_.data(), static_cast<std::size_t>(got)), decoded16_);
        append(decoded16_.data(), decoded16_.size());
    } else {
        size_ += static_cast<std::size_t>(got);
        std::memset(buf_.get() + size_, 0, kPad);
    }
    if (progress_ && !progress_(bytesRead_)) cancelled_ = true;
    return !cancelled_;
}

bool GedcomLineReader::start() {
    started_ = true;
    while (size_ < 4 && fill()) {
    }
    if (failed_ || cancelled_) return false;
    const GedcomCharset found = sniffCharset(std::string_view(buf_.get(), size_), markSize_);
    charsetFixed_ = markSize_ > 0 || found != GedcomCharset::Utf8;
    if (found == GedcomCharset::Utf16LE || found == GedcomCharset::Utf16BE) {
        isUtf16_ = true;
        utf16_ = Utf16Decoder(found == GedcomCharset::Utf16BE);
        utf16_.decode(std::string_view(buf_.get(), size_).substr(markSize_), decoded16_);
        size_ = 0;
        append(decoded16_.data(), decoded16_.size());
    } else {
        pos_ = markSize_;
    }
    return true;
}

bool GedcomLineReader::physicalLine(std::string_view& line, bool& ascii) {
    for (;;) {
        const std::size_t avail = size_ - pos_;
        const char* begin = buf_.get() + pos_;
        const std::size_t end = avail ? lineEnd(begin, avail, ascii) : 0;
        if (end < avail) {
            // A CR at the end of what is at hand may be the first half of CR LF.
            if (begin[end] == '\r' && end + 1 == avail && !eof_) {
                if (!fill() && (failed_ || cancelled_)) return false;
                continue;
            }
            const bool crlf = begin[end] == '\r' && end + 1 < avail && begin[end + 1] == '\n';
            pos_ += end + (crlf ? 2 : 1);
            if (std::exchange(skipToLineEnd_, false)) continue;
            line = std::string_view(begin, end);
            return true;
        }
        ascii = false;
        if (skipToLineEnd_) {
            pos_ = size_;
        } else if (avail >= kMaxGedcomValue) {
            line = std::string_view(begin, kMaxGedcomValue);
            pos_ += kMaxGedcomValue;
            skipToLineEnd_ = longLines_ = true;
            return true;
        }
        if (fill()) continue;
        if (failed_ || cancelled_ || pos_ == size_) return false;
        // The last line of the data has no line end.
        line = std::string_view(buf_.get() + pos_, size_ - pos_);
        pos_ = size_;
        if (std::exchange(skipToLineEnd_, false)) return false;
        return true;
    }
}

bool GedcomLineReader::readAhead() {
    std::string_view text;
    for (;;) {
        // Most lines lie whole in the bytes at hand with a byte behind their end; the
        // others, the ends of the data and lines cut at kMaxGedcomValue go the long way.
        const std::size_t avail = size_ - pos_;
        const char* begin = buf_.get() + pos_;
        std::size_t end = avail;
        if (avail > 1 && !skipToLineEnd_) end = lineEnd(begin, avail, ahead_.ascii);
        if (end + 1 < avail) {
            pos_ += end + (begin[end] == '\r' && begin[end + 1] == '\n' ? 2 : 1);
            text = std::string_view(begin, end);
        } else if (!physicalLine(text, ahead_.ascii)) {
            return false;
        }
        if (text.empty() || (isBlank(text[0]) && text.find_first_not_of(" \t") == text.npos))
            continue;
        if (!parseLine(text, ahead_.level, ahead_.xref, ahead_.id, ahead_.raw)) {
            badLines_ = true;
            continue;
        }
        if (text.size() > 255) longLines_ = true;
        aheadHeld_ = true;
        return true;
    }
}

bool GedcomLineReader::isContinuationOf(int level) const {
    return aheadHeld_ && ahead_.level == level + 1 && ahead_.xref.empty() &&
           (ahead_.id == Tag::Conc || ahead_.id == Tag::Cont);
}

void GedcomLineReader::setCharset(GedcomCharset charset) {
    if (!charsetFixed_) charset_ = charset;
}

GedcomLineReader::Status GedcomLineReader::next(GedcomLine& line) {
    auto stopped = [&] {
        return failed_ ? Status::Failed : cancelled_ ? Status::Cancelled : Status::End;
    };
    if (!started_ && !start()) return stopped();
    if (!aheadHeld_ && !readAhead()) return stopped();
    current_ = ahead_;
    aheadHeld_ = false;
    currentInBuffer_ = true;
    joinedHolds_ = false;
    bool cut = false;
    while (readAhead() && isContinuationOf(current_.level)) {
        aheadHeld_ = false;
        if (cut) continue;
        if (!joinedHolds_) joined_.assign(current_.raw);
        joinedHolds_ = true;
        current_.ascii = current_.ascii && ahead_.ascii;
        if (ahead_.id == Tag::Cont) joined_.push_back('\n');
        joined_ += ahead_.raw;
        if (joined_.size() > kMaxGedcomValue) {
            joined_.resize(kMaxGedcomValue);
            cut = cutChains_ = true;
        }
    }
    if (failed_ || cancelled_) return stopped();
    line.level = current_.level;
    line.id = current_.id;
    line.xref = current_.xref;
    line.raw_ = joinedHolds_ ? std::string_view(joined_) : current_.raw;
    line.charset_ = charset_;
    line.ascii_ = current_.ascii;
    line.inBuffer_ = currentInBuffer_ && !joinedHolds_;
    line.converted_ = &converted_;
    line.valueReady_ = false;
    return Status::Line;
}

std::string_view pointerIn(std::string_view value) {
    if (value.size() < 3 || value.front() != '@' || value.back() != '@') return {};
    const std::string_view inside = value.substr(1, value.size() - 2);
    if (inside.front() == '#') return {};
    for (const char c : inside)
        if (c == '@' || c == ' ') return {};
    return inside;
}

std::string textOf(std::string_view value) {
    if (value.find("@@") == std::string_view::npos) return std::string(value);
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        out.push_back(value[i]);
        if (value[i] == '@' && i + 1 < value.size() && value[i + 1] == '@') ++i;
    }
    return out;
}

}  // namespace holmtex
