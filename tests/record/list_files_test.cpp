// The door to the list files: a page replaced in place only in the file it was opened
// from, and a marked line changed only while it holds the page opened from it.
#include "record/list_files.h"

#include <gtest/gtest.h>

#include "record/list_line.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

namespace fs = std::filesystem;
using test::namedPage;
using test::readFile;
using test::writeFile;

TEST(ListFiles, APageIsReplacedOnlyInTheFileItWasOpenedFromUnchangedSince) {
    test::TempDir dir;
    const fs::path file = dir / "holmtex-archiv.dat";
    const std::string list = test::namedPages("p", 3);
    writeFile(file, list);
    ListFiles lists(dir.path());
    PageRecord buffer;
    const std::string page = recordBytes(namedPage("neu"));
    const auto replace = [&] {
        return lists.rewrite(Operation::Replace, ListKind::Archiv, 1, page, buffer);
    };

    // Nothing opened yet: there is no page to replace.
    EXPECT_EQ(replace().reason, Reason::NoLine);
    EXPECT_EQ(readFile(file), list);

    lists.open(ListKind::Archiv, 1, buffer);
    EXPECT_EQ(buffer, namedPage("p1", 1));
    EXPECT_EQ(replace().result, Result::Done);
    // The pages around it keep their bytes; the lines shown next are those of the file.
    EXPECT_EQ(readFile(file),
              test::bytesOf({namedPage("p0", 0)}) + page + test::bytesOf({namedPage("p2", 2)}));
    EXPECT_EQ(buffer, namedPage("p2", 2));
    EXPECT_EQ((*lists.lines(ListKind::Archiv, buffer).lines)[1], listLine(namedPage("neu")));

    // Shown anew, the list has no page opened.
    EXPECT_EQ(replace().reason, Reason::NoLine);
    // Opened, then written anew by another hand with the same bytes.
    lists.open(ListKind::Archiv, 1, buffer);
    const std::string now = readFile(file);
    writeFile(file, now);
    fs::last_write_time(file, fs::file_time_type());
    EXPECT_EQ(replace().reason, Reason::ChangedSince);
    EXPECT_EQ(readFile(file), now);
    // The line holds another page than the one opened.
    lists.open(ListKind::Archiv, 1, buffer);
    writeFile(file, list);
    EXPECT_EQ(lists.rewrite(Operation::Delete, ListKind::Archiv, 1, std::nullopt, buffer).reason,
              Reason::ChangedSince);
    EXPECT_EQ(readFile(file), list);
}

}  // namespace
}  // namespace holmtex
