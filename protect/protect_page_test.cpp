#include "protect/protect_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "testing/memory_file_system.h"
#include "files/atomic_write.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"
#include "testing/source_file.h"

namespace kelvara {
namespace {

constexpr char kPage[] = "site/page.htm";
constexpr char kBackup[] = "site/page.htm.original";

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
    lines.push_back(text.substr(from, end - from));
  }
  EXPECT_EQ(from, text.size()) << "the last line has no CR LF";
  return lines;
}

class ProtectPageTest : public ::testing::Test {
 protected:
  // Protects `page` and gives the protected page's lines after the fixed ones.
  std::vector<std::string> Protect(const std::string& page) {
    files.files[kPage] = page;
    scanner.ForgetCache();
    const std::string reason = Said(ProtectPage(kPage, cipher, scanner, files, TestRandom()));
    EXPECT_EQ(reason, "");
    // From the title line on, less the seal line, whose value is a hash.
    std::vector<std::string> lines = SplitCrLf(files.files[kPage]);
    std::erase_if(lines, [](const std::string& line) { return line.starts_with("  var VetrakSeal"); });
    auto title = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.starts_with("    VetrakSetTitle(\"");
    });
    EXPECT_NE(title, lines.end());
    return std::vector<std::string>(title, lines.end());
  }
  // The plain text of a call line.
  std::string Plain(const std::string& callLine) const {
    const std::size_t open = callLine.find("(\"");
    const std::size_t close = callLine.rfind("\");");
    EXPECT_NE(open, std::string::npos);
    EXPECT_EQ(close, callLine.size() - 3);
    return cipher.DecodeHex(callLine.substr(open + 2, close - open - 2));
  }
  std::vector<std::string> BodyLines(const std::vector<std::string>& tail) const {
    std::vector<std::string> body;
    for (const std::string& line : tail) {
      if (line.starts_with("    VetrakAdd2Body(\"")) body.push_back(Plain(line));
    }
    return body;
  }

  MemoryFileSystem files;
  TagScanner scanner{files};
  PageCipher cipher{"pass word"};
};

TEST_F(ProtectPageTest, WritesTheTitleHeadBodyAndTheFixedLines) {
  const auto tail = Protect(
      "<html><head>\r\n<title>Home</title>\r\n<meta a=b>\r\n</head>\r\n"
      "<body bgcolor = white>\r\nHello\r\n</body></html>");
  ASSERT_EQ(tail.size(), 12u);
  EXPECT_EQ(tail[0], "    VetrakSetTitle(\"" + cipher.EncodeHex("Home") + "\");");
  EXPECT_EQ(tail[1], "    VetrakAdd2Body(\"" + cipher.EncodeHex("Hello") + "\");");
  EXPECT_EQ(tail[2], "  }");
  EXPECT_EQ(tail[3], "");
  EXPECT_EQ(tail[4], "</script>");
  EXPECT_EQ(tail[5], "");  // the head extra begins with the line break after <head>
  EXPECT_EQ(tail[6], "");  // the title's line is left empty
  EXPECT_EQ(tail[7], "<meta a=b>");
  EXPECT_EQ(tail[8], "");  // and ends with the line break before </head>
  EXPECT_EQ(tail[9], "</head>");
  EXPECT_EQ(tail[10], "<body bgcolor=white onload=\"VetrakMain();\"></body>");
  EXPECT_EQ(tail[11], "</html>");
  EXPECT_EQ(files.files.at(kBackup).substr(0, 12), "<html><head>");
}

TEST_F(ProtectPageTest, UsesThePathAsTitleWhenThereIsNone) {
  for (const char* page :
       {"<head>h</head><body>b</body>", "<head><title></title>h</head><body>b</body>"}) {
    const auto tail = Protect(page);
    EXPECT_EQ(Plain(tail[0]), kPage) << page;
  }
}

