#include <gtest/gtest.h>

#include "text/text.h"

namespace kelvara {
namespace {

unsigned char Lower(unsigned char c) {
  char byte = static_cast<char>(c);
  LowerAnsiInPlace(&byte, 1);
  return static_cast<unsigned char>(byte);
}

TEST(LowerAnsiWestern, FollowsWindows1252) {
  EXPECT_EQ(Lower(0xC0), 0xE0);  // A grave
  EXPECT_EQ(Lower(0xDE), 0xFE);  // thorn
  EXPECT_EQ(Lower(0xD7), 0xD7);  // the multiplication sign has no lower case
  EXPECT_EQ(Lower(0xDF), 0xDF);  // sharp s is already lower case
  EXPECT_EQ(Lower(0x8A), 0x9A);
  EXPECT_EQ(Lower(0x8C), 0x9C);
  EXPECT_EQ(Lower(0x8E), 0x9E);
  EXPECT_EQ(Lower(0x9F), 0xFF);
  EXPECT_EQ(Lower(0xE0), 0xE0);
  EXPECT_EQ(Lower(0x80), 0x80);
}

TEST(LowerAnsiWestern, LowersLongTextsLikeSingleBytes) {
  std::string text;
  for (int round = 0; round < 3; ++round) {
    for (int c = 0; c < 256; ++c) text.push_back(static_cast<char>((c * 37 + round) & 0xFF));
    text += "ASCII ONLY STRETCH, LONG ENOUGH FOR SEVERAL WORDS @[`{";
  }
  for (std::size_t start = 0; start < 8; ++start) {
    std::string lowered = text.substr(start);
    LowerAnsiInPlace(lowered.data(), lowered.size());
    for (std::size_t i = 0; i < lowered.size(); ++i) {
      ASSERT_EQ(static_cast<unsigned char>(lowered[i]),
                Lower(static_cast<unsigned char>(text[start + i])))
          << "byte " << i << " from " << start;
    }
  }
}

}  // namespace
}  // namespace kelvara
