#include "scan/tag_scanner.h"

#include <gtest/gtest.h>

#include <new>
#include <sstream>

#include "testing/memory_file_system.h"
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
    MemoryFileSystem files;
    files.files["page.htm"] = field.at(2);
    TagScanner scanner(files);
    const bool found = scanner.FindTag("page.htm", field.at(0), std::stoi(field.at(1)));
    EXPECT_EQ(found ? scanner.TagAttributes() + "|" + std::string(scanner.TagContent()) : "-",
              field.at(3))
        << line;
    ++count;
  }
  EXPECT_EQ(count, 35);

  // Too long for a line of the table: a tag that "/>" ends far beyond the
  // first stretch scanned, with no closing tag.
  std::string attributes;
  for (int line = 0; line < 2000; ++line) attributes += "a=" + std::string(60, 'v') + "\r\n";
  MemoryFileSystem files;
  files.files["long.htm"] = "<body\r\n" + attributes + "last=z />";
  TagScanner scanner(files);
  EXPECT_TRUE(scanner.FindTag("long.htm", "body", 1) && scanner.TagAttributes().ends_with("last=z"));
}

// The page last asked for is read once, until another page is asked for (or
// it changes: protect_page_test sees to that); a page that cannot be read
// scans as empty until then. A body is handed over, not copied, and the page
// forgotten.
TEST(TagScanner, ReadsEachPageOnceUntilItChanges) {
  MemoryFileSystem files;
  TagScanner scanner(files);
  files.files["page.htm"] =
      "<head><title>Home</title></head>\r\n<body a=1>\r\n  one \r\n two  \r\n</body>";
  EXPECT_TRUE(scanner.FindTag("page.htm", "title", 1) &&
              !scanner.FindTag("missing.htm", "title", 1));
  EXPECT_TRUE(scanner.FindTag("page.htm", "head", 1) && scanner.FindTag("page.htm", "body", 1));
  EXPECT_EQ(scanner.TakeTagContent(), "\r\none\r\ntwo\r\n");
  ASSERT_TRUE(scanner.FindTag("page.htm", "body", 1) && scanner.TagAttributes() == "a=1");
  EXPECT_FALSE(scanner.FindTag("page.htm", "nothing", 1));  // which empties both outputs
  EXPECT_EQ(scanner.TagAttributes() + "|" + std::string(scanner.TagContent()), "|");
  files.files["other.htm"] = "<title>Other</title>";
  EXPECT_TRUE(scanner.FindTag("other.htm", "title", 1) && scanner.TagContent() == "Other");
  EXPECT_TRUE(scanner.FindTag("page.htm", "title", 1) && scanner.TagContent() == "Home");
  EXPECT_EQ(files.Count(FileOp::kRead, "page.htm"), 3);

  files.failWhen = [](FileOp op, const std::string&) { return op == FileOp::kRead; };
  EXPECT_FALSE(scanner.FindTag("other.htm", "title", 1));
  files.failWhen = nullptr;
  EXPECT_FALSE(scanner.FindTag("other.htm", "title", 1) || scanner.Readable("other.htm"));
  EXPECT_TRUE(scanner.Readable("page.htm"));

  // Running out of memory half-way leaves nothing cached that the next look trusts.
  files.files["third.htm"] = "<title>Third</title>";
  files.outOfMemoryAt = FileOp::kRead;
  EXPECT_THROW(scanner.FindTag("third.htm", "title", 1), std::bad_alloc);
  files.outOfMemoryAt.reset();
  EXPECT_TRUE(scanner.FindTag("third.htm", "title", 1) && scanner.TagContent() == "Third");
}

}  // namespace
}  // namespace kelvara
