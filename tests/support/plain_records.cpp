#include "support/plain_records.h"

#include "record/codepage.h"

namespace holmtex::test {

namespace {

bool endsItem(char c) { return c == ',' || c == '\r' || c == '\n'; }

}  // namespace

const std::string& PlainRecord::text(int n) const {
    static const std::string empty;
    return items[n - 1] ? *items[n - 1] : empty;
}

PlainList readPlain(std::string_view bytes) {
    PlainList list;
    const std::size_t size = bytes.size();
    std::size_t p = 0;
    for (;;) {
        while (p < size && (bytes[p] == '\r' || bytes[p] == '\n')) ++p;
        if (p == size) return list;
        PlainRecord record;
        record.begin = p;
        for (int i = 0; i < kItemCount; ++i) {
            if (p == size) {
                list.whole = false;
                list.tail = record.begin;
                return list;
            }
            std::optional<std::string> item;
            if (bytes[p] == '"') {
                const std::size_t close = bytes.find('"', p + 1);
                if (close == std::string_view::npos) {
                    list.whole = false;
                    list.tail = record.begin;
                    return list;
                }
                item = std::string(bytes.substr(p + 1, close - p - 1));
                p = close + 1;
                // Bytes between the closing quote and the separator belong to no item.
                while (p < size && !endsItem(bytes[p])) ++p;
            } else {
                const std::size_t start = p;
                while (p < size && !endsItem(bytes[p])) ++p;
                if (p > start) item = std::string(bytes.substr(start, p - start));
            }
            if (!item && isTextItem(i + 1)) item = std::string();
            record.items[i] = std::move(item);
            // The separator: a comma, a line end (CR LF, a lone CR or LF), or the end.
            if (p < size) {
                if (bytes[p] == '\r' && p + 1 < size && bytes[p + 1] == '\n') ++p;
                ++p;
            }
        }
        record.end = p;
        list.records.push_back(std::move(record));
    }
}

PageRecord toPageRecord(const PlainRecord& record) {
    PageRecord page;
    for (int n = 1; n <= kItemCount; ++n) {
        if (record.items[n - 1])
            page.set(n, cp1252ToUtf8(*record.items[n - 1]));
        else
            page.reset(n);
    }
    return page;
}

}  // namespace holmtex::test
