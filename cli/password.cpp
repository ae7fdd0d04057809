#include "cli/password.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "cli/cli_texts.h"
#include "cli/options.h"

namespace kelvara::cli {
namespace {

// Windows-1252 bytes 0x80 to 0x9F by the character they stand for; the five
// bytes that the code page leaves undefined map to the C1 control of the same
// value, as Windows itself converts them.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

std::optional<char> ToWindows1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(static_cast<unsigned char>(c));
  for (std::size_t i = 0; i < kHighTable.size(); ++i) {
    if (kHighTable[i] == c) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

// Decodes strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// Gives false when `text` is not UTF-8 at all.
bool DecodeUtf8(std::string_view text, std::u32string& out) {
  out.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // The lead byte gives the sequence's length; the smallest value each
    // length may carry rules out overlong forms.
    int extra = 0;
    char32_t least = 0;
    if (lead >= 0xF0) {
      extra = 3;
      least = 0x10000;
    } else if (lead >= 0xE0) {
      extra = 2;
      least = 0x800;
    } else if (lead >= 0xC0) {
      extra = 1;
      least = 0x80;
    } else if (lead >= 0x80) {
      return false;  // a continuation byte cannot start a character
    }
    if (lead >= 0xF8) return false;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    if (text.size() - i - 1 < static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.push_back(c);
    i += 1 + extra;
  }
  return true;
}

std::string Describe(char32_t c, std::string_view utf8) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  std::string text = code;
  // Controls would garble the message; everything else is shown as typed.
  if (c >= 0xA0) text.append(" (").append(utf8).append(")");
  return text;
}

std::size_t Utf8Length(char32_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

}  // namespace

Outcome PasswordToKey(std::string_view password, std::string& key) {
  key.clear();
  std::u32string characters;
  bool ascii = true;
  for (const char b : password) ascii = ascii && static_cast<unsigned char>(b) < 0x80;
  if (ascii || !DecodeUtf8(password, characters)) {
    key.assign(password);
    return OutcomeCode::Done;
  }
  std::size_t at = 0;
  for (const char32_t c : characters) {
    const std::size_t length = Utf8Length(c);
    const std::optional<char> byte = ToWindows1252(c);
    if (!byte) {
      std::string text(kPasswordHolds);
      text.append(" ").append(Describe(c, password.substr(at, length))).append(kNotInWindows1252);
      key.clear();
      return UsageError(std::move(text));
    }
    key.push_back(*byte);
    at += length;
  }
  return OutcomeCode::Done;
}

LineRead ReadFirstLine(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
                       std::string& line) {
  line.clear();
  std::string bytes(kMaxPasswordLine + 2, '\0');
  std::size_t have = 0;
  std::size_t end = std::string::npos;
  while (end == std::string::npos && have < bytes.size()) {
    const std::size_t got = read(bytes.data() + have, bytes.size() - have);
    if (got == 0) break;
    const std::size_t lineFeed = std::string_view(bytes).substr(have, got).find('\n');
    if (lineFeed != std::string_view::npos) end = have + lineFeed;
    have += got;
  }
  if (have == 0) return LineRead::kNoInput;
  if (end == std::string::npos) {
    end = have;
  } else if (end > 0 && bytes[end - 1] == '\r') {
    --end;
  }
  if (end > kMaxPasswordLine) return LineRead::kTooLong;
  line.assign(bytes, 0, end);
  return LineRead::kLine;
}

}  // namespace kelvara::cli
