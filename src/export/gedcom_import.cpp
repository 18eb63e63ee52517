#include "export/gedcom_import.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>
#include <vector>

#include "export/gedcom_mapping.h"
#include "export/gedcom_pages.h"
#include "export/gedcom_store.h"
#include "record/codepage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace holmtex {

namespace {

using namespace gedcom;

// Birth, baptism, death, burial, as a page's text writes them.
constexpr std::array<std::string_view, 4> kEventSigns = {"*", "~", "\u2020", "begr."};
constexpr std::string_view kDateNote = "Heirat: ";  // our own export's long wedding date
// Sources named for one person at the most: each is a line of the page's text.
constexpr int kMostSources = 16;

int eventOf(Tag tag) {
    if (tag == Tag::Birt) return 0;
    if (tag == Tag::Chr || tag == Tag::Bapm) return 1;
    if (tag == Tag::Deat) return 2;
    if (tag == Tag::Buri) return 3;
    return -1;
}

bool isControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && c != '\n' && c != '\t') || b == 0x7F;
}

// Whether the text has no "@@" and no control character but the line break and the tab.
bool isCleanText(std::string_view text) {
    auto badAt = [&](std::size_t i) {
        return isControl(text[i]) || (text[i] == '@' && i + 1 < text.size() && text[i + 1] == '@');
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time; only those with an '@' or a control character are looked at.
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i below = _mm_set1_epi8(static_cast<char>(0x20 ^ 0x80));
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i allowed = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                             _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')));
        const __m128i marked =
            _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(_mm_xor_si128(bytes, flip), below),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F))),
                         _mm_cmpeq_epi8(bytes, _mm_set1_epi8('@')));
        if (!_mm_movemask_epi8(_mm_andnot_si128(allowed, marked))) continue;
        for (std::size_t k = i; k < i + 16; ++k)
            if (badAt(k)) return false;
    }
#endif
    for (; i < text.size(); ++i)
        if (badAt(i)) return false;
    return true;
}

// A note's text without control characters other than the line break and the tab; in
// `kept` when it had to be changed.
std::string_view cleanText(std::string_view value, std::string& kept) {
    if (isCleanText(value)) return value;
    kept = textOf(value);
    std::erase_if(kept, isControl);
    return kept;
}

struct NameDraft {
    std::string value;
    bool birth = false;  // TYPE birth
};
using NameDrafts = std::span<const NameDraft>;

struct EventDraft {
    std::string date, place;
    bool seen = false, yes = false;  // "1 DEAT Y": known to have happened
};

// A woman's birth name as "geb.": a birth name beside another name, or a birth name alone.
std::string chosenName(NameDrafts names, char sex) {
    const NameDraft* birth = nullptr;
    const NameDraft* other = nullptr;
    for (const NameDraft& name : names) {
        if (name.birth && !birth) birth = &name;
        if (!name.birth && !other) other = &name;
    }
    if (!birth) return nameOf(names.front().value);
    const std::string birthSurname = surnameOf(birth->value);
    if (birthSurname.empty()) return nameOf(other ? other->value : birth->value);
    if (other) {
        const std::string name = nameOf(other->value);
        if (surnameOf(other->value) == birthSurname) return name;
        return name.empty() ? "geb. " + birthSurname : name + " geb. " + birthSurname;
    }
    if (sex != 'F') return nameOf(birth->value);
    const std::string given = givenOf(birth->value);
    return given.empty() ? "geb. " + birthSurname : given + " geb. " + birthSurname;
}

// The name a page shows for the person, into `out`; most persons have one name only.
void nameInto(std::string& out, NameDrafts names, char sex) {
    out.clear();
    if (names.size() == 1 && !names.front().birth)
        appendNameOf(out, names.front().value);
    else if (!names.empty())
        out = chosenName(names, sex);
}

enum class Section { None, Head, Person, Family, Note, Source, Skip };

// Takes the lines of the file record by record into the store.
class RecordParser {
public:
    RecordParser(Store& store, GedcomLineReader& lines) : store_(store), lines_(lines) {}
    void line(const GedcomLine& line);
    // The record read last is whole: into the store with it.
    void finish();

    bool duplicates = false;     // a record with a cross-reference given before
    bool continuations = false;  // a CONC or CONT that continues nothing

private:
    void begin(const GedcomLine& line);
    void personLine(const GedcomLine& line);
    void familyLine(const GedcomLine& line);
    void addSource(std::string_view value);
    void commitPerson();
    void commitFamily();
    std::uint32_t pointer(std::string_view value) {
        const std::string_view to = pointerIn(value);
        return to.empty() ? kNone : store_.xrefs.id(to);
    }

