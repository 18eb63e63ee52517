#include "record/page_record.h"

namespace holmtex {

PageRecord::PageRecord() {
    for (int n = 1; n <= kItemCount; ++n)
        if (isTextItem(n)) (*this)[n] = std::string();
}

const std::string& PageRecord::text(int n) const {
    static const std::string empty;
    const Item& item = (*this)[n];
    return item ? *item : empty;
}

}  // namespace holmtex
