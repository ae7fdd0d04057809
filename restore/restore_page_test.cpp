#include "restore/restore_page.h"

#include <gtest/gtest.h>

#include <vector>

#include "files/atomic_write.h"
#include "protect/protect_page.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"
#include "testing/reference.h"
#include "testing/source_file.h"

namespace kelvara {
namespace {

constexpr char kPage[] = "site/page.htm";
constexpr char kCopy[] = "site/page.htm.protected";

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\r\n");
  return text;
}

class RestorePageTest : public ::testing::Test {
 protected:
  // A protected page as the writer makes it, from its parts.
  std::string Protected(const std::string& title, const std::string& headExtra,
                        const std::string& attributes, const std::string& body) const {
    return BuildProtectedPage(PageParts{title, headExtra, attributes, body}, cipher, TestRandom().Bytes(16));
  }
  std::string Restore(const std::string& page) {
    files.files[kPage] = page;
    return Said(RestorePage(kPage, cipher, files));
  }
  std::string Hex(const std::string& text) const { return cipher.EncodeHex(text); }

  MemoryFileSystem files;
  PageCipher cipher{"s3cret"};
};

TEST_F(RestorePageTest, RebuildsThePlainPageInItsFixedShape) {
  ASSERT_EQ(Restore(Protected("Home", "<meta name=x>", "", "one\r\ntwo")), "");
  EXPECT_EQ(files.files.at(kPage),
            Join({"<html>", "<head>", "<title>Home</title>", "<meta name=x>", "", "</head>",
                  "<body>", "one", "two", "", "</body>", "</html>"}));
}

TEST_F(RestorePageTest, KeepsTheProtectedPageBesideIt) {
  files.files[kCopy] = "an older copy";
  const std::string page = Protected("T", "", "", "x");
  ASSERT_EQ(Restore(page), "");
  EXPECT_EQ(files.files.at(kCopy), page);
}

TEST_F(RestorePageTest, EmptyPartsLeaveOnlyTheFrame) {
  ASSERT_EQ(Restore(Protected("", "", "", "")), "");
  EXPECT_EQ(files.files.at(kPage), Join({"<html>", "<head>", "<title></title>", "</head>", "<body>",
                                         "</body>", "</html>"}));
}

TEST_F(RestorePageTest, EveryLineBetweenScriptAndHeadIsHeadExtraTrimmed) {
  std::string page = Protected("T", "x", "", "");
  page.replace(page.find("\r\nx\r\n"), 5, "\r\n  a  \r\n\r\n\tb\r\n");
  ASSERT_EQ(Restore(page), "");
  EXPECT_EQ(files.files.at(kPage), Join({"<html>", "<head>", "<title>T</title>", "a", "", "\tb", "",
                                         "</head>", "<body>", "</body>", "</html>"}));
}

TEST_F(RestorePageTest, TrimsCallLinesBeforeCuttingTheHexOut) {
  const std::string page = Join({"<html>", "  VetrakSetTitle(\"" + Hex("Title") + "\");   ",
                                 "VetrakAdd2Body(\"" + Hex("line") + "\");  ", "  }", "</script>",
                                 "</head>", "<body  onload=\"VetrakMain();\"></body>", "</html>"});
  ASSERT_EQ(Restore(page), "");
  EXPECT_EQ(files.files.at(kPage), Join({"<html>", "<head>", "<title>Title</title>", "</head>",
                                         "<body>", "line", "", "</body>", "</html>"}));
}

TEST_F(RestorePageTest, DropsOnlyTheLoadAttributeThatProtectionAdded) {
  ASSERT_EQ(Restore(Protected("T", "", "bgcolor=white", "x")), "");
  EXPECT_NE(files.files.at(kPage).find("\r\n<body bgcolor=white>\r\n"), std::string::npos);
  ASSERT_EQ(Restore(Protected("T", "", "onload=\"VetrakMain();\"", "x")), "");
  EXPECT_NE(files.files.at(kPage).find("\r\n<body onload=\"VetrakMain();\">\r\n"),
            std::string::npos);
}

TEST_F(RestorePageTest, KeepsAttributesThatSpanLinesOrHoldAGreaterThan) {
  ASSERT_EQ(Restore(Protected("T", "", "\r\nbgcolor=white\r\ntext=black", "x")), "");
  EXPECT_NE(files.files.at(kPage).find("\r\n<body \r\nbgcolor=white\r\ntext=black>\r\n"),
            std::string::npos);
  ASSERT_EQ(Restore(Protected("T", "", "a>b", "x")), "");
  EXPECT_NE(files.files.at(kPage).find("\r\n<body a>b>\r\n"), std::string::npos);
}

TEST_F(RestorePageTest, AHandEditedBodyLineEndsAtItsFirstGreaterThan) {
  std::string page = Protected("T", "", "", "x");
  page.replace(page.find("<body "), std::string::npos,
               "<body class=a\r\nid=b>text</body>\r\n</html>\r\n");
  ASSERT_EQ(Restore(page), "");
  EXPECT_NE(files.files.at(kPage).find("\r\n<body class=a\r\nid=b>\r\n"), std::string::npos);
}

TEST_F(RestorePageTest, RefusesPagesThatEndBeforeALineItWaitsFor) {
  const std::string page = Protected("T", "<meta>", "a=b", "x");
  for (const char* cut :
       {"    VetrakSetTitle(\"", "  }\r\n", "</script>", "</head>", "<body ", "a=b"}) {
    files = MemoryFileSystem{};
    const std::string damaged = page.substr(0, page.rfind(cut));
    EXPECT_EQ(Restore(damaged), kPageDamaged) << cut;
    EXPECT_EQ(files.files.at(kPage), damaged);
    EXPECT_FALSE(files.files.contains(kCopy));
  }
  EXPECT_EQ(Restore(""), kNotProtected);
}

TEST_F(RestorePageTest, ComparesMarkersWithLetterCase) {
  std::string page = Protected("T", "", "", "x");
  page.replace(page.find("<body "), 6, "<BODY ");
  EXPECT_EQ(Restore(page), kPageDamaged);
  page = Protected("T", "", "", "x");
  page.replace(page.find("    VetrakSetTitle(\""), 20, "    vetraksettitle(\"");
  EXPECT_EQ(Restore(page), kPageDamaged);
  page = Protected("T", "", "", "x");
  page.replace(page.find("<body "), 6, " <body ");  // the body line is not trimmed
  EXPECT_EQ(Restore(page), kPageDamaged);
}

TEST_F(RestorePageTest, RefusesAMissingOrUnreadablePage) {
  EXPECT_EQ(Said(RestorePage("missing.htm", cipher, files)), kPageUnreadable);
  const std::string page = Protected("T", "", "", "x");
  files.failWhen = [](FileOp op, const std::string&) { return op == FileOp::kRead; };
  EXPECT_EQ(Restore(page), kPageUnreadable);
  EXPECT_EQ(files.files.at(kPage), page);
}

TEST_F(RestorePageTest, RefusesAReadOnlyPageWithoutACopy) {
  const std::string page = Protected("T", "h", "", "x");
  files.readOnly.insert(kPage);
  EXPECT_EQ(Restore(page), kPageReadOnly);
  EXPECT_EQ(files.files.at(kPage), page);
  EXPECT_FALSE(files.files.contains(kCopy));
}

TEST_F(RestorePageTest, RefusesBodyLinesThatTheRightPasswordCannotGive) {
  for (const char* impossible : {"a\rb", "end\x1A"}) {
    const std::string page =
        Join({"    VetrakSetTitle(\"" + Hex("T") + "\");",
              "    VetrakAdd2Body(\"" + Hex(impossible) + "\");", "  }", "</script>", "</head>",
              "<body  onload=\"VetrakMain();\"></body>"});
    EXPECT_EQ(Restore(page), kWrongPassword);
    EXPECT_EQ(files.files.at(kPage), page);
    EXPECT_FALSE(files.files.contains(kCopy));
  }
}

TEST_F(RestorePageTest, CatchesAWrongPasswordOnARealPage) {
  MemoryFileSystem plain;
  TagScanner scanner(plain);
  // Varied text, as on a real page: on lines that differ only in a digit a
  // wrong key gives the same few bytes over and over, and the guard sees less.
  const char* words[] = {"meeting", "garden", "Tuesday", "bring", "a",     "friend", "snacks",
                         "and",     "chairs", "the",     "hall",  "opens", "at",     "seven",
                         "members", "only",   "please",  "note",  "new",   "rules"};
  std::string body;
  for (int i = 0; i < 40; ++i) {
    body += "<p>";
    for (int w = 0; w < 9; ++w)
      body += std::string(words[(i * 7 + w * 3) % 20]) + (w == 8 ? "." : " ");
    body += "</p>\r\n";
  }
  plain.files[kPage] = "<html><head><title>News</title></head><body>\r\n" + body + "</body></html>";
  ASSERT_EQ(Said(ProtectPage(kPage, cipher, scanner, plain, TestRandom())), "");
  const std::string page = plain.files.at(kPage);
  files.files[kPage] = page;
  EXPECT_EQ(Said(RestorePage(kPage, PageCipher("~"), files)), kWrongPassword);
  EXPECT_EQ(files.files.at(kPage), page);

  // A near miss deciphers into plausible text; the check value still tells it.
  EXPECT_EQ(Said(RestorePage(kPage, PageCipher("s3cres"), files)), kWrongPassword);
  EXPECT_EQ(files.files.at(kPage), page);
  EXPECT_EQ(Said(RestorePage(kPage, cipher, files)), "");
  EXPECT_NE(files.files.at(kPage).find(body), std::string::npos);
}

TEST_F(RestorePageTest, NeverRefusesAPageThatProtectionWrote) {
  std::string bytes;
  for (int c = 0; c < 256; ++c) {
    if (c != 0x1A) bytes.push_back(static_cast<char>(c));
  }
  const std::string plainPage = "<head><title>" + bytes + "</title></head><body>\r\n" + bytes +
                                "\r\n" + bytes + "</body>\x1A<after the end>";
  for (const char* password : {"s3cret", "\xFF\x80\x01", "a"}) {
    MemoryFileSystem plain;
    TagScanner scanner(plain);
    plain.files[kPage] = plainPage;
    const PageCipher key(password);
    ASSERT_EQ(Said(ProtectPage(kPage, key, scanner, plain, TestRandom())), "");
    EXPECT_EQ(Said(RestorePage(kPage, key, plain)), "") << password;
  }
}

// The check value and the seal: a wrong password is always told, a changed
// page always, and the one is never taken for the other.
TEST_F(RestorePageTest, TheCheckTellsWrongPasswordsAndDamage) {
  const std::string page = Protected("Club news", "<meta x>\r\n", "class=c",
                                     "<p>Meeting on Friday.</p>\r\n<p>Bring a chair.</p>");
  const auto lineWith = [&](std::string_view marker) {
    const std::size_t at = page.find(marker);
    return std::make_pair(page.rfind("\r\n", at) + 2, page.find("\r\n", at));
  };
  const auto replaced = [&](std::string_view marker, std::size_t from, std::string_view with) {
    std::string changed = page;
    changed.replace(lineWith(marker).first + from, with.size(), with);
    return changed;
  };
  const auto [bodyStart, bodyEnd] = lineWith("VetrakAdd2Body(\"");
  std::string withoutCheck = page;  // as an older program wrote it
  for (const std::string_view marker : {"  var VetrakSeal", "    VetrakCheck(\""}) {
    const std::size_t start = withoutCheck.find(marker);
    withoutCheck.erase(start, withoutCheck.find("\r\n", start) + 2 - start);
  }
  struct Case {
    const char* name;
    std::string page;
    std::string password;
    Outcome outcome;
  };
  const std::vector<Case> cases = {
      {"right password", page, "s3cret", OutcomeCode::Restored},
      {"letter case", page, "S3cret", OutcomeCode::WrongPassword},
      {"one letter short", page, "s3cre", OutcomeCode::WrongPassword},
      {"a blank more", page, "s3cret ", OutcomeCode::WrongPassword},
      {"the same key twice", page, "s3crets3cret", OutcomeCode::WrongPassword},
      {"empty", page, "", OutcomeCode::WrongPassword},
      {"older page, right password", withoutCheck, "s3cret", OutcomeCode::Restored},
      {"changed hex digit", replaced("VetrakAdd2Body(\"", 20, "0"), "s3cret", OutcomeCode::PageDamaged},
      {"changed digit, wrong password", replaced("VetrakAdd2Body(\"", 20, "0"), "x",
       OutcomeCode::PageDamaged},
      {"deleted body line", page.substr(0, bodyStart) + page.substr(bodyEnd + 2), "s3cret",
       OutcomeCode::PageDamaged},
      {"call cut short", replaced("VetrakAdd2Body(\"", 20, "\");"), "s3cret", OutcomeCode::PageDamaged},
      {"changed title", replaced("VetrakSetTitle(\"", 22, "Z"), "s3cret", OutcomeCode::PageDamaged},
      {"changed check value", replaced("VetrakCheck(\"", 60, "7"), "s3cret", OutcomeCode::PageDamaged},
      {"salt not hex", replaced("VetrakCheck(\"", 20, "G"), "s3cret", OutcomeCode::PageDamaged},
      {"check too short", replaced("VetrakCheck(\"", 20, "\", \""), "s3cret",
       OutcomeCode::PageDamaged},
      {"changed seal", replaced("var VetrakSeal", 30, "0"), "s3cret", OutcomeCode::PageDamaged},
      {"seal lost", replaced("var VetrakSeal", 2, "//"), "s3cret", OutcomeCode::PageDamaged},
      {"check line lost", replaced("VetrakCheck(\"", 4, "//"), "s3cret", OutcomeCode::PageDamaged},
  };
  for (const Case& c : cases) {
    files = MemoryFileSystem{};
    files.files[kPage] = c.page;
    EXPECT_EQ(RestorePage(kPage, PageCipher(c.password), files), c.outcome) << c.name;
    if (c.outcome.Refused()) {
      EXPECT_EQ(files.files.size(), 1u) << c.name;  // nothing written
    }
  }
}

// Pages protected before the check value existed restore as they always
// did, and a reader that knows nothing of the check value reads new pages
// as this one does, but for the load attribute that this one drops.
TEST(RestoreCompatibility, BothWays) {
  MemoryFileSystem files;
  files.files[kPage] = SourceFile("restore/testdata/club.older.htm");
  ASSERT_EQ(RestorePage(kPage, PageCipher("club-2026"), files), OutcomeCode::Restored);
  EXPECT_EQ(files.files.at(kPage), SourceFile("restore/testdata/club.older.restored.htm"));

  const std::string page = SourceFile("protect/testdata/club.protected.htm");
  files.files[kPage] = page;
  ASSERT_EQ(RestorePage(kPage, PageCipher("club-2026"), files), OutcomeCode::Restored);
  const std::string literal = reference::RestoreLiterally(page, "club-2026");
  const std::string_view loadAttribute = " onload=\"VetrakMain();\"";
  const std::size_t at = literal.find(loadAttribute);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(files.files.at(kPage), literal.substr(0, at) + literal.substr(at + loadAttribute.size()));
}

}  // namespace
}  // namespace kelvara
