#include "text/text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kelvara
