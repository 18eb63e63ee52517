#pragma once
// What the pages need of a genealogy file, kept compactly while the file streams past:
// every text in one pool of large blocks, every record a few numbers, cross-references
// as numbers of one table. Records may name others that come later in the file; link()
// joins them once the whole file is read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace holmtex::gedcom {

constexpr std::uint32_t kNone = 0xFFFFFFFF;

// A sequence that grows a block at a time: growing moves nothing, and memory is touched
// only where elements are, so that a file's records cost their own size once.
template <typename T>
class Chunked {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    static constexpr std::size_t kShift = 14, kBlock = std::size_t{1} << kShift;

public:
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return block(i >> kShift)[i & (kBlock - 1)]; }
    const T& operator[](std::size_t i) const {
        return const_cast<Chunked&>(*this).block(i >> kShift)[i & (kBlock - 1)];
    }
    void push_back(const T& value) {
        if ((size_ >> kShift) == blocks_.size())
            blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kBlock * sizeof(T)));
        new (&block(size_ >> kShift)[size_ & (kBlock - 1)]) T(value);
        ++size_;
    }

private:
    T* block(std::size_t b) { return std::launder(reinterpret_cast<T*>(blocks_[b].get())); }

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::size_t size_ = 0;
};

struct TextRef {
    std::uint32_t block = 0, offset = 0, size = 0;
};

// Texts that live as long as the pool; no text is ever copied when the pool grows.
class TextPool {
public:
    TextRef add(std::string_view text);
    std::string_view get(TextRef ref) const {
        return ref.size ? std::string_view(blocks_[ref.block].get() + ref.offset, ref.size)
                        : std::string_view();
    }

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = 0, capacity_ = 0;  // of the last block
};

enum class Kind : std::uint8_t { Unknown, Person, Family, Note, Source, Other };

// A cross-reference: Unknown while only named; `index` is kNone until its record was
// read whole (a record cut off at the end of a file never is).
struct Xref {
    TextRef key;                  // in the pool, or letters and number (see kNumberedKey)
    std::uint32_t index = kNone;  // of a note or source: in Store::texts
    Kind kind = Kind::Unknown;
};

// The block of a key that was read as letters and a number: its offset is the number, its
// size the letters as Numbered::prefix holds them. The pool need not hold such keys.
constexpr std::uint32_t kNumberedKey = 0xFFFFFFFE;

class XrefTable {
public:
    explicit XrefTable(TextPool& pool) : pool_(pool) {}
    // The number of a cross-reference ("I1"); a new one is Unknown.
    std::uint32_t id(std::string_view key);
    Xref& operator[](std::uint32_t id) { return entries_[id]; }
    const Xref& operator[](std::uint32_t id) const { return entries_[id]; }
    // The key ("I1"); one that was read as letters and a number is made in `made`.
    std::string_view key(std::uint32_t id, std::string& made) const;
    // The index of the record of that kind, kNone when the file has no such record.
    std::uint32_t indexOf(std::uint32_t id, Kind kind) const {
        return id != kNone && entries_[id].kind == kind ? entries_[id].index : kNone;
    }
    // Gives back the memory of the look-up once the file is read; id() must not be asked
    // after it, everything else may.
    void dropLookup();

private:
    std::uint32_t hashed(std::string_view key);
    std::uint32_t added(TextRef key);
    void grow();

    TextPool& pool_;
    Chunked<Xref> entries_;
    struct Slot {
        std::uint64_t key = 0;        // a short key itself, 0 for a long one
        std::uint32_t tag = 0;        // the high half of the key's hash
        std::uint32_t idPlusOne = 0;  // 0: empty
    };
    std::vector<Slot> slots_;
    std::size_t hashedCount_ = 0;  // keys in slots_
    // Most files number their records ("I1", "F27"): such keys are found by their number
    // in a table of their letters, which the file fills from the front. A number far
    // beyond what the table holds goes to the hash instead, and `spilled` says that a
    // number missing from the table may be there.
    struct Numbered {
        std::uint32_t prefix = 0;  // the letters and their count
        std::uint32_t count = 0;   // keys in `ids`
        bool spilled = false;
        std::vector<std::uint32_t> ids;  // by number: id + 1, 0 for none yet
    };
    Numbered* numberedFor(std::uint32_t prefix);
    std::array<Numbered, 4> numbered_;
};

struct Person {
    TextRef name;   // as a page field shows it
    TextRef facts;  // lines "* 12.03.1890 in Ulm"; see gedcom_pages.h for sources
    std::uint32_t famc = kNone, fams = kNone;  // cross-references of its own record
    std::uint32_t parents = kNone;             // the family it is a child of (after link())
    bool inFamily = false;                     // (after link())
};

struct Family {
    std::uint32_t xref = kNone;
    std::uint32_t husband = kNone, wife = kNone;  // cross-references; persons after link()
    std::uint32_t firstChild = 0, children = 0;   // in Store::children
    std::uint32_t firstNote = 0, notes = 0;       // in Store::notes
    TextRef date;                                 // as a page field shows it
    TextRef refn;
    bool whole = true;  // false: names a record that a cut file does not have
    bool husbandParentsCut = false, wifeParentsCut = false;  // they would close a circle
};

// A note given by reference, in Store::notes: its block is kPointer, its offset the
// cross-reference.
constexpr std::uint32_t kPointer = 0xFFFFFFFF;

struct Store {
    TextPool pool;
    XrefTable xrefs{pool};
    Chunked<Person> persons;
    Chunked<Family> families;
    Chunked<std::uint32_t> children;  // cross-references; persons (or kNone) after link()
    Chunked<TextRef> notes;
    std::vector<TextRef> texts;  // a note record's text, a source record's title
};

struct LinkResult {
    bool missingRecords = false;  // a person or family named but not in the file
    bool ownAncestor = false;     // a family among its own ancestors
    int familiesLeftOut = 0;      // not whole
    int personsWithoutFamily = 0;
};

// Resolves the references between persons and families, finds each person's parents and
// the links that would make a family its own ancestor. With `cut` (the file ends before
// its trailer) a family naming a record the file does not have is not whole.
LinkResult link(Store& store, bool cut);

}  // namespace holmtex::gedcom
