#pragma once
// One note page as stored: 49 items. Texts are UTF-8 in memory; line breaks are CR LF.

#include <array>
#include <optional>
#include <string>

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

struct PageRecord {
    std::array<Item, kItemCount> items;

    // A fresh buffer: every optional item absent, the remarks empty.
    PageRecord();

    Item& operator[](int n) { return items[n - 1]; }
    const Item& operator[](int n) const { return items[n - 1]; }

    // The item's text, "" when absent.
    const std::string& text(int n) const;

    bool operator==(const PageRecord&) const = default;
};

}  // namespace holmtex
