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

class RecordReader;

// The 49 texts lie in one string, in item order, so that reading a record fills one buffer
// instead of 49 strings; there may be bytes between them that belong to no item. Item
// numbers run from 1 to 49.
class PageRecord {
public:
    // A fresh buffer: every optional item absent, the remarks empty.
    PageRecord();

    bool has(int n) const { return (present_ >> (n - 1)) & 1; }
    // The item's text, "" when absent. Valid until the record changes.
    std::string_view text(int n) const {
        return std::string_view(texts_).substr(begins_[n - 1], ends_[n - 1] - begins_[n - 1]);
    }
    Item item(int n) const { return has(n) ? Item(std::string(text(n))) : std::nullopt; }

    // Makes the item present with this text, which may be a piece of the record itself.
    void set(int n, std::string_view text);
    // Present with its text, or absent for no value.
    void setItem(int n, const Item& item);
    void reset(int n);  // absent

    // Equal when the same items are present with the same texts.
    bool operator==(const PageRecord& other) const;

private:
    friend class RecordReader;  // fills all items at once

    std::string texts_;
    std::array<std::uint32_t, kItemCount>
        begins_{};  // item n is texts_[begins_[n - 1], ends_[n - 1])
    std::array<std::uint32_t, kItemCount> ends_{};
    std::uint64_t present_ = 0;  // bit n - 1: item n is present
};

}  // namespace holmtex