    Store& store_;
    GedcomLineReader& lines_;
    Section section_ = Section::None;
    std::uint32_t xref_ = kNone;
    Tag tag1_ = Tag::Other;  // the tag of the last line at level 1
    int event_ = -1;         // the event that line began, while it is the first of its kind
    // The record being read.
    std::vector<NameDraft> names_;  // the first nameCount_ are the record's; the others kept
    std::size_t nameCount_ = 0;     // for their room
    char sex_ = 0;
    std::array<EventDraft, 4> events_;
    std::string sources_;  // source lines of the facts, each ending in "\n"
    int sourceCount_ = 0;
    std::uint32_t famc_ = kNone, fams_ = kNone, husband_ = kNone, wife_ = kNone;
    std::string date_, place_, dateNote_, refn_, text_;
    std::string facts_, kept_, name_;
    std::uint32_t firstChild_ = 0, firstNote_ = 0;
};

void RecordParser::line(const GedcomLine& line) {
    if (line.id == Tag::Conc || line.id == Tag::Cont) {
        continuations = true;  // one that belongs to a value is joined to it already
        return;
    }
    if (line.level == 0) {
        finish();
        begin(line);
        return;
    }
    if (line.level == 1) tag1_ = line.id;
    GedcomCharset charset;
    switch (section_) {
        case Section::Head:
            if (line.level == 1 && line.id == Tag::Char &&
                charsetNamed(oneLine(line.value()), charset))
                lines_.setCharset(charset);
            break;
        case Section::Person:
            personLine(line);
            break;
        case Section::Family:
            familyLine(line);
            break;
        case Section::Source:
            if (line.level == 1 &&
                (line.id == Tag::Titl || (line.id == Tag::Abbr && text_.empty())))
                text_ = oneLine(textOf(line.value()));
            break;
        default:
            break;
    }
}

void RecordParser::begin(const GedcomLine& line) {
    section_ = Section::Skip;
    xref_ = kNone;
    tag1_ = Tag::Other;
    event_ = -1;
    const Tag tag = line.id;
    if (tag == Tag::Head) section_ = Section::Head;
    const Kind kind = tag == Tag::Indi   ? Kind::Person
                      : tag == Tag::Fam  ? Kind::Family
                      : tag == Tag::Note ? Kind::Note
                      : tag == Tag::Sour ? Kind::Source
                                         : Kind::Other;
    if (!line.xref.empty()) {
        const std::uint32_t id = store_.xrefs.id(line.xref);
        if (store_.xrefs[id].kind != Kind::Unknown) {
            duplicates = true;  // the first record of that name stands
            return;
        }
        store_.xrefs[id].kind = kind;
        xref_ = id;
    }
    if (kind == Kind::Other) return;
    section_ = kind == Kind::Person   ? Section::Person
               : kind == Kind::Family ? Section::Family
               : kind == Kind::Note   ? Section::Note
                                      : Section::Source;
    nameCount_ = 0;
    sex_ = 0;
    for (EventDraft& event : events_) {
        event.date.clear(), event.place.clear();
        event.seen = event.yes = false;
    }
    sources_.clear();
    sourceCount_ = 0;
    famc_ = fams_ = husband_ = wife_ = kNone;
    date_.clear(), place_.clear(), dateNote_.clear(), refn_.clear(), text_.clear();
    firstChild_ = static_cast<std::uint32_t>(store_.children.size());
    firstNote_ = static_cast<std::uint32_t>(store_.notes.size());
    if (kind == Kind::Note) text_ = cleanText(line.value(), kept_);
}

void RecordParser::addSource(std::string_view value) {
    if (sourceCount_ == kMostSources) return;
    std::string line;
    if (const std::uint32_t source = pointer(value); source != kNone)
        line = sourceMark(source);
    else if (const std::string title = oneLine(textOf(value)); !title.empty())
        line = kSourceText + title;
    if (line.empty() || sources_.find(line + "\n") != std::string::npos) return;
    sources_ += line + "\n";
    ++sourceCount_;
}

void RecordParser::personLine(const GedcomLine& line) {
    const Tag tag = line.id;
    if (tag == Tag::Sour) return addSource(line.value());
    if (line.level == 1) {
        event_ = -1;
        if (tag == Tag::Name) {
            if (nameCount_ == names_.size()) names_.emplace_back();
            names_[nameCount_].value = line.value();
            names_[nameCount_++].birth = false;
        } else if (tag == Tag::Sex) {
            sex_ = line.value().empty() ? 0 : line.value()[0];
        } else if (tag == Tag::Famc || tag == Tag::Fams) {
            std::uint32_t& first = tag == Tag::Famc ? famc_ : fams_;
            if (first == kNone) first = pointer(line.value());
        } else if (const int e = eventOf(tag); e >= 0 && !events_[e].seen) {
            event_ = e;
            events_[e].seen = true;
            events_[e].yes = upperAscii(oneLine(line.value())) == "Y";
        }
    } else if (line.level == 2 && tag1_ == Tag::Name && tag == Tag::Type && nameCount_ > 0) {
        names_[nameCount_ - 1].birth = upperAscii(oneLine(line.value())) == "BIRTH";
    } else if (line.level == 2 && event_ >= 0 && (tag == Tag::Date || tag == Tag::Plac)) {
        std::string& into = tag == Tag::Date ? events_[event_].date : events_[event_].place;
        if (into.empty()) into = line.value();
    }
}

