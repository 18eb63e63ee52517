#include "record/page_record.h"

namespace holmtex {

PageRecord::PageRecord() {
    for (int n = 1; n <= kItemCount; ++n)
        if (isTextItem(n)) set(n, "");
}

void PageRecord::set(int n, std::string_view text) {
    const std::uint32_t begin = bounds_.begins[n - 1];
    const std::uint32_t old = bounds_.ends[n - 1] - begin;
    // replace() copies a piece of the string itself correctly.
    texts_.replace(begin, old, text.data(), text.size());
    const auto grown = static_cast<std::uint32_t>(text.size()) - old;  // may wrap: still right
    bounds_.ends[n - 1] += grown;
    for (int i = n; i < kItemCount; ++i) {
        bounds_.begins[i] += grown;
        bounds_.ends[i] += grown;
    }
    bounds_.present |= std::uint64_t(1) << (n - 1);
}

void PageRecord::setItem(int n, const Item& item) {
    if (item)
        set(n, *item);
    else
        reset(n);
}

void PageRecord::reset(int n) {
    set(n, "");
    bounds_.present &= ~(std::uint64_t(1) << (n - 1));
}

bool PageRecord::operator==(const PageRecord& other) const {
    if (bounds_.present != other.bounds_.present) return false;
    for (int n = 1; n <= kItemCount; ++n)
        if (text(n) != other.text(n)) return false;
    return true;
}

}  // namespace holmtex
