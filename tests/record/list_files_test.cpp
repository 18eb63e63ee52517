// The door to the list files: a page replaced in place, and a marked line changed only
// while it holds the page opened from it.
#include "record/list_files.h"

#include <gtest/gtest.h>

#include "record/list_line.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::namedPage;
using test::readFile;
using test::writeFile;

TEST(ListFiles, APageIsReplacedInPlaceOnlyWhileItIsTheOneOpened) {
    test::TempDir dir;
    const std::string list = test::namedPages("p", 3);
    writeFile(dir / "holmtex-archiv.dat", list);
    ListFiles lists(dir.path());
    PageRecord buffer;
    const std::string page = recordBytes(namedPage("neu"));

    // Nothing opened yet: the line may hold any page.
    Outcome o = lists.rewrite(Operation::Delete, ListKind::Archiv, 1, page, buffer);
    EXPECT_EQ(o.reason, Reason::ChangedSince);
    EXPECT_EQ(readFile(dir / "holmtex-archiv.dat"), list);

    lists.open(ListKind::Archiv, 1, buffer);
    EXPECT_EQ(buffer, namedPage("p1", 1));
    o = lists.rewrite(Operation::Delete, ListKind::Archiv, 1, page, buffer);
    EXPECT_EQ(o.result, Result::Done);
    // The pages around it keep their bytes; the lines shown next are those of the file.
    EXPECT_EQ(readFile(dir / "holmtex-archiv.dat"),
              test::bytesOf({namedPage("p0", 0)}) + page + test::bytesOf({namedPage("p2", 2)}));
    EXPECT_EQ(buffer, namedPage("p2", 2));
    const ListFiles::Listing listing = lists.lines(ListKind::Archiv, buffer);
    EXPECT_EQ((*listing.lines)[1], listLine(namedPage("neu")));

    // The line now holds another page than the one opened.
    o = lists.rewrite(Operation::Delete, ListKind::Archiv, 1, std::nullopt, buffer);
    EXPECT_EQ(o.reason, Reason::ChangedSince);
    EXPECT_EQ(lists.lines(ListKind::Archiv, buffer).lines->size(), 3u);
}

}  // namespace
}  // namespace holmtex
