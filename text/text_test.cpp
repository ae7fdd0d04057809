#include "text/text.h"

#include <gtest/gtest.h>

#include "testing/reference.h"
#include "testing/table.h"
#include "text/line_reader.h"
#include "text/windows1252.h"

namespace kelvara {
namespace {

TEST(Text, TrimsLowersAndReadsLines) {
  for (const auto& row : TableRows("text/testdata/as_utf8.txt")) EXPECT_EQ(AsUtf8(row[0]), row[1]);
  // A sequence cut short by the end of the text, whatever lies past that end.
  EXPECT_EQ(AsUtf8(std::string_view("a\xE2\x82\x80", 3)), "a\xC3\xA2\xE2\x80\x9A");
  const auto linesOf = [](std::string_view bytes) {
    LineReader reader(bytes);
    std::vector<std::string_view> lines;
    for (std::string_view line; reader.Next(line);) lines.push_back(line);
    return lines;
  };
  EXPECT_EQ(TrimSpaces("  a\tb \r\n  "), "a\tb \r\n");
  // Needles of one byte, and one whose first byte others lower-case to, in
  // a text of its own length and in one long enough to be searched in blocks.
  EXPECT_TRUE(CaselessPattern("b").Find("aB") == 1 && CaselessPattern("title").Find("TITLE") == 0 &&
              CaselessPattern("title").Find("  TITLE" + std::string(30, ' ')) == 2);
  EXPECT_TRUE(IsBlank("") && IsBlank("  ") && !IsBlank(" \t ") && !IsBlank(" x"));
  // Windows-1252, as CharLowerBuffA lowers it on a Western system.
  EXPECT_EQ(LowerAnsi(std::string("AZ@[`{az\0\xC0\xDE\xD7\xDF\x8A\x8C\x8E\x9F\xE0\x80\x9A", 19)),
            std::string("az@[`{az\0\xE0\xFE\xD7\xDF\x9A\x9C\x9E\xFF\xE0\x80\x9A", 19));
  for (const std::string file : {"a\r\nb\rc", "a\r\r\nb", "\r\n\r\n", "a\nb\r\nc\n", "\n\r",
                                 "last\r\n", "", "a\r\nb\032c\r\nd", "\032a\r\n"}) {
    EXPECT_EQ(linesOf(file), reference::Lines(file)) << file;
  }
  EXPECT_EQ(linesOf("a\nb\r\nc\rd\r\r\n\032e"),
            (std::vector<std::string_view>{"a\nb", "c", "d", ""}));
  // The end-of-file byte is looked for 16 KiB at a time from the line being
  // read, so it must count wherever it falls: on either side of a block's end
  // in a line longer than two blocks, right after a CR, in the short lines
  // after it, or at the very end.
  std::string file(40000, 'x');
  for (int i = 0; file.size() < 100000; ++i)
    file += (i % 3 ? "\r\n" : "\r") + std::string(i * 37 % 3000, 'x');
  file.resize(100000);
  for (const std::size_t at : {0, 1, 16383, 16384, 16385, 32767, 32768, 32769, 40000, 41003, 47221,
                               58417, 66013, 77711, 83309, 99999}) {
    for (const char before : {'x', '\r'}) {
      std::string bytes = file;
      bytes[at] = '\x1A';
      if (at > 0) bytes[at - 1] = before;
      EXPECT_EQ(linesOf(bytes), reference::Lines(bytes)) << at;
    }
  }
}

}  // namespace
}  // namespace kelvara
