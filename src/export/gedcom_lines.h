#pragma once
// A genealogy file read as a stream of lines "level [@xref@] TAG [value]": any of the
// line ends CR, LF and CR LF, the character set found at the start or named by the
// header, and the CONC and CONT lines of a value joined to it. Only a window of the file
// is held at any time.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "export/gedcom_charset.h"
#include "record/record_io.h"

namespace holmtex {

// Told how many bytes of the file have been read so far; false stops the reading.
using GedcomProgress = std::function<bool(std::uint64_t bytesRead)>;

// The longest value kept, in bytes: a longer line, or a longer chain of CONC and CONT
// lines, is cut there.
constexpr std::size_t kMaxGedcomValue = std::size_t{1} << 20;

// The tags the pages are made from; any other is Other.
enum class Tag : std::uint8_t {
    Other,
    Head,
    Trlr,
    Indi,
    Fam,
    Note,
    Sour,
    Char,
    Name,
    Type,
    Sex,
    Famc,
    Fams,
    Birt,
    Chr,
    Bapm,
    Deat,
    Buri,
    Date,
    Plac,
    Husb,
    Wife,
    Chil,
    Marr,
    Refn,
    Titl,
    Abbr,
    Conc,
    Cont
};
Tag tagOf(std::string_view tag);

// One line with its continuations. Its texts point into the reader and hold until the
// reader's next line.
class GedcomLine {
public:
    int level = 0;
    std::string_view xref;  // "I1" for "@I1@"; empty when the line has none
    Tag id = Tag::Other;    // of the tag

    // UTF-8, with its continuation lines; "@@" as in the file. Most values are never
    // looked at, so the bytes are checked and converted at the first ask only.
    std::string_view value() const {
        if (!valueReady_) decode();
        return value_;
    }

private:
    friend class GedcomLineReader;
    void decode() const;

    std::string_view raw_;  // as in the file
    GedcomCharset charset_ = GedcomCharset::Utf8;
    bool ascii_ = false;                // raw_ has no byte beyond ASCII
    bool inBuffer_ = false;             // raw_ lies in the reader's bytes, which run on
    std::string* converted_ = nullptr;  // where a value that is not UTF-8 as it is goes
    mutable std::string_view value_;
    mutable bool valueReady_ = false;
};

class GedcomLineReader {
public:
    enum class Status { Line, End, Cancelled, Failed };

    GedcomLineReader(ByteSource& source, GedcomProgress progress);

    // The next line, its CONC and CONT lines joined: CONT as a line break "\n".
    Status next(GedcomLine& line);
    // How the values are written from the next line on; a byte-order mark or UTF-16
    // found at the start stays in force.
    void setCharset(GedcomCharset charset);

    std::uint64_t bytesRead() const { return bytesRead_; }
    // Lines longer than the format's 255 characters (read anyway; cut at kMaxGedcomValue).
    bool longLines() const { return longLines_; }
    // A chain of continuation lines longer than kMaxGedcomValue, cut there.
    bool cutChains() const { return cutChains_; }
    // Lines that are not "level tag", left out.
    bool badLines() const { return badLines_; }

private:
    // A line's parts, pointing into the bytes at hand until they are kept apart.
    struct Parts {
        int level = 0;
        Tag id = Tag::Other;
        std::string_view xref, raw;
        bool ascii = false;  // raw has no byte beyond ASCII (false when not known)
    };

    bool fill();   // false at the end of the data, on a failure or when cancelled
    bool start();  // the first bytes: their character set
    bool physicalLine(std::string_view& line, bool& ascii);
    bool readAhead();  // the next well-formed line into ahead_; false at the end
    bool isContinuationOf(int level) const;
    // Copies the line being joined out of the bytes at hand, which are about to move.
    void keepCurrent();
    void reserve(std::size_t more);  // room for `more` bytes behind the bytes at hand
    void append(const char* bytes, std::size_t size);

    ByteSource& source_;
    GedcomProgress progress_;
    // The bytes at hand (UTF-8 for UTF-16 files) are [pos_, size_) of buf_; room for a
    // 16-byte load is kept behind them.
    std::unique_ptr<char[]> buf_;
    std::size_t capacity_ = 0, size_ = 0, pos_ = 0;
    std::string raw16_, decoded16_;  // a read's bytes of a UTF-16 file, and as UTF-8
    bool eof_ = false, failed_ = false, cancelled_ = false, started_ = false;
    bool skipToLineEnd_ = false;  // the rest of a line cut at kMaxGedcomValue
    GedcomCharset charset_ = GedcomCharset::Utf8;
    bool charsetFixed_ = false;
    Utf16Decoder utf16_{false};
    bool isUtf16_ = false;
    std::size_t markSize_ = 0;
    std::uint64_t bytesRead_ = 0;
    bool longLines_ = false, cutChains_ = false, badLines_ = false;
    Parts ahead_;
    bool aheadHeld_ = false;
    Parts current_;                 // the line being joined with its continuations
    bool currentInBuffer_ = false;  // its xref and raw still point into buf_
    bool joinedHolds_ = false;      // joined_ holds its value
    std::string joined_, keptXref_, converted_;
};

// A value that points at a record: "@I1@" gives "I1"; empty when it is text.
std::string_view pointerIn(std::string_view value);
// A text value as it reads: "@@" as "@".
std::string textOf(std::string_view value);

}  // namespace holmtex