TEST_F(ProtectPageTest, CutsATitleWrittenInCapitalsButNotOneWithAttributes) {
  auto tail = Protect("<head>a<TITLE>T</Title>b</head><body>x</body>");
  EXPECT_EQ(Plain(tail[0]), "T");
  EXPECT_EQ(tail[5], "ab");
  tail = Protect("<head>a<title lang=en>T</title>b</head><body>x</body>");
  EXPECT_EQ(Plain(tail[0]), "T");
  EXPECT_EQ(tail[5], "a<title lang=en>T</title>b");
}

TEST_F(ProtectPageTest, AnEmptyHeadExtraWritesNoLine) {
  const auto tail = Protect("<head><title>T</title></head><body>x</body>");
  EXPECT_EQ(tail[4], "</script>");
  EXPECT_EQ(tail[5], "</head>");
}

TEST_F(ProtectPageTest, KeepsTheBodyAttributesAsFound) {
  auto tail = Protect("<head>h</head><body>x</body>");
  EXPECT_EQ(tail.end()[-2], "<body  onload=\"VetrakMain();\"></body>");
  tail = Protect("<head>h</head><body onload=\"init()\">x</body>");
  EXPECT_EQ(tail.end()[-2], "<body onload=\"init()\" onload=\"VetrakMain();\"></body>");
}

TEST_F(ProtectPageTest, SkipsBlankPiecesAndKeepsTheRestWhole) {
  const auto tail =
      Protect("<head>h</head><body>\r\nsame\r\n<!-- c -->\r\n\tx \r\nsame\r\na \nb\r\n</body>");
  EXPECT_EQ(BodyLines(tail), (std::vector<std::string>{"same", "\tx", "same", "a \nb"}));
  EXPECT_EQ(tail[1], tail[3]);
}

TEST_F(ProtectPageTest, ABodyWithNothingToShowWritesNoBodyLine) {
  const auto tail = Protect("<head>h</head><body>\r\n<script>x</script>\r\n</body>");
  EXPECT_TRUE(BodyLines(tail).empty());
  EXPECT_EQ(tail[1], "  }");
}

TEST_F(ProtectPageTest, RemovesScriptsInAnyCaseBeforeComments) {
  const auto tail = Protect(
      "<head>h</head><body>\r\n"
      "a<SCRIPT type=x>if (a<!--b) {}</Script>b\r\n"
      "c<!-- <script>x</script> -->d\r\n"
      "e<scripts>f</SCRIPT>g\r\n"
      "h<script>one\r\ntwo\r\n</script>i\r\n"
      "</body>");
  EXPECT_EQ(BodyLines(tail), (std::vector<std::string>{"ab", "cd", "eg", "hi"}));
}

TEST_F(ProtectPageTest, CutsAnUnclosedScriptOrCommentToTheEnd) {
  auto tail = Protect("<head>h</head><body>\r\nkeep\r\ncut<script>\r\nall\r\n</body>");
  EXPECT_EQ(BodyLines(tail), (std::vector<std::string>{"keep", "cut"}));
  tail = Protect("<head>h</head><body>\r\nkeep<!--\r\nall\r\n</body>");
  EXPECT_EQ(BodyLines(tail), (std::vector<std::string>{"keep"}));
}

TEST_F(ProtectPageTest, RefusesPagesWithoutHeadOrBody) {
  struct Case {
    const char* page;
    std::string_view reason;
  };
  for (const Case& c :
       {Case{"<body>b</body>", kHeadMissing}, Case{"<html></html>", kHeadMissing},
        Case{"<head></head><body>b</body>", kHeadMissing}, Case{"<head>h</head>", kBodyMissing},
        Case{"<head>h</head><body></body>", kBodyMissing}}) {
    files = MemoryFileSystem{};
    files.files[kPage] = c.page;
    scanner.ForgetCache();
    EXPECT_EQ(Said(ProtectPage(kPage, cipher, scanner, files, TestRandom())), c.reason) << c.page;
    EXPECT_EQ(files.files.at(kPage), c.page);
    EXPECT_FALSE(files.files.contains(kBackup));
  }
}