void RecordParser::familyLine(const GedcomLine& line) {
    const Tag tag = line.id;
    if (line.level == 2 && tag1_ == Tag::Marr) {
        if (tag == Tag::Date && date_.empty()) date_ = line.value();
        if (tag == Tag::Plac && place_.empty()) place_ = line.value();
        if (tag == Tag::Note && line.value().starts_with(kDateNote))
            dateNote_ = oneLine(textOf(line.value().substr(kDateNote.size())));
        return;
    }
    if (line.level != 1) return;
    if (tag == Tag::Husb && husband_ == kNone) husband_ = pointer(line.value());
    if (tag == Tag::Wife && wife_ == kNone) wife_ = pointer(line.value());
    if (tag == Tag::Chil)
        if (const std::uint32_t child = pointer(line.value()); child != kNone)
            store_.children.push_back(child);
    if (tag == Tag::Refn && refn_.empty()) refn_ = oneLine(textOf(line.value()));
    if (tag == Tag::Note) {
        const std::uint32_t note = pointer(line.value());
        const std::string_view text = note == kNone ? cleanText(line.value(), kept_) : "";
        if (note != kNone) store_.notes.push_back({kPointer, note, 0});
        if (!text.empty()) store_.notes.push_back(store_.pool.add(text));
    }
}

void RecordParser::commitPerson() {
    std::string& facts = facts_;
    facts.clear();
    for (std::size_t e = 0; e < events_.size(); ++e) {
        const EventDraft& event = events_[e];
        if (!event.seen) continue;
        const std::string when = dateAndPlace(event.date, event.place);
        if (when.empty() && !event.yes) continue;
        facts.append(kEventSigns[e]).append(when.empty() ? "" : " ").append(when).append("\n");
    }
    facts += sources_;
    Person person;
    nameInto(name_, NameDrafts(names_.data(), nameCount_), sex_);
    person.name = store_.pool.add(name_);
    person.facts = store_.pool.add(facts);
    person.famc = famc_;
    person.fams = fams_;
    if (xref_ != kNone)
        store_.xrefs[xref_].index = static_cast<std::uint32_t>(store_.persons.size());
    store_.persons.push_back(person);
}

void RecordParser::commitFamily() {
    Family family;
    family.xref = xref_;
    family.husband = husband_;
    family.wife = wife_;
    family.firstChild = firstChild_;
    family.children = static_cast<std::uint32_t>(store_.children.size()) - firstChild_;
    family.firstNote = firstNote_;
    family.notes = static_cast<std::uint32_t>(store_.notes.size()) - firstNote_;
    family.date = store_.pool.add(dateNote_.empty() ? dateAndPlace(date_, place_) : dateNote_);
    family.refn = store_.pool.add(refn_);
    if (xref_ != kNone)
        store_.xrefs[xref_].index = static_cast<std::uint32_t>(store_.families.size());
    store_.families.push_back(family);
}

void RecordParser::finish() {
    if (section_ == Section::Person) commitPerson();
    if (section_ == Section::Family) commitFamily();
    if ((section_ == Section::Note || section_ == Section::Source) && xref_ != kNone) {
        store_.xrefs[xref_].index = static_cast<std::uint32_t>(store_.texts.size());
        store_.texts.push_back(store_.pool.add(text_));
    }
    if (xref_ != kNone && store_.xrefs[xref_].index == kNone) store_.xrefs[xref_].index = 0;
    section_ = Section::None;
    xref_ = kNone;
}

void flag(GedcomImport& result, GedcomProblem problem) {
    result.problems |= std::uint32_t{1} << static_cast<int>(problem);
    if (result.problem == GedcomProblem::None || problem < result.problem) result.problem = problem;
}

GedcomProblem stopped(GedcomLineReader::Status status) {
    return status == GedcomLineReader::Status::Cancelled ? GedcomProblem::Cancelled
                                                         : GedcomProblem::Unreadable;
}

