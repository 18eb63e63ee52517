#pragma once
// One note page as stored: 49 items. Texts are UTF-8 in memory; line breaks are CR LF.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace holmtex {

// An optional item is absent (no value) or a string; absent and "" are written differently.
using Item = std::optional<std::string>;

enum ItemNumber : int {
    ViewMarker = 1,
    SaveDate = 2,
    SaveTime = 3,
    Reserved4 = 4,
    Reserved5 = 5,
    AddMarker = 6,
    ListTag = 7,
    PageText = 8,
    ProcessNumber = 9,
};

constexpr int kItemCount = 49;

// Item numbers of the family fields (family f = 1..4, child c = 1..6).
constexpr int childItem(int c, int f) { return 10 * f + (c - 1); }
constexpr int fatherItem(int f) { return 10 * f + 6; }
constexpr int motherItem(int f) { return 10 * f + 7; }
constexpr int dateItem(int f) { return 10 * f + 8; }
constexpr int remarkItem(int f) { return 10 * f + 9; }

// The four remarks are text items: never absent.
constexpr bool isTextItem(int n) { return n == 19 || n == 29 || n == 39 || n == 49; }

// Where the items of a record lie in its texts: item n is texts[begins[n - 1], ends[n - 1])
// and present when bit n - 1 of `present` is set; an absent item is empty.
struct ItemBounds {
    std::array<std::uint32_t, kItemCount> begins{}, ends{};
    std::uint64_t present = 0;
};

// The 49 texts lie in one string, in item order, so that reading a record fills one buffer
// instead of 49 strings; there may be bytes between them that belong to no item. Item
// numbers run from 1 to 49.
class PageRecord {
public:
    // A fresh buffer: every optional item absent, the remarks empty.
    PageRecord();

    bool has(int n) const { return (bounds_.present >> (n - 1)) & 1; }
    // The item's text, "" when absent. Valid until the record changes.
    std::string_view text(int n) const {
        const std::uint32_t begin = bounds_.begins[n - 1];
        return std::string_view(texts_).substr(begin, bounds_.ends[n - 1] - begin);
    }
    Item item(int n) const { return has(n) ? Item(std::string(text(n))) : std::nullopt; }

    // Makes the item present with this text, which may be a piece of the record itself.
    void set(int n, std::string_view text);
    // Present with its text, or absent for no value.
    void setItem(int n, const Item& item);
    void reset(int n);  // absent

    // Takes all 49 items at once, as a reader finds them: place(bounds) sets every field of
    // the record's item bounds, for the texts in `texts`; then `texts` becomes the record's,
    // and the buffer the record held comes back in it, for the next record to reuse.
    template <typename Place>
    void assign(std::string& texts, Place&& place) {
        place(bounds_);
        texts_.swap(texts);
    }

    // Equal when the same items are present with the same texts.
    bool operator==(const PageRecord& other) const;

private:
    std::string texts_;
    ItemBounds bounds_;
};

}  // namespace holmtex
