#include "scan/tag_scanner.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"

namespace kelvara {
namespace {

TEST(BuildScanText, TrimsLinesAndDropsEmptyOnes) {
  EXPECT_EQ(BuildScanText("  <html>  \r\n\r\n   \r\n\t<head>\r\n"), "<html>\r\n\t<head>\r\n");
  EXPECT_EQ(BuildScanText("a\rb\nc"), "a\r\nb\nc\r\n");
  EXPECT_EQ(BuildScanText(""), "");
}

TEST(BuildScanText, DropsLinesThatWriteIntoTheDocument) {
  EXPECT_EQ(BuildScanText("keep\r\nwindow.Document.WRITE('<b>')\r\ndocument.write('x')\r\n"),
            "keep\r\ndocument.write('x')\r\n");
}

// The lines that write into the document are found by searching ahead
// through the page, not line by line; a large page with such lines far
// apart, close together, two in one line, at a line's either end and one cut
// by a line break must lose exactly the lines a line-by-line check drops.
TEST(BuildScanText, DropsEveryWritingLineOfALargePage) {
  const std::string lines[] = {"<p>text</p>",
                               "  x.document.write('a')  ",
                               ".DOCUMENT.WRITE",
                               "a.document.write(1); b.document.write(2)",
                               ".document.",
                               "write('split')",
                               "",
                               "   ",
                               "<b>.document.writ</b>"};
  std::string page;
  std::string wanted;
  for (int i = 0; page.size() < 400000; ++i) {
    const int pick = i % 151 < 140 ? 0 : i % 9;  // mostly plain lines, some runs of the others
    const std::string& line = lines[pick];
    page += line + (i % 5 == 0 ? "\r" : "\r\n");
    const std::string_view trimmed = TrimSpaces(line);
    if (!trimmed.empty() && LowerAnsi(trimmed).find(".document.write") == std::string::npos)
      wanted.append(trimmed).append("\r\n");
  }
  EXPECT_EQ(BuildScanText(page), wanted);
}

TEST(BuildScanText, EndsAtTheEndOfFileByte) {
  EXPECT_EQ(BuildScanText("a\r\nb\x1A"
                          "c\r\nd"),
            "a\r\nb\r\n");
}

TEST(NormaliseAttributes, RemovesBlanksAroundEquals) {
  EXPECT_EQ(NormaliseAttributes("bgcolor = white  text= black"), "bgcolor=white  text=black");
  EXPECT_EQ(NormaliseAttributes("a    =    'x = y'"), "a='x=y'");
  EXPECT_EQ(NormaliseAttributes("a = = b"), "a==b");
  EXPECT_EQ(NormaliseAttributes("a\t= b"), "a\t=b");
}

TEST(NormaliseAttributes, StaysLinearOnLongRuns) {
  const std::string blanks(1 << 20, ' ');
  EXPECT_EQ(NormaliseAttributes("a" + blanks + "=" + blanks + "b"), "a=b");
}

class TagScannerTest : public ::testing::Test {
 protected:
  bool Find(const std::string& page, std::string_view tag, int occurrence = 1) {
    files.files["page.htm"] = page;
    scanner.ForgetCache();
    return scanner.FindTag("page.htm", tag, occurrence);
  }
  MemoryFileSystem files;
  TagScanner scanner{files};
};

TEST_F(TagScannerTest, FindsAnElementInAnyLetterCase) {
  for (const char* page : {"<title>Home</title>", "<TITLE>Home</TITLE>", "<Title>Home</TITLE>"}) {
    ASSERT_TRUE(Find(page, "title")) << page;
    EXPECT_EQ(scanner.TagContent(), "Home");
    EXPECT_EQ(scanner.TagAttributes(), "");
  }
}

TEST_F(TagScannerTest, AcceptsTheTagNameInEveryWrittenForm) {
  for (const char* tag : {"title", "<TITLE>", " title> ", "<title", "TITLE>"}) {
    ASSERT_TRUE(Find("<html><title>Home</title></html>", tag)) << tag;
    EXPECT_EQ(scanner.TagContent(), "Home") << tag;
  }
}

TEST_F(TagScannerTest, DoesNotReportAnElementWithNothingInside) {
  EXPECT_FALSE(Find("<title></title>", "title"));
  ASSERT_TRUE(Find("<title> </title>", "title"));
  EXPECT_EQ(scanner.TagContent(), "");
}

TEST_F(TagScannerTest, GivesTrimmedNormalisedAttributesAndContentWithLineBreaks) {
  ASSERT_TRUE(Find("<body bgcolor = white  text= black >\r\n  Hello  \r\n</body>", "body"));
  EXPECT_EQ(scanner.TagAttributes(), "bgcolor=white  text=black");
  EXPECT_EQ(scanner.TagContent(), "\r\nHello\r\n");
}

TEST_F(TagScannerTest, MatchesTheTagNameAsAPrefix) {
  ASSERT_TRUE(Find("<header>x</header><head>y</head>", "head"));
  EXPECT_EQ(scanner.TagContent(), "x");
  EXPECT_EQ(scanner.TagAttributes(), "er");
  ASSERT_TRUE(Find("<header>x</header><head>y</head>", "head", 2));
  EXPECT_EQ(scanner.TagContent(), "y");
}

TEST_F(TagScannerTest, TheFirstClosingTagEndsTheElement) {
  ASSERT_TRUE(Find("<div>a<div>b</div>c</div>", "div"));
  EXPECT_EQ(scanner.TagContent(), "a<div>b");
}

TEST_F(TagScannerTest, TheFirstGreaterThanEndsTheStartTag) {
  ASSERT_TRUE(Find("<body onload=\"a>b\">x</body>", "body"));
  EXPECT_EQ(scanner.TagAttributes(), "onload=\"a");
  EXPECT_EQ(scanner.TagContent(), "b\">x");
}

TEST_F(TagScannerTest, IgnoresTagsOnDocumentWriteLines) {
  EXPECT_FALSE(Find("x.document.write('<title>Bad</title>')\r\n", "title"));
  ASSERT_TRUE(Find("parent.document.write('<title>Bad</title>')\r\n<title>Good</title>", "title"));
  EXPECT_EQ(scanner.TagContent(), "Good");
}

TEST_F(TagScannerTest, FindsSelfClosedElements) {
  ASSERT_TRUE(Find("<title/>", "title"));
  EXPECT_EQ(scanner.TagContent(), "");
  EXPECT_EQ(scanner.TagAttributes(), "");
  ASSERT_TRUE(Find("<body bgcolor = red />", "body"));
  EXPECT_EQ(scanner.TagAttributes(), "bgcolor=red");
}

TEST_F(TagScannerTest, LetsTheClosingTagDecideWhenTheSelfCloseBelongsToAnotherTag) {
  ASSERT_TRUE(Find("<head><link rel=x />\r\n<meta a=b></head>", "head"));
  EXPECT_EQ(scanner.TagContent(), "<link rel=x />\r\n<meta a=b>");
  ASSERT_TRUE(Find("<meta name=a />\r\n<title>T</title>", "title"));
  EXPECT_EQ(scanner.TagContent(), "T");
}

TEST_F(TagScannerTest, RejectsMalformedOrMissingElements) {
  EXPECT_FALSE(Find("<title>Home", "title"));
  EXPECT_FALSE(Find("<title x</title", "title"));   // no ">" anywhere after the name
  EXPECT_FALSE(Find("<title x</title>", "title"));  // its first ">" is the closing tag's
  EXPECT_FALSE(Find("<html></html>", "title"));
  EXPECT_FALSE(Find("<title>Home</title>", "title", 2));
}

TEST_F(TagScannerTest, DoesNotTryALaterOccurrenceWhenTheWantedOneFails) {
  EXPECT_FALSE(Find("<title></title><title>Second</title>", "title"));
  ASSERT_TRUE(Find("<title></title><title>Second</title>", "title", 2));
  EXPECT_EQ(scanner.TagContent(), "Second");
}

TEST_F(TagScannerTest, OutputsAreEmptiedByAFailedCall) {
  ASSERT_TRUE(Find("<body a=b>x</body>", "body"));
  EXPECT_FALSE(scanner.FindTag("page.htm", "title", 1));
  EXPECT_EQ(scanner.TagContent(), "");
  EXPECT_EQ(scanner.TagAttributes(), "");
}

TEST_F(TagScannerTest, MissingFilesAndOccurrencesBelowOneAreNotFound) {
  files.files["page.htm"] = "<title>Home</title>";
  EXPECT_FALSE(scanner.FindTag("page.htm", "title", 0));
  EXPECT_FALSE(scanner.FindTag("page.htm", "title", -1));
  EXPECT_FALSE(scanner.FindTag("other.htm", "title", 1));
  EXPECT_EQ(files.Count(FileOp::kRead, "page.htm"), 0);
  EXPECT_EQ(files.Count(FileOp::kRead, "other.htm"), 0);
}

TEST_F(TagScannerTest, AFolderOrUnreadableFileScansAsEmpty) {
  files.folders.insert("folder.htm");
  EXPECT_FALSE(scanner.FindTag("folder.htm", "title", 1));
  files.files["locked.htm"] = "<title>Home</title>";
  files.failWhen = [](FileOp op, const std::string&) { return op == FileOp::kRead; };
  EXPECT_FALSE(scanner.FindTag("locked.htm", "title", 1));
  files.failWhen = nullptr;
  EXPECT_FALSE(scanner.FindTag("locked.htm", "title", 1));  // the empty text stays cached
}

TEST_F(TagScannerTest, ReadsEachPageOnceUntilItChanges) {
  files.files["page.htm"] = "<head><title>Home</title></head><body>x</body>";
  EXPECT_TRUE(scanner.FindTag("page.htm", "title", 1));
  EXPECT_TRUE(scanner.FindTag("page.htm", "head", 1));
  EXPECT_TRUE(scanner.FindTag("page.htm", "body", 1));
  EXPECT_EQ(files.Count(FileOp::kRead, "page.htm"), 1);
  files.files["page.htm"] = "changed";
  EXPECT_FALSE(scanner.FindTag("page.htm", "body", 1));
  EXPECT_EQ(files.Count(FileOp::kRead, "page.htm"), 2);

  files.files["other.htm"] = "<title>Other</title>";
  EXPECT_TRUE(scanner.FindTag("other.htm", "title", 1));
  EXPECT_FALSE(scanner.FindTag("page.htm", "title", 1));  // a new name replaced the cache
  EXPECT_EQ(files.Count(FileOp::kRead, "page.htm"), 3);
}

// The content is cut out of the scan text, so what is handed over must be
// exactly the content, and the scanner must not go on using the cut text.
TEST_F(TagScannerTest, HandsOverTheContentAndForgetsThePage) {
  files.files["page.htm"] =
      "<head><title>Home</title></head>\r\n<body a=1>\r\n  one \r\n two  \r\n</body>";
  ASSERT_TRUE(scanner.FindTag("page.htm", "body", 1));
  EXPECT_EQ(scanner.TakeTagContent(), "\r\none\r\ntwo\r\n");  // lines are trimmed one by one
  EXPECT_EQ(scanner.TagContent(), "");
  EXPECT_EQ(scanner.TagAttributes(), "a=1");
  ASSERT_TRUE(scanner.FindTag("page.htm", "title", 1));
  EXPECT_EQ(scanner.TagContent(), "Home");
  EXPECT_EQ(files.Count(FileOp::kRead, "page.htm"), 2);

  files.files["empty.htm"] = "<body>   </body><title>x</title>";
  ASSERT_TRUE(scanner.FindTag("empty.htm", "body", 1));
  EXPECT_EQ(scanner.TakeTagContent(), "");
}

TEST_F(TagScannerTest, CopesWithAnyBytes) {
  std::string page;
  for (int round = 0; round < 4; ++round) {
    for (int c = 0; c < 256; ++c) page.push_back(static_cast<char>(c));
  }
  page += std::string("<title>\x80\xFF\0x</title>", 19);
  EXPECT_FALSE(Find(page, "title"));  // the 0x1A in the first round ends the page
  page.erase(0, 1024);
  ASSERT_TRUE(Find(page, "title"));
  EXPECT_EQ(scanner.TagContent(), std::string("\x80\xFF\0x", 4));
}

}  // namespace
}  // namespace kelvara
