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

// The end-of-file byte is looked for 16 KiB at a time from the line being
// read, so it must count wherever it falls: on either side of a block's end
// in a line longer than two blocks, right after a CR, in the short lines
// after it, or at the very end.
TEST(LineReader, StopsAtEndOfFileByteAnywhereInALargeFile) {
  std::string file(40000, 'x');
  for (int i = 0; file.size() < 100000; ++i) {
    file += (i % 3 ? "\r\n" : "\r") + std::string(static_cast<std::size_t>(i * 37 % 3000), 'x');
  }
  std::vector<std::size_t> places = {0,     1,     16383, 16384,          16385,
                                     32767, 32768, 32769, file.size() - 1};
  for (std::size_t at = 40000; at < file.size(); at += 997) places.push_back(at);
  for (const std::size_t at : places) {
    for (const char before : {'x', '\r'}) {
      std::string bytes = file;
      bytes[at] = '\x1A';
      if (at > 0) bytes[at - 1] = before;
      // What a reader that cut the file first would give.
      Strings wanted;
      std::string_view rest = std::string_view(bytes).substr(0, at);
      while (!rest.empty()) {
        const std::size_t cr = rest.find('\r');
        wanted.emplace_back(rest.substr(0, cr));
        if (cr == std::string_view::npos) break;
        rest.remove_prefix(cr + (cr + 1 < rest.size() && rest[cr + 1] == '\n' ? 2 : 1));
      }
      EXPECT_EQ(Lines(bytes), wanted) << at;
    }
  }
}

}  // namespace
}  // namespace kelvara