TEST_F(ProtectPageTest, RefusesAHeadWhoseEndOnlyAppearsOnceTheTitleIsCut) {
  for (const char* page :
       {"<head>\r\n</he<title></title>ad>\r\n<body x>\r\n</head>y</body>",
        "<head>\r\n  </he<title>x</title>ad>  \r\n<meta>\r\n</head><body>b</body>"}) {
    files = MemoryFileSystem{};
    files.files[kPage] = page;
    scanner.ForgetCache();
    EXPECT_EQ(Said(ProtectPage(kPage, cipher, scanner, files, TestRandom())), kHeadMalformed) << page;
    EXPECT_EQ(files.files.at(kPage), page);
    EXPECT_FALSE(files.files.contains(kBackup));
  }
  // Restoration compares that line with letter case, and it must stand alone.
  Protect(
      "<head>\r\n</HE<title></title>AD>\r\n</he<title></title>ad> <meta>\r\n</head><body>b</body>");
}

TEST_F(ProtectPageTest, AMissingOrUnreadablePageIsSaidToBeSo) {
  EXPECT_EQ(Said(ProtectPage("missing.htm", cipher, scanner, files, TestRandom())), kPageUnreadable);
  files.files[kPage] = "<head>h</head><body>b</body>";
  files.failWhen = [](FileOp op, const std::string&) { return op == FileOp::kRead; };
  EXPECT_EQ(Said(ProtectPage(kPage, cipher, scanner, files, TestRandom())), kPageUnreadable);
  EXPECT_EQ(files.files.at(kPage), "<head>h</head><body>b</body>");
}

TEST_F(ProtectPageTest, ASecondProtectOverwritesTheBackup) {
  Protect("<head>h</head><body>first</body>");
  Protect("<head>h</head><body>second</body>");
  EXPECT_EQ(files.files.at(kBackup), "<head>h</head><body>second</body>");
}

TEST_F(ProtectPageTest, RefusesAReadOnlyPageWithoutABackup) {
  files.files[kPage] = "<head>h</head><body>b</body>";
  files.readOnly.insert(kPage);
  EXPECT_EQ(Said(ProtectPage(kPage, cipher, scanner, files, TestRandom())), kPageReadOnly);
  EXPECT_EQ(files.files.at(kPage), "<head>h</head><body>b</body>");
  EXPECT_FALSE(files.files.contains(kBackup));
}

TEST_F(ProtectPageTest, ForgetsTheScanOfAPageItRewrote) {
  files.files[kPage] = "<head><title>T</title></head><body>b</body>";
  ASSERT_FALSE(IsProtectedPage(scanner, kPage));
  ASSERT_EQ(Said(ProtectPage(kPage, cipher, scanner, files, TestRandom())), "");
  EXPECT_TRUE(IsProtectedPage(scanner, kPage));
}

TEST_F(ProtectPageTest, MatchesTheHandWrittenProtectedPage) {
  auto load = [](const char* name) { return SourceFile(std::string("protect/testdata/") + name); };
  files.files["club.htm"] = load("club.htm");
  ASSERT_EQ(Said(ProtectPage("club.htm", PageCipher("club-2026"), scanner, files, TestRandom())), "");
  EXPECT_EQ(files.files.at("club.htm"), load("club.protected.htm"));
  EXPECT_EQ(files.files.at("club.htm.original"), load("club.htm"));
}

TEST(RemoveElements, CutsAMarkerThatACutJoinedTogether) {
  std::string text = "a<scr<script>x</script>ipt>y</script>b";
  RemoveElements(text, "<script", "</script>");
  EXPECT_EQ(text, "ab");
  text = "<!<!---->-- c -->d";
  RemoveElements(text, "<!--", "-->");
  EXPECT_EQ(text, "d");
}

TEST(RemoveElements, LetsACommentCloseRightAfterItsOpening) {
  std::string text = "a<!-->b";
  RemoveElements(text, "<!--", "-->");
  EXPECT_EQ(text, "ab");
}

TEST(RemoveElements, StaysLinearWithManyElements) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "k<script>s</script>";
  RemoveElements(text, "<script", "</script>");
  EXPECT_EQ(text, std::string(200000, 'k'));
}

}  // namespace
}  // namespace kelvara
