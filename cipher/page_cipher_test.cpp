#include "cipher/page_cipher.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvara {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  return bytes;
}

TEST(PageCipher, AnEmptyPasswordBecomesTheKeyOfOneZeroByte) {
  const PageCipher cipher("");
  EXPECT_EQ(cipher.Key(), std::string(1, '\0'));
  EXPECT_EQ(cipher.EncodeHex("abc"), "616263");
  EXPECT_EQ(cipher.EncodeHex("\r\n"), "0D0A");
  EXPECT_EQ(cipher.ApplyKey(AllBytes(), PageCipher::kEncipher), AllBytes());
}

TEST(PageCipher, EmptyTextsStayEmpty) {
  const PageCipher cipher("secret");
  EXPECT_EQ(cipher.ApplyKey("", PageCipher::kEncipher), "");
  EXPECT_EQ(cipher.EncodeHex(""), "");
  EXPECT_EQ(cipher.DecodeHex(""), "");
}

TEST(PageCipher, AddsTheCyclingKeyModulo256) {
  const PageCipher cipher("\x01\x02");
  EXPECT_EQ(cipher.EncodeHex("AAAAA"), "4243424342");
  const PageCipher high("\xF0");
  EXPECT_EQ(high.EncodeHex("\x20\x0F\x10"), "10FF00");  // sums above 255 wrap around
  EXPECT_EQ(high.DecodeHex("10FF00"), "\x20\x0F\x10");  // and come back the same way
}

TEST(PageCipher, EveryByteValueRoundTripsUnderEveryKeyByte) {
  const std::string text = AllBytes();
  for (int k = 0; k < 256; ++k) {
    const PageCipher cipher(std::string(1, static_cast<char>(k)) + "pw");
    const std::string hex = cipher.EncodeHex(text);
    ASSERT_EQ(hex.size(), 2 * text.size());
    ASSERT_EQ(cipher.DecodeHex(hex), text) << "key byte " << k;
    ASSERT_EQ(cipher.ApplyKey(cipher.ApplyKey(text, PageCipher::kEncipher), PageCipher::kDecipher),
              text);
  }
}

TEST(PageCipher, LongTextsEncodeByTheDefinitionUnderKeysOfEveryLength) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text.push_back(static_cast<char>(i * 151 + i / 7));
  for (std::size_t length = 1; length <= 40; ++length) {
    std::string key;
    for (std::size_t k = 0; k < length; ++k) key.push_back(static_cast<char>(0x31 + k * 97));
    const PageCipher cipher(key);
    std::string expected;
    for (const char c : cipher.ApplyKey(text, PageCipher::kEncipher)) {
      constexpr char kDigits[] = "0123456789ABCDEF";
      expected.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
      expected.push_back(kDigits[static_cast<unsigned char>(c) & 0x0F]);
    }
    ASSERT_EQ(cipher.EncodeHex(text), expected) << "key of " << length << " bytes";
  }
}

// Decoding reads many digits at a time while they are all digits; a test
// text mixes long runs of digits in both cases with stray characters, so
// that every way into and out of that path is held to the rules pair by pair.
TEST(PageCipher, LongHexTextsDecodeByTheDefinitionUnderKeysOfEveryLength) {
  const auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string hex;
  for (int i = 0; i < 3001; ++i) {
    const char* kCharacters = i % 97 == 50 ? "G /:@`g\x80" : "0123456789ABCDEFabcdef";
    hex.push_back(kCharacters[(i * 31 + i / 5) % (i % 97 == 50 ? 8 : 22)]);
  }
  for (std::size_t length = 1; length <= 40; ++length) {
    std::string key;
    for (std::size_t k = 0; k < length; ++k) key.push_back(static_cast<char>(0x31 + k * 97));
    const PageCipher cipher(key);
    for (const std::size_t from : {std::size_t{0}, std::size_t{1}, std::size_t{17}}) {
      const std::string_view text = std::string_view(hex).substr(from);
      std::string expected;
      for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = i + 1 < text.size() ? digit(text[i + 1]) : -1;
        const int value = high < 0 ? 0 : low < 0 ? high : high * 16 + low;
        expected.push_back(static_cast<char>(value - key[(i / 2) % length]));
      }
      ASSERT_EQ(cipher.DecodeHex(text), expected) << "key of " << length << " bytes, from " << from;
    }
  }
}

TEST(PageCipher, WritesTwoUpperCaseDigitsPerByte) {
  const PageCipher cipher("");
  EXPECT_EQ(cipher.EncodeHex("\x05\x0A\xFF\xAB"), "050AFFAB");
}

TEST(PageCipher, StartsTheKeyAgainOnEveryCall) {
  const PageCipher cipher("key");
  const std::string first = cipher.EncodeHex("same line");
  cipher.EncodeHex("x");
  EXPECT_EQ(cipher.EncodeHex("same line"), first);
  std::string page = "lead:";
  cipher.AppendEncodedHex(page, "same line");
  EXPECT_EQ(page, "lead:" + first);
}

TEST(PageCipher, UsesOnlyTheFirstBytesOfALongKey) {
  EXPECT_EQ(PageCipher("\x01\x02\x03\x04").EncodeHex("AA"), PageCipher("\x01\x02").EncodeHex("AA"));
}

TEST(PageCipher, ReadsHexInEitherLetterCase) {
  const PageCipher cipher("pw");
  EXPECT_EQ(cipher.DecodeHex("ABCDEF0a"), cipher.DecodeHex("abcdef0A"));
}

TEST(PageCipher, ReadsOddAndBrokenHexWithoutFailing) {
  const PageCipher zero("");
  EXPECT_EQ(zero.DecodeHex("414"), "A\x04");              // a last single digit stands alone
  EXPECT_EQ(zero.DecodeHex("G1"), std::string(1, '\0'));  // no digit first: 0
  EXPECT_EQ(zero.DecodeHex("4G"), "\x04");  // the second is no digit: the first's value
  EXPECT_EQ(zero.DecodeHex(" 4"), std::string(1, '\0'));
  const PageCipher one("\x01");
  EXPECT_EQ(one.DecodeHex("zz"), "\xFF");  // 0 less the key wraps around
}

TEST(PageCipher, HandlesTextsBeyondSixteenBitCounts) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text.push_back(static_cast<char>(i * 7));
  const PageCipher cipher("a longer password");
  EXPECT_EQ(cipher.DecodeHex(cipher.EncodeHex(text)), text);
}

}  // namespace
}  // namespace kelvara
