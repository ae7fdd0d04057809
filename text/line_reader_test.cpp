#include "text/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvara {
namespace {

std::vector<std::string> Lines(std::string_view bytes) {
  std::vector<std::string> lines;
  LineReader reader(bytes);
  std::string_view line;
  while (reader.Next(line)) lines.emplace_back(line);
  return lines;
}

using Strings = std::vector<std::string>;

TEST(LineReader, EndsLinesAtCrOrCrLf) {
  EXPECT_EQ(Lines("a\r\nb\rc"), (Strings{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\r\r\nb"), (Strings{"a", "", "b"}));
  EXPECT_EQ(Lines("\r\n\r\n"), (Strings{"", ""}));
}

TEST(LineReader, KeepsALoneLfInsideTheLine) {
  EXPECT_EQ(Lines("a\nb\r\nc\n"), (Strings{"a\nb", "c\n"}));
  EXPECT_EQ(Lines("\n\r"), (Strings{"\n"}));
}

TEST(LineReader, NeedsNoTerminatorOnTheLastLine) {
  EXPECT_EQ(Lines("last"), (Strings{"last"}));
  EXPECT_EQ(Lines("last\r\n"), (Strings{"last"}));
  EXPECT_TRUE(Lines("").empty());
}

TEST(LineReader, StopsAtEndOfFileByte) {
  EXPECT_EQ(Lines("a\r\nb\x1A"
                  "c\r\nd"),
            (Strings{"a", "b"}));
  EXPECT_TRUE(Lines("\x1A"
                    "a\r\n")
                  .empty());
  EXPECT_EQ(Lines(std::string("a\0b", 3)), (Strings{std::string("a\0b", 3)}));
}

}  // namespace
}  // namespace kelvara
