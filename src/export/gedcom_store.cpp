#include "export/gedcom_store.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace holmtex::gedcom {

namespace {

constexpr std::size_t kBlock = std::size_t{4} << 20;

std::uint64_t hashOf(std::string_view key) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const char c : key) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    return h;
}

}  // namespace

TextRef TextPool::add(std::string_view text) {
    if (text.empty()) return {};
    if (blocks_.empty() || capacity_ - used_ < text.size()) {
        capacity_ = std::max(kBlock, text.size());
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
        used_ = 0;
    }
    const TextRef ref{static_cast<std::uint32_t>(blocks_.size() - 1),
                      static_cast<std::uint32_t>(used_), static_cast<std::uint32_t>(text.size())};
    std::memcpy(blocks_.back().get() + used_, text.data(), text.size());
    used_ += text.size();
    return ref;
}

namespace {

// A key of up to seven bytes with its length, as one number; 0 for a longer key.
std::uint64_t shortKey(std::string_view name) {
    if (name.size() > 7) return 0;
    std::uint64_t bits = name.size();
    std::memcpy(reinterpret_cast<char*>(&bits) + 1, name.data(), name.size());
    return bits;
}

// "I27" as its letters "I" (one to three bytes that are no digits) and its number 27 (up to
// seven digits, the first not 0); false for a key of another shape.
bool numberedKey(std::string_view key, std::uint32_t& prefix, std::uint32_t& number) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(key.data());
    const std::size_t size = key.size();
    auto digit = [&](std::size_t i) { return static_cast<unsigned>(bytes[i]) - '0'; };
    if (size < 2 || size > 10) return false;
    std::size_t letters = 0;
    prefix = 0;
    for (; digit(letters) > 9; ++letters) {
        if (letters == 3 || letters + 1 == size) return false;
        prefix |= static_cast<std::uint32_t>(bytes[letters]) << (8 * letters);
    }
    if (letters == 0 || digit(letters) == 0 || size - letters > 7) return false;
    prefix |= static_cast<std::uint32_t>(letters) << 24;
    number = 0;
    for (std::size_t i = letters; i < size; ++i) {
        if (digit(i) > 9) return false;
        number = number * 10 + digit(i);
    }
    return true;
}

}  // namespace

XrefTable::Numbered* XrefTable::numberedFor(std::uint32_t prefix) {
    for (Numbered& table : numbered_) {
        if (table.prefix == prefix) return &table;
        if (table.prefix == 0) {  // the first key with these letters
            table.prefix = prefix;
            return &table;
        }
    }
    return nullptr;
}

std::uint32_t XrefTable::id(std::string_view name) {
    std::uint32_t prefix, number;
    Numbered* table = numberedKey(name, prefix, number) ? numberedFor(prefix) : nullptr;
    if (!table) return hashed(name);
    if (number < table->ids.size() && table->ids[number] != 0) return table->ids[number] - 1;
    // The table grows with the keys it holds, so that scattered numbers cannot make it
    // much larger than the hash would be.
    if (number >= 2 * std::size_t{table->count} + 65536) {
        table->spilled = true;
        return hashed(name);
    }
    if (number >= table->ids.size())
        table->ids.resize(std::max<std::size_t>(number + 1, 2 * table->ids.size()));
    const std::uint32_t id = table->spilled ? hashed(name) : added({kNumberedKey, number, prefix});
    table->ids[number] = id + 1;
    ++table->count;
    return id;
}

std::string_view XrefTable::key(std::uint32_t id, std::string& made) const {
    const TextRef key = entries_[id].key;
    if (key.block != kNumberedKey) return pool_.get(key);
    made.clear();
    for (std::uint32_t i = 0; i < key.size >> 24; ++i)
        made.push_back(static_cast<char>(key.size >> (8 * i)));
    made += std::to_string(key.offset);
    return made;
}

std::uint32_t XrefTable::added(TextRef key) {
    entries_.push_back({key, kNone, Kind::Unknown});
    return static_cast<std::uint32_t>(entries_.size() - 1);
}

std::uint32_t XrefTable::hashed(std::string_view name) {
    if (2 * (hashedCount_ + 1) > slots_.size()) grow();
    // The high half of the hash places the key and tells keys apart before they are
    // compared; the slot holds a short key itself, so that most look-ups read one slot.
    const auto tag = static_cast<std::uint32_t>(hashOf(name) >> 32);
    const std::uint64_t bits = shortKey(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = tag & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.idPlusOne == 0) {
            slot = {bits, tag, added(pool_.add(name)) + 1};
            ++hashedCount_;
            return slot.idPlusOne - 1;
        }
        if (slot.tag == tag && slot.key == bits &&
            (bits || pool_.get(entries_[slot.idPlusOne - 1].key) == name))
            return slot.idPlusOne - 1;
    }
}

