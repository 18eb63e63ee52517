#include "export/gedcom_writer.h"

#include <cstdio>
#include <vector>

#include "export/gedcom_mapping.h"

namespace holmtex {

namespace {

constexpr std::size_t kMaxRefnBytes = 20;

void line(std::string& out, int level, std::string_view tag, std::string_view value = {}) {
    out += std::to_string(level);
    out.push_back(' ');
    out += tag;
    if (!value.empty()) {
        out.push_back(' ');
        out += value;
    }
    out.push_back('\n');
}

std::string xref(char kind, int number) {
    std::string id = "@";
    id.push_back(kind);
    id += std::to_string(number);
    id.push_back('@');
    return id;
}

// Control characters (the line break aside) as blanks, "@" doubled.
std::string gedcomChars(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            out.push_back('\n');
        } else if (c < 0x20 || c == 0x7F) {
            out.push_back(' ');
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out.push_back(' ');
            ++i;
        } else if (c == '@') {
            out += "@@";
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// Where a piece of at most `room` bytes of `text` from `from` ends: not inside a character
// or a doubled "@", and not next to a blank, which readers may drop at a line end.
std::size_t pieceEnd(std::string_view text, std::size_t from, std::size_t room) {
    if (text.size() - from <= room) return text.size();
    auto fits = [&](std::size_t end) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) return false;
        std::size_t ats = 0;
        for (std::size_t i = end; i > from && text[i - 1] == '@'; --i) ++ats;
        return ats % 2 == 0;
    };
    std::size_t end = from + room;
    for (std::size_t e = end; e > from + room / 2; --e)
        if (fits(e) && text[e - 1] != ' ' && text[e] != ' ') return e;
    while (end > from + 1 && !fits(end)) --end;
    return end;
}

std::string origin(const PageContent& content) {
    const std::string number = oneLine(content.page.text(ProcessNumber));
    std::string text = "Merkseite: ";
    if (content.origin) {
        const PageOrigin& o = *content.origin;
        text += std::string("Liste ") + listCaption(o.list) + ", Zeile " + std::to_string(o.line) +
                ", ";
    }
    text += number.empty() ? "ohne Vorgangsnummer" : "Vorgang " + number;
    if (content.origin)
        text += ", gespeichert am " + content.origin->saveDate + " um " + content.origin->saveTime;
    return text;
}

void nameLines(std::string& out, const std::string& given, const std::string& prefix,
               const std::string& surname, const char* type) {
    appendGedcomText(out, 1, "NAME", nameValue(given, prefix, surname));
    if (type) line(out, 2, "TYPE", type);
    if (!given.empty()) appendGedcomText(out, 2, "GIVN", given);
    if (!prefix.empty()) appendGedcomText(out, 2, "SPFX", prefix);
    if (!surname.empty()) appendGedcomText(out, 2, "SURN", surname);
}

struct Person {
    int id = 0;
    int item = 0;      // the field that names the person
    char sex = 0;      // 'M', 'F' or none
    std::string also;  // a second field for the same person, for the note
    std::vector<int> fams, famc;
};

struct Family {
    int f = 0, id = 0;
    int husband = 0, wife = 0;  // person ids, 0 for none
    std::vector<int> children;
};

// Who is on a page: a family for each filled family block and a person for each filled
// name field, numbered on from the numbers given before.
struct PageFamilies {
    bool filled[5] = {};   // family block f has an entry
    int familyId[5] = {};  // of family block f, 0 for none
    std::vector<Family> families;
    std::vector<Person> persons;
};

PageFamilies familiesOf(const PageRecord& page, int& lastFamily) {
    PageFamilies on;
    // Family 1 also carries the page text, so a page with text keeps it.
    for (int f = 1; f <= 4; ++f) on.filled[f] = familyHasEntry(page, f);
    on.filled[1] = on.filled[1] || hasText(page.text(PageText));
    for (int f = 1; f <= 4; ++f)
        if (on.filled[f]) {
            on.familyId[f] = ++lastFamily;
            on.families.push_back({f, on.familyId[f], 0, 0, {}});
        }
    return on;
}

void addPersons(PageFamilies& on, const PageContent& content, int& lastPerson) {
    const PageRecord& page = content.page;
    auto add = [&](int item, char sex) -> Person& {
        on.persons.push_back({++lastPerson, item, sex, {}, {}, {}});
        return on.persons.back();
    };
    // In the add state father 1 is child 1 of family 2 and mother 1 child 1 of family 4.
    int linked[5] = {};  // person id standing as child 1 of family 2 / 4
    for (Family& family : on.families) {
        const int f = family.f;
        // A parent; in the add state parent 1 is also child 1 of the family of its parents.
        auto parent = [&](int item, char sex, int& slot, int parents) {
            if (!hasText(page.text(item))) return;
            Person& person = add(item, sex);
            person.fams.push_back(family.id);
            slot = person.id;
            if (f != 1 || !content.addState || !on.filled[parents]) return;
            person.famc.push_back(on.familyId[parents]);
            const std::string_view asChild = page.text(childItem(1, parents));
            if (hasText(asChild) && asChild != page.text(item))
                person.also =
                    "Kind 1 der Familie " + std::to_string(parents) + ": " + std::string(asChild);
            linked[parents] = person.id;
        };
        parent(fatherItem(f), 'M', family.husband, 2);
        parent(motherItem(f), 'F', family.wife, 4);
        for (int c = 1; c <= 6; ++c) {
            if (c == 1 && linked[f]) {
                family.children.push_back(linked[f]);
            } else if (hasText(page.text(childItem(c, f)))) {
                Person& child = add(childItem(c, f), 0);
                child.famc.push_back(family.id);
                family.children.push_back(child.id);
            }
        }
    }
}

void personLines(std::string& out, const PageRecord& page, const Person& person,
                 const std::string& note) {
    const std::string_view field = page.text(person.item);
    const PersonName name = mapName(field, person.sex != 0);
    line(out, 0, xref('I', person.id) + " INDI");
    if (!name.birthSurname.empty()) {
        nameLines(out, name.given, name.birthPrefix, name.birthSurname, "birth");
        if (!name.surname.empty())
            nameLines(out, name.given, name.prefix, name.surname,
                      person.sex == 'F' ? "married" : "aka");
    } else if (!name.empty()) {
        nameLines(out, name.given, name.prefix, name.surname, nullptr);
    }
    if (person.sex) line(out, 1, "SEX", std::string(1, person.sex));
    for (int id : person.famc) line(out, 1, "FAMC", xref('F', id));
    for (int id : person.fams) line(out, 1, "FAMS", xref('F', id));
    std::string text = note;
    if (!name.complete) text.append("\nEintrag: ").append(plainLines(field));
    if (!person.also.empty()) text.append("\n").append(plainLines(person.also));
    appendGedcomText(out, 1, "NOTE", text);
}

void familyLines(std::string& out, const PageRecord& page, const Family& family) {
    const int f = family.f;
    line(out, 0, xref('F', family.id) + " FAM");
    if (family.husband) line(out, 1, "HUSB", xref('I', family.husband));
    if (family.wife) line(out, 1, "WIFE", xref('I', family.wife));
    for (int id : family.children) line(out, 1, "CHIL", xref('I', id));
    if (hasText(page.text(dateItem(f)))) {
        const EventDate date = mapDate(page.text(dateItem(f)));
        line(out, 1, "MARR");
        if (!date.date.empty()) appendGedcomText(out, 2, "DATE", date.date);
        if (!date.place.empty()) appendGedcomText(out, 2, "PLAC", date.place);
        if (!date.note.empty()) appendGedcomText(out, 2, "NOTE", "Heirat: " + date.note);
    }
    if (f == 1) {
        const std::string number = oneLine(page.text(ProcessNumber));
        if (!number.empty() && number.size() <= kMaxRefnBytes)
            appendGedcomText(out, 1, "REFN", number);
    }
    if (hasText(page.text(remarkItem(f))))
        appendGedcomText(out, 1, "NOTE", "Bemerkung: " + plainLines(page.text(remarkItem(f))));
    if (f == 1 && hasText(page.text(PageText)))
        appendGedcomText(out, 1, "NOTE", "Text der Merkseite: " + plainLines(page.text(PageText)));
}

}  // namespace

