#include "record/page_record.h"

#include <gtest/gtest.h>

#include <string>

#include "record/record_io.h"

namespace holmtex {
namespace {

TEST(PageRecord, SettingAnItemLeavesTheOthersAsTheyWere) {
    PageRecord r;
    for (int n = 1; n <= kItemCount; ++n) r.set(n, "Item " + std::to_string(n));
    // Longer, shorter, empty and absent, at the start, the middle and the end.
    r.set(1, "ein viel längerer Text am Anfang");
    r.set(PageText, "");
    r.set(fatherItem(2), "Jörg");
    r.reset(Reserved4);
    r.set(kItemCount, "Schluss\r\nmit Zeile");
    for (int n = 1; n <= kItemCount; ++n) {
        SCOPED_TRACE(n);
        const std::string expected = n == 1               ? "ein viel längerer Text am Anfang"
                                     : n == PageText      ? ""
                                     : n == fatherItem(2) ? "Jörg"
                                     : n == Reserved4     ? ""
                                     : n == kItemCount    ? "Schluss\r\nmit Zeile"
                                                          : "Item " + std::to_string(n);
        EXPECT_EQ(expected, r.text(n));
        EXPECT_EQ(n != Reserved4, r.has(n));
    }
}

TEST(PageRecord, TakesATextFromItself) {
    PageRecord r;
    r.set(ListTag, "aktu");
    r.set(ProcessNumber, "4711");
    r.set(ListTag, r.text(ListTag));  // the same piece
    r.set(PageText, r.text(ProcessNumber));
    r.set(SaveDate, r.text(PageText).substr(1));
    EXPECT_EQ("aktu", r.text(ListTag));
    EXPECT_EQ("4711", r.text(PageText));
    EXPECT_EQ("711", r.text(SaveDate));
}

TEST(PageRecord, EqualWhenTheItemsAre) {
    PageRecord a, b;
    a.set(PageText, "Text");
    b.set(ProcessNumber, "lang genug, um woanders zu stehen");
    b.set(PageText, "Text");
    EXPECT_NE(a, b);
    b.reset(ProcessNumber);
    EXPECT_EQ(a, b);
    b.set(ProcessNumber, "");
    EXPECT_NE(a, b);  // present and empty is not absent

    // A record read over a longer one compares by its items alone.
    PageRecord longer;
    for (int n = 1; n <= kItemCount; ++n) longer.set(n, std::string(100, 'x'));
    StringSource source(recordBytes(longer) + recordBytes(a));
    RecordReader reader(source);
    PageRecord buffer;
    ASSERT_EQ(ReadStatus::Record, reader.next(buffer));
    ASSERT_EQ(ReadStatus::Record, reader.next(buffer));
    EXPECT_EQ(a, buffer);
    EXPECT_EQ(a.item(PageText), buffer.item(PageText));
    EXPECT_EQ(std::nullopt, buffer.item(ProcessNumber));
}

}  // namespace
}  // namespace holmtex
