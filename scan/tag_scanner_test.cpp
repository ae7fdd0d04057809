#include "scan/tag_scanner.h"

#include <gtest/gtest.h>

#include "testing/table.h"

namespace kelvara {
namespace {

TEST(TagScanner, FindsElementsAsTheCasesSay) {
  for (const auto& row : TableRows("scan/testdata/find_tag.txt")) {
    TagScanner scanner(row.at(2));
    const bool found = scanner.FindTag(row.at(0), std::stoi(row.at(1)));
    EXPECT_EQ(found ? scanner.TagAttributes() + "|" + std::string(scanner.TagContent()) : "-",
              row.at(3))
        << row[2];
  }

  // Too long for a line of the table: a tag that "/>" ends far beyond the
  // first stretch scanned, with no closing tag; and a second look at the same
  // page, which finds what the first scan left behind.
  std::string page = "<body\r\n";
  for (int line = 0; line < 2000; ++line) page += "a=" + std::string(60, 'v') + "\r\n";
  page += "last=z /><title>T</title>";
  TagScanner scanner(page);
  EXPECT_TRUE(scanner.FindTag("body", 1) && scanner.TagAttributes().ends_with("last=z"));
  EXPECT_FALSE(scanner.FindTag("nothing", 1) || !scanner.TagAttributes().empty());
  EXPECT_TRUE(scanner.FindTag("title", 1) && scanner.TagContent() == "T");
}

}  // namespace
}  // namespace kelvara