void appendGedcomText(std::string& out, int level, std::string_view tag, std::string_view text) {
    const std::string value = gedcomChars(text);
    std::size_t start = 0;
    bool firstLine = true;
    while (true) {
        std::size_t end = value.find('\n', start);
        if (end == std::string::npos) end = value.size();
        const std::string_view row = std::string_view(value).substr(start, end - start);
        std::string_view rowTag = firstLine ? tag : "CONT";
        int rowLevel = firstLine ? level : level + 1;
        std::size_t at = 0;
        do {
            const std::size_t prefix = std::to_string(rowLevel).size() + 1 + rowTag.size() + 1;
            const std::size_t stop = pieceEnd(row, at, kMaxGedcomLine - prefix);
            line(out, rowLevel, rowTag, row.substr(at, stop - at));
            at = stop;
            rowTag = "CONC";
            rowLevel = level + 1;
        } while (at < row.size());
        if (end == value.size()) break;
        start = end + 1;
        firstLine = false;
    }
}

void GedcomWriter::header(std::string& out, std::string_view fileName,
                          const LocalDateTime& now) const {
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    char date[32], time[16];
    std::snprintf(date, sizeof date, "%d %s %04d", now.day, kMonths[(now.month + 11) % 12],
                  now.year);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour, now.minute, now.second);
    line(out, 0, "HEAD");
    line(out, 1, "SOUR", "HOLMTEX");
    line(out, 2, "VERS", "2.45");
    line(out, 2, "NAME", "Holmtex Notiz");
    line(out, 1, "DATE", date);
    line(out, 2, "TIME", time);
    line(out, 1, "SUBM", "@U1@");
    if (!fileName.empty()) appendGedcomText(out, 1, "FILE", fileName);
    line(out, 1, "GEDC");
    line(out, 2, "VERS", "5.5.1");
    line(out, 2, "FORM", "LINEAGE-LINKED");
    line(out, 1, "CHAR", "UTF-8");
    line(out, 1, "LANG", "German");
    line(out, 0, "@U1@ SUBM");
    line(out, 1, "NAME", "Holmtex Notiz");
}

void GedcomWriter::trailer(std::string& out) const { line(out, 0, "TRLR"); }

void GedcomWriter::page(std::string& out, const PageContent& content) {
    PageFamilies on = familiesOf(content.page, families_);
    addPersons(on, content, persons_);
    const std::string note = origin(content);
    for (const Person& person : on.persons) personLines(out, content.page, person, note);
    for (const Family& family : on.families) familyLines(out, content.page, family);
}

}  // namespace holmtex
