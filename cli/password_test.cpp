#include "cli/password.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kelvara::cli {
namespace {

std::string Key(std::string_view password) {
  std::string key;
  std::string error;
  EXPECT_TRUE(PasswordToKey(password, key, error)) << error;
  EXPECT_EQ(error, "");
  return key;
}

std::string Refusal(std::string_view password) {
  std::string key = "stale";
  std::string error;
  EXPECT_FALSE(PasswordToKey(password, key, error));
  EXPECT_EQ(key, "");
  return error;
}

TEST(PasswordToKey, AsciiAndEmptyStayAsTheyAre) {
  EXPECT_EQ(Key("open sesame"), "open sesame");
  EXPECT_EQ(Key(""), "");
  EXPECT_EQ(Key(std::string("a\0b\x1A\r", 5)), std::string("a\0b\x1A\r", 5));
}

TEST(PasswordToKey, Utf8BecomesWindows1252) {
  EXPECT_EQ(Key("caf\xC3\xA9"), "caf\xE9");        // é
  EXPECT_EQ(Key("\xC2\xA0\xC3\xBF"), "\xA0\xFF");  // both ends of Latin-1
  EXPECT_EQ(Key("\xE2\x82\xAC"
                "5"),
            "\x80"
            "5");                                                      // €
  EXPECT_EQ(Key("\xE2\x80\x9E\xC5\xB8\xE2\x84\xA2"), "\x84\x9F\x99");  // „ Ÿ ™
  EXPECT_EQ(Key("\xC2\x81\xC2\x9D"), "\x81\x9D");  // the code page's undefined bytes
}

TEST(PasswordToKey, OtherBytesAreKeptByteForByte) {
  // Already Windows-1252: 0xE9 alone is no UTF-8.
  EXPECT_EQ(Key("caf\xE9"), "caf\xE9");
  // A truncated sequence, an overlong form, a surrogate, a value past U+10FFFF.
  EXPECT_EQ(Key("ab\xC3"), "ab\xC3");
  EXPECT_EQ(Key("\xC0\xA9"), "\xC0\xA9");
  EXPECT_EQ(Key("\xE0\x80\xA9"), "\xE0\x80\xA9");
  EXPECT_EQ(Key("\xED\xA0\x80"), "\xED\xA0\x80");
  EXPECT_EQ(Key("\xF4\x90\x80\x80"), "\xF4\x90\x80\x80");
  // One bad byte anywhere keeps the whole password as it is, é included.
  EXPECT_EQ(Key("\xC3\xA9\xFF"), "\xC3\xA9\xFF");
}

TEST(PasswordToKey, NamesACharacterThatWindows1252Lacks) {
  EXPECT_EQ(Refusal("ok\xE4\xB8\xAD"),
            "the password holds U+4E2D (\xE4\xB8\xAD), a character that Windows-1252 lacks");
  EXPECT_EQ(Refusal("\xF0\x9F\x94\x91"),
            "the password holds U+1F511 (\xF0\x9F\x94\x91), a character that Windows-1252 lacks");
  // The first missing one is named, after characters that convert.
  EXPECT_NE(Refusal("\xC3\xA9\xC4\x80\xC4\x81").find("U+0100"), std::string::npos);
  // A C1 control that the code page has no byte for is named without being shown.
  EXPECT_EQ(Refusal("\xC2\x80"), "the password holds U+0080, a character that Windows-1252 lacks");
}

// Hands `input` over three bytes at a time at most, as a pipe may; `endless`
// repeats it for ever, as a device would. `taken` counts what was read.
LineRead ReadLineOf(const std::string& input, std::string& line, bool endless = false,
                    std::size_t* taken = nullptr) {
  std::size_t at = 0;
  const LineRead read = ReadFirstLine(
      [&](char* buffer, std::size_t size) {
        std::size_t n = 0;
        for (; n < std::min<std::size_t>(size, 3) && (endless || at < input.size()); ++n) {
          buffer[n] = input[at++ % input.size()];
        }
        return n;
      },
      line);
  if (taken != nullptr) *taken = at;
  return read;
}

TEST(ReadFirstLine, TakesTheFirstLineUpToTheLimit) {
  const std::string full(kMaxPasswordLine, 'x');
  const struct {
    std::string input;
    LineRead read;
    std::string line;
  } cases[] = {
      {"secret\nnext\n", LineRead::kLine, "secret"},
      {"with spaces  \r\n", LineRead::kLine, "with spaces  "},
      {"cr\rinside\r\r\n", LineRead::kLine, "cr\rinside\r"},
      {"no line end", LineRead::kLine, "no line end"},
      {"\r", LineRead::kLine, "\r"},  // a lone CR is no line end
      {"\n", LineRead::kLine, ""},
      {"\r\nmore", LineRead::kLine, ""},
      {"", LineRead::kNoInput, ""},
      {full + "\r\n", LineRead::kLine, full},
      {full, LineRead::kLine, full},
      {full + "\r", LineRead::kTooLong, ""},
      {full + "x\n", LineRead::kTooLong, ""},
  };
  for (const auto& c : cases) {
    std::string line = "stale";
    EXPECT_EQ(ReadLineOf(c.input, line), c.read) << c.input.size();
    EXPECT_EQ(line, c.line) << c.input.size();
  }
}

TEST(ReadFirstLine, AnEndlessInputWithoutLineEndStopsAtTheLimit) {
  std::string line;
  std::size_t taken = 0;
  EXPECT_EQ(ReadLineOf(std::string(1, '\0'), line, true, &taken), LineRead::kTooLong);
  EXPECT_EQ(taken, kMaxPasswordLine + 2);
}

}  // namespace
}  // namespace kelvara::cli
