#include "cli/password.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "cli/cli_texts.h"
#include "cli/options.h"
#include "text/windows1252.h"

namespace kelvara::cli {
namespace {

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

LineRead ReadLines(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
                   std::size_t most, std::vector<std::string>& lines) {
  lines.clear();
  // Never more than the longest lines and their CR LF: an endless input
  // without line ends is cut off there.
  std::string bytes(most * (kMaxPasswordLine + 2), '\0');
  std::size_t have = 0;
  std::size_t lineEnds = 0;
  while (lineEnds < most && have < bytes.size()) {
    const std::size_t got = read(bytes.data() + have, bytes.size() - have);
    if (got == 0) break;
    const std::string_view added = std::string_view(bytes).substr(have, got);
    lineEnds += static_cast<std::size_t>(std::count(added.begin(), added.end(), '\n'));
    have += got;
  }
  if (have == 0) return LineRead::kNoInput;
  std::string_view rest = std::string_view(bytes).substr(0, have);
  while (lines.size() < most && !rest.empty()) {
    const std::size_t lineFeed = rest.find('\n');
    std::string_view line = rest.substr(0, lineFeed);
    rest.remove_prefix(lineFeed == std::string_view::npos ? rest.size() : lineFeed + 1);
    if (lineFeed != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    if (line.size() > kMaxPasswordLine) return LineRead::kTooLong;
    lines.emplace_back(line);
  }
  return LineRead::kLine;
}

}  // namespace kelvara::cli