// Reads the file into the store; false when nothing can be offered (the problem says why).
// `cut`: the file ends before its trailer.
bool readRecords(GedcomLineReader& lines, Store& store, GedcomImport& result, bool& cut) {
    using Status = GedcomLineReader::Status;
    GedcomLine line;
    Status status = lines.next(line);
    if (status == Status::End)
        flag(result, lines.badLines() ? GedcomProblem::NotGedcom : GedcomProblem::Empty);
    else if (status != Status::Line)
        flag(result, stopped(status));
    else if (line.level != 0 || line.id != Tag::Head)
        flag(result, GedcomProblem::NotGedcom);
    if (result.problem != GedcomProblem::None) return false;

    RecordParser parser(store, lines);
    parser.line(line);
    bool trailer = false;
    while (!trailer && (status = lines.next(line)) == Status::Line) {
        trailer = line.level == 0 && line.id == Tag::Trlr;
        if (!trailer) parser.line(line);
    }
    if (!trailer && status != Status::End) {
        flag(result, stopped(status));
        return false;
    }
    cut = !trailer;  // then the last record may have lost its end: it is left out
    if (trailer) parser.finish();
    if (cut) flag(result, GedcomProblem::Truncated);
    if (parser.duplicates) flag(result, GedcomProblem::DuplicateXref);
    if (parser.continuations || lines.cutChains()) flag(result, GedcomProblem::BrokenContinuation);
    if (lines.longLines()) flag(result, GedcomProblem::LongLines);
    if (lines.badLines()) flag(result, GedcomProblem::BadLines);
    return true;
}

// Adds to `lost` each character of the page that Windows-1252 has no byte for.
void noteLost(const PageDraft& page, std::vector<std::string>& lost) {
    constexpr std::size_t kKept = 9;
    for (int n = 1; n <= kItemCount && lost.size() < kKept; ++n) {
        const std::string_view text = page.items[n];
        for (std::size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            const std::string_view character = text.substr(i, length);
            i += length;
            if (length == 1 || utf8ToCp1252(character) != "?") continue;
            if (std::find(lost.begin(), lost.end(), character) != lost.end()) continue;
            lost.emplace_back(character);
            if (lost.size() == kKept) break;
        }
    }
}

void makePages(Store& store, bool cut, const LocalDateTime& stamp, const GedcomProgress& progress,
               GedcomImport& result) {
    store.xrefs.dropLookup();
    const LinkResult links = link(store, cut);
    if (links.ownAncestor) flag(result, GedcomProblem::OwnAncestor);
    result.families = static_cast<int>(store.families.size());
    result.persons = static_cast<int>(store.persons.size());
    result.personsWithoutFamily = links.personsWithoutFamily;
    result.familiesLeftOut = links.familiesLeftOut;
    bool missing = links.missingRecords;
    // Room for the pages at once: growing would copy them and touch twice the memory. What
    // is not used of it is never touched; pages are rarely half as long as their file.
    result.records.reserve(result.bytesRead / 2);
    std::vector<std::string> lost;
    PageDraft page;
    const PageStamp pageStamp(stamp);
    for (std::uint32_t f = 0; f < store.families.size(); ++f) {
        const Family& family = store.families[f];
        if (!family.whole) continue;
        if (family.husband == kNone && family.wife == kNone) {
            ++result.familiesWithoutParents;
            continue;
        }
        if (f % 4096 == 0 && progress && !progress(result.bytesRead)) {
            flag(result, GedcomProblem::Cancelled);
            result.records.clear();
            result.pages = 0;
            return;
        }
        buildPage(store, f, pageStamp, page, missing);
        const std::size_t start = result.records.size();
        writePage(page, result.records);
        // Every character Windows-1252 lacks was written as '?'.
        if (result.records.find('?', start) != std::string::npos) noteLost(page, lost);
        ++result.pages;
    }
    if (missing) flag(result, GedcomProblem::MissingRecord);
    for (const std::string& character : lost) result.lostCharacters += character;
}

}  // namespace

GedcomImport importGedcom(ByteSource& source, const LocalDateTime& stamp,
                          const GedcomProgress& progress) {
    GedcomImport result;
    GedcomLineReader lines(source, progress);
    Store store;
    bool cut = false;
    const bool read = readRecords(lines, store, result, cut);
    result.bytesRead = lines.bytesRead();
    if (result.problem == GedcomProblem::Unreadable) result.error = EIO;
    if (read) makePages(store, cut, stamp, progress, result);
    return result;
}

GedcomImport importGedcomFile(const std::filesystem::path& file, const LocalDateTime& stamp,
                              const GedcomProgress& progress) {
    FileSource source;
    if (const FileResult opened = source.open(file); !opened) {
        GedcomImport result;
        flag(result, opened.error == EISDIR ? GedcomProblem::Folder : GedcomProblem::Unreadable);
        result.error = opened.error;
        return result;
    }
    GedcomImport result = importGedcom(source, stamp, progress);
    if (result.problem == GedcomProblem::Unreadable && source.error())
        result.error = source.error();
    return result;
}

}  // namespace holmtex
