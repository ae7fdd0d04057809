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

}  // namespace
}  // namespace kelvara