void XrefTable::dropLookup() {
    std::vector<Slot>().swap(slots_);
    numbered_ = {};
}

void XrefTable::grow() {
    std::vector<Slot> slots(slots_.empty() ? 1024 : 2 * slots_.size());
    const std::size_t mask = slots.size() - 1;
    for (const Slot& slot : slots_) {
        if (slot.idPlusOne == 0) continue;
        std::size_t at = slot.tag & mask;
        while (slots[at].idPlusOne != 0) at = (at + 1) & mask;
        slots[at] = slot;
    }
    slots_ = std::move(slots);
}

namespace {

// The person a family names, kNone when the file has none by that name.
std::uint32_t personOf(const Store& store, std::uint32_t xref, bool& missing) {
    if (xref == kNone) return kNone;
    const std::uint32_t person = store.xrefs.indexOf(xref, Kind::Person);
    if (person == kNone) missing = true;
    return person;
}

void linkFamily(Store& store, std::uint32_t f, bool cut, LinkResult& result) {
    Family& family = store.families[f];
    bool missing = false;
    family.husband = personOf(store, family.husband, missing);
    family.wife = personOf(store, family.wife, missing);
    for (std::uint32_t k = 0; k < family.children; ++k) {
        std::uint32_t& child = store.children[family.firstChild + k];
        child = personOf(store, child, missing);
        if (child == kNone) continue;
        store.persons[child].inFamily = true;
        if (store.persons[child].parents == kNone) store.persons[child].parents = f;
    }
    for (const std::uint32_t parent : {family.husband, family.wife})
        if (parent != kNone) store.persons[parent].inFamily = true;
    if (missing) result.missingRecords = true;
    if (missing && cut) {
        family.whole = false;
        ++result.familiesLeftOut;
    }
}

// A person's own links to families count as well, and give the parents when no family
// names the person as its child.
void linkPerson(Store& store, Person& person, LinkResult& result) {
    for (const std::uint32_t xref : {person.famc, person.fams}) {
        if (xref == kNone) continue;
        const std::uint32_t family = store.xrefs.indexOf(xref, Kind::Family);
        if (family == kNone) {
            result.missingRecords = true;
            continue;
        }
        person.inFamily = true;
        if (xref == person.famc && person.parents == kNone) person.parents = family;
    }
    if (!person.inFamily) ++result.personsWithoutFamily;
}

// Walks up from every family to the families of its husband's and wife's parents; a link
// back to a family still on the walk would make it its own ancestor, and is cut.
void cutCircles(Store& store, LinkResult& result) {
    const std::size_t count = store.families.size();
    std::vector<std::uint8_t> state(count, 0);        // 0 not seen, 1 on the walk, 2 done
    std::vector<std::pair<std::uint32_t, int>> walk;  // family, next link to follow
    for (std::uint32_t root = 0; root < count; ++root) {
        if (state[root]) continue;
        state[root] = 1;
        walk.push_back({root, 0});
        while (!walk.empty()) {
            const std::uint32_t f = walk.back().first;
            const int link = walk.back().second++;
            if (link == 2) {
                state[f] = 2;
                walk.pop_back();
                continue;
            }
            Family& family = store.families[f];
            const std::uint32_t person = link == 0 ? family.husband : family.wife;
            const std::uint32_t up = person == kNone ? kNone : store.persons[person].parents;
            if (up == kNone || state[up] == 2) continue;
            if (state[up] == 1) {
                (link == 0 ? family.husbandParentsCut : family.wifeParentsCut) = true;
                result.ownAncestor = true;
            } else {
                state[up] = 1;
                walk.push_back({up, 0});
            }
        }
    }
}

}  // namespace

LinkResult link(Store& store, bool cut) {
    LinkResult result;
    for (std::uint32_t f = 0; f < store.families.size(); ++f) linkFamily(store, f, cut, result);
    for (std::size_t p = 0; p < store.persons.size(); ++p)
        linkPerson(store, store.persons[p], result);
    cutCircles(store, result);
    return result;
}

}  // namespace holmtex::gedcom
