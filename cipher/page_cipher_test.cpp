#include "cipher/page_cipher.h"

#include <gtest/gtest.h>

#include <set>

#include "cipher/sha256.h"
#include "testing/reference.h"

namespace kelvara {
namespace {

using namespace std::string_literals;

std::string Encoded(const PageCipher& cipher, std::string_view text) {
  std::string hex;
  cipher.EncodeHex(hex, text);
  return hex;
}

std::string Decoded(const PageCipher& cipher, std::string_view hex) {
  std::string plain;
  cipher.DecodeHex(plain, hex);
  return plain;
}

TEST(PageCipher, KnownAnswersReadingRulesAndSalts) {
  EXPECT_EQ(Hex("abc\r\n\x05\xFF"), "6162630D0A05FF");
  EXPECT_EQ(Encoded(PageCipher("\xF0\x01"), "\x20\x0F\x10"), "101000");  // sums wrap around
  // A pair reads as far as it is hex, in either letter case, also in a block
  // of 32 characters that holds others; a last single digit stands alone.
  EXPECT_EQ(Decoded(PageCipher(""), "abcdef0A41G14G 40123456789ABCDEF"),
            "\xAB\xCD\xEF\x0A\x41\0\x04\0\x01\x23\x45\x67\x89\xAB\xCD\xEF"s);
  EXPECT_EQ(Decoded(PageCipher("\x01"), "zz414"), "\xFF\x40\x03");  // and back
  // Check values and seals read strictly: whole pairs of hex digits only.
  std::string bytes;
  EXPECT_TRUE(ReadHex("0aFf", bytes) && bytes == "\x0A\xFF");
  EXPECT_FALSE(ReadHex("0aF", bytes) || ReadHex("0G", bytes));
  // Every byte of a page's salt comes from the system's random source. (The
  // check value and the seal, SHA-256 of what the page holds, are held to
  // values worked out apart in the golden pages of protect/testdata.)
  std::set<char> firstBytes;
  for (int i = 0; i < 8; ++i) firstBytes.insert(SystemRandom().Bytes(16)[0]);
  EXPECT_GT(firstBytes.size(), 1u);
}

// The cipher works sixteen bytes at a time where it can: long texts under
// keys of every length (none: an empty password), with runs of digits in
// both cases broken by stray characters, from every kind of start, are held
// to the plain definition.
TEST(PageCipher, AgreesWithTheDefinitionOnLongTexts) {
  std::string text;
  std::string hex;
  for (int i = 0; i < 70001; ++i) {
    text.push_back(static_cast<char>(i * 151 + i / 7));
    hex.push_back(i % 97 == 50 ? "G /:@`g\x80"[i % 9]  // the ninth, a NUL
                               : "0123456789ABCDEFabcdef"[(i * 31 + i / 5) % 22]);
  }
  for (std::size_t length = 0; length <= 40; ++length) {
    std::string key;
    for (std::size_t k = 0; k < length; ++k) key.push_back(static_cast<char>(0x31 + k * 97));
    const PageCipher cipher(key);
    const std::string encoded = Encoded(cipher, text);
    ASSERT_EQ(encoded.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    ASSERT_EQ(reference::DecodeHex(encoded, key), text) << length;
    std::string applied = text;  // the whole-page line's bytes, without hex text
    cipher.ApplyKey(applied, +1);
    ASSERT_EQ(Hex(applied), encoded);
    for (const std::size_t from : {0, 1, 17}) {
      const std::string_view part = std::string_view(hex).substr(from, 3001);
      ASSERT_EQ(Decoded(cipher, part), reference::DecodeHex(part, key)) << length << " " << from;
    }
  }
}

}  // namespace
}  // namespace kelvara
