#include "export/gedcom_lines.h"

#include <cstring>
#include <utility>

namespace holmtex {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// "level [@xref@] TAG [value]"; false when the line is not of that shape.
bool parseLine(std::string_view text, int& level, std::string& xref, std::string& tag,
               std::string& raw) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    const std::size_t digits = i;
    level = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - digits < 2)
        level = level * 10 + (text[i++] - '0');
    if (i == digits || i == text.size() || !isBlank(text[i])) return false;
    while (i < text.size() && isBlank(text[i])) ++i;
    xref.clear();
    if (i < text.size() && text[i] == '@') {
        const std::size_t close = text.find('@', i + 1);
        if (close == std::string_view::npos || close == i + 1) return false;
        xref.assign(text.substr(i + 1, close - i - 1));
        i = close + 1;
        while (i < text.size() && isBlank(text[i])) ++i;
    }
    std::size_t tagEnd = i;
    while (tagEnd < text.size() && !isBlank(text[tagEnd])) ++tagEnd;
    if (tagEnd == i) return false;
    tag.assign(text.substr(i, tagEnd - i));
    raw.assign(tagEnd < text.size() ? text.substr(tagEnd + 1) : std::string_view());
    return true;
}

}  // namespace

namespace {

// Three or four letters as one number.
constexpr std::uint32_t packed(std::string_view tag) {
    std::uint32_t bits = 0;
    for (const char c : tag) bits = bits << 8 | static_cast<unsigned char>(c);
    return bits;
}

}  // namespace

Tag tagOf(std::string_view tag) {
    // In the order of Tag, from Head on.
    static constexpr std::uint32_t kTags[] = {
        packed("HEAD"), packed("TRLR"), packed("INDI"), packed("FAM"),  packed("NOTE"),
        packed("SOUR"), packed("CHAR"), packed("NAME"), packed("TYPE"), packed("SEX"),
        packed("FAMC"), packed("FAMS"), packed("BIRT"), packed("CHR"),  packed("BAPM"),
        packed("DEAT"), packed("BURI"), packed("DATE"), packed("PLAC"), packed("HUSB"),
        packed("WIFE"), packed("CHIL"), packed("MARR"), packed("REFN"), packed("TITL"),
        packed("ABBR"), packed("CONC"), packed("CONT")};
    if (tag.size() < 3 || tag.size() > 4) return Tag::Other;
    const std::uint32_t bits = packed(tag);
    for (std::size_t k = 0; k < std::size(kTags); ++k)
        if (kTags[k] == bits) return static_cast<Tag>(k + 1);
    return Tag::Other;
}

GedcomLineReader::GedcomLineReader(ByteSource& source, GedcomProgress progress)
    : source_(source), progress_(std::move(progress)) {}

bool GedcomLineReader::fill() {
    if (eof_ || failed_ || cancelled_) return false;
    if (pos_ > 0) {
        buf_.erase(0, pos_);
        pos_ = 0;
    }
    std::string& into = isUtf16_ ? raw_ : buf_;
    const std::size_t old = isUtf16_ ? 0 : buf_.size();
    into.resize(old + kChunk);
    const long got = source_.read(into.data() + old, kChunk);
    into.resize(old + static_cast<std::size_t>(got > 0 ? got : 0));
    if (got < 0) failed_ = true;
    if (got == 0) eof_ = true;
    if (got <= 0) return false;
    bytesRead_ += static_cast<std::uint64_t>(got);
    if (isUtf16_) utf16_.decode(raw_, buf_);
    if (progress_ && !progress_(bytesRead_)) cancelled_ = true;
    return !cancelled_;
}

bool GedcomLineReader::start() {
    started_ = true;
    while (buf_.size() < 4 && fill()) {
    }
    if (failed_ || cancelled_) return false;
    const GedcomCharset found = sniffCharset(buf_, markSize_);
    charsetFixed_ = markSize_ > 0 || found != GedcomCharset::Utf8;
    if (found == GedcomCharset::Utf16LE || found == GedcomCharset::Utf16BE) {
        isUtf16_ = true;
        utf16_ = Utf16Decoder(found == GedcomCharset::Utf16BE);
        const std::string bytes = buf_.substr(markSize_);
        buf_.clear();
        utf16_.decode(bytes, buf_);
    } else {
        pos_ = markSize_;
    }
    return true;
}

