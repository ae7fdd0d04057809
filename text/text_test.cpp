#include "text/text.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

namespace kelvara {
namespace {

TEST(TrimSpaces, RemovesOnlyBlanksAtEitherEnd) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimSpaces(" \r\n"), "\r\n");
  EXPECT_EQ(TrimSpaces("    "), "");
  EXPECT_EQ(TrimSpaces(""), "");
}

TEST(IsBlank, IsTrueOnlyForBlanksOrNothing) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank("   "));
  EXPECT_FALSE(IsBlank(" \t "));
  EXPECT_FALSE(IsBlank(" x"));
}

TEST(LowerAnsi, LowersAsciiLettersAndKeepsEverythingElse) {
  EXPECT_EQ(LowerAnsi("<TITLE>Home</Title>"), "<title>home</title>");
  std::string all;
  for (int c = 0; c < 128; ++c) all.push_back(static_cast<char>(c));
  const std::string lower = LowerAnsi(all);
  ASSERT_EQ(lower.size(), all.size());
  for (int c = 0; c < 128; ++c) {
    const int expected = (c >= 'A' && c <= 'Z') ? c + 32 : c;
    EXPECT_EQ(static_cast<unsigned char>(lower[c]), expected) << "byte " << c;
  }
}

TEST(LowerAnsi, KeepsTheLengthWithNulBytesInside) {
  const std::string text("A\0B", 3);
  EXPECT_EQ(LowerAnsi(text), std::string("a\0b", 3));
}

TEST(CaselessPattern, FindsWhatALowerCasedCopyWouldShow) {
  const CaselessPattern title("<title");
  EXPECT_EQ(title.Find("x<TiTlE>"), 1u);
  EXPECT_EQ(title.Find("<titl<TITLE"), 5u);
  EXPECT_EQ(title.Find("<TITLE", 1), std::string_view::npos);
  EXPECT_EQ(title.Find("<titl"), std::string_view::npos);
  EXPECT_EQ(title.Find(""), std::string_view::npos);
  const CaselessPattern letters("ab");
  EXPECT_EQ(letters.Find("xxAB"), 2u);  // a first byte that two bytes lower-case to
  EXPECT_EQ(letters.Find("xxAb", 3), std::string_view::npos);
  EXPECT_EQ(CaselessPattern("").Find("abc", 3), 3u);
}

TEST(CaselessPattern, AgreesWithSearchingALowerCasedCopy) {
  std::string text;
  for (int i = 0; i < 4000; ++i)
    text.push_back("<!-SsCcRrIiPpTt>/ \x0\xC0\xE0"[(i * 7 + i / 13) % 22]);
  for (const std::string needle : {"<script", "</script>", "<!--", "-->", "s", "\xe0"}) {
    const std::string lower = LowerAnsi(text);
    const CaselessPattern pattern(needle);
    for (std::size_t from = 0; from < 200; from += 7) {
      ASSERT_EQ(pattern.Find(text, from), std::string_view(lower).find(needle, from))
          << needle << " " << from;
    }
  }
}

// Long texts with sparse matches, near misses and every letter case: every
// match must be found, at every offset from a block's start and up to the
// very end of the text.
TEST(CaselessPattern, FindsEveryMatchInALongText) {
  std::mt19937 random(7);
  const std::string pieces[] = {
      "<",      "<p>",   "SCRIPT",          "<SCRIPt",        "<scrip", "<!-",  "<!--",  "-->",
      "</BODY", "</bod", ".Document.WRITE", ".document.writ", "\xC0",   "\xE0", "<\xC0", " ",
      "\r\n",   "x",     "<sCrIpT"};
  for (int round = 0; round < 40; ++round) {
    std::string text;
    while (text.size() < 3000 + static_cast<std::size_t>(round)) {
      const std::string& piece = pieces[random() % std::size(pieces)];
      text += random() % 3 == 0 ? piece : std::string(random() % 40, 'y');
    }
    const std::string lower = LowerAnsi(text);
    for (const std::string needle :
         {"<script", "<!--", "-->", "</body", ".document.write", "<\xe0", "<s"}) {
      const CaselessPattern pattern(needle);
      std::size_t wanted = 0;
      for (std::size_t from = 0;; from = wanted + 1) {
        wanted = std::string_view(lower).find(needle, from);
        ASSERT_EQ(pattern.Find(text, from), wanted) << needle << " from " << from;
        if (wanted == std::string_view::npos) break;
      }
    }
  }
}

}  // namespace
}  // namespace kelvara
