#include "scan/tag_scanner.h"

#include <gtest/gtest.h>

#include <sstream>

#include "testing/source_file.h"

namespace kelvara {
namespace {

// \r \n \t \0 and \xHH to the bytes they stand for.
std::string Unescape(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
    } else if (text[++i] == 'x') {
      bytes += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      bytes += "\r\n\t"[std::string_view("rnt0").find(text[i])];  // \0: the literal's own end
    }
  }
  return bytes;
}

TEST(TagScanner, FindsElementsAsTheCasesSay) {
  std::istringstream cases(SourceFile("scan/testdata/find_tag.txt"));
  int count = 0;
  for (std::string line; std::getline(cases, line);) {
    if (line.starts_with('#')) continue;
    std::istringstream fields(line);
    std::vector<std::string> field;  // tag name, occurrence, page, what is found
    for (std::string text; std::getline(fields, text, '\t');) field.push_back(Unescape(text));
    TagScanner scanner(field.at(2));
    const bool found = scanner.FindTag(field.at(0), std::stoi(field.at(1)));
    EXPECT_EQ(found ? scanner.TagAttributes() + "|" + std::string(scanner.TagContent()) : "-",
              field.at(3))
        << line;
    ++count;
  }
  EXPECT_EQ(count, 35);

  // Too long for a line of the table: a tag that "/>" ends far beyond the
  // first stretch scanned, with no closing tag; and a second look at the same
  // page, which finds what the first scan left behind.
  std::string page = "<body\r\n";
  for (int line = 0; line < 2000; ++line) page += "a=" + std::string(60, 'v') + "\r\n";
  page += "last=z /><title>T</title>";
  TagScanner scanner(page);
  EXPECT_TRUE(scanner.FindTag("body", 1) && scanner.TagAttributes().ends_with("last=z"));
  EXPECT_TRUE(scanner.FindTag("title", 1) && scanner.TagContent() == "T");
  EXPECT_FALSE(scanner.FindTag("nothing", 1) || !scanner.TagAttributes().empty());
}

}  // namespace
}  // namespace kelvara