std::size_t GedcomLineReader::lineEnd(const char* begin, std::size_t size) const {
    if (loneCr_) {  // a CR alone ends lines here: look for either byte
        std::size_t end = 0;
        while (end < size && begin[end] != '\n' && begin[end] != '\r') ++end;
        return end;
    }
    const void* lf = std::memchr(begin, '\n', size);
    const std::size_t end =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : size;
    const void* cr = std::memchr(begin, '\r', end);
    return cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - begin) : end;
}

bool GedcomLineReader::physicalLine(std::string_view& line) {
    for (;;) {
        const std::size_t avail = buf_.size() - pos_;
        const char* begin = buf_.data() + pos_;
        const std::size_t end = lineEnd(begin, avail);
        if (end < avail) {
            // A CR at the end of what is at hand may be the first half of CR LF.
            if (begin[end] == '\r' && end + 1 == avail && !eof_) {
                if (!fill() && (failed_ || cancelled_)) return false;
                continue;
            }
            const bool crlf = begin[end] == '\r' && end + 1 < avail && begin[end + 1] == '\n';
            if (begin[end] == '\r' && !crlf) loneCr_ = true;
            pos_ += end + (crlf ? 2 : 1);
            if (std::exchange(skipToLineEnd_, false)) continue;
            line = std::string_view(begin, end);
            return true;
        }
        if (skipToLineEnd_) {
            pos_ = buf_.size();
        } else if (avail >= kMaxGedcomValue) {
            line = std::string_view(begin, kMaxGedcomValue);
            pos_ += kMaxGedcomValue;
            skipToLineEnd_ = longLines_ = true;
            return true;
        }
        if (fill()) continue;
        if (failed_ || cancelled_ || pos_ == buf_.size()) return false;
        // The last line of the data has no line end.
        line = std::string_view(buf_).substr(pos_);
        pos_ = buf_.size();
        if (std::exchange(skipToLineEnd_, false)) return false;
        return true;
    }
}

bool GedcomLineReader::readAhead() {
    std::string_view text;
    while (physicalLine(text)) {
        if (text.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (!parseLine(text, ahead_.level, ahead_.xref, ahead_.tag, ahead_.raw)) {
            badLines_ = true;
            continue;
        }
        if (text.size() > 255) longLines_ = true;
        ahead_.id = tagOf(ahead_.tag);
        ahead_.held = true;
        return true;
    }
    return false;
}

bool GedcomLineReader::isContinuationOf(int level) const {
    return ahead_.held && ahead_.level == level + 1 && ahead_.xref.empty() &&
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
    if (!ahead_.held && !readAhead()) return stopped();
    line.level = ahead_.level;
    line.xref.swap(ahead_.xref);
    line.tag.swap(ahead_.tag);
    line.id = ahead_.id;
    joined_.swap(ahead_.raw);
    ahead_.held = false;
    bool cut = false;
    while (readAhead() && isContinuationOf(line.level)) {
        ahead_.held = false;
        if (cut) continue;
        if (ahead_.id == Tag::Cont) joined_.push_back('\n');
        joined_ += ahead_.raw;
        if (joined_.size() > kMaxGedcomValue) {
            joined_.resize(kMaxGedcomValue);
            cut = cutChains_ = true;
        }
    }
    if (failed_ || cancelled_) return stopped();
    if (charset_ == GedcomCharset::Utf8 && isValidUtf8(joined_)) {
        line.value.swap(joined_);  // as it is
    } else {
        line.value.clear();
        appendAsUtf8(line.value, joined_, charset_);
    }
    return Status::Line;
}

std::string_view pointerIn(std::string_view value) {
    if (value.size() < 3 || value.front() != '@' || value.back() != '@') return {};
    const std::string_view inside = value.substr(1, value.size() - 2);
    if (inside.front() == '#' || inside.find_first_of("@ ") != std::string_view::npos) return {};
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
