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
  const bool passEmpty = most > 1;
  const std::size_t budget =
      most * (kMaxPasswordLine + 2) + kUtf8Mark.size() + (passEmpty ? kEmptyLinesRoom : 0);
  std::string line;
  std::size_t have = 0;
  std::size_t opening = 0;  // bytes of a byte order mark read so far
  // A line ends at its LF; the CR before the LF goes with it.
  const auto endLine = [&] {
    if (line.ends_with('\r')) line.pop_back();
    if (line.size() > kMaxPasswordLine) return false;
    if (!line.empty() || !passEmpty) lines.push_back(line);
    line.clear();
    return true;
  };
  char buffer[4096];
  while (lines.size() < most) {
    const std::size_t got = read(buffer, std::min(sizeof buffer, budget - have));
    if (got == 0) break;
    have += got;
    for (const char c : std::string_view(buffer, got)) {
      // A password file saved with a byte order mark: the mark is no part of
      // it. Its bytes may come in more than one block.
      if (opening < kUtf8Mark.size() && c == kUtf8Mark[opening]) {
        line.push_back(c);
        if (++opening == kUtf8Mark.size()) line.clear();
        continue;
      }
      opening = kUtf8Mark.size();
      if (c != '\n') {
        // One byte more than the longest line may yet be the CR of its CR LF.
        if (line.size() > kMaxPasswordLine) return LineRead::kTooLong;
        line.push_back(c);
      } else if (!endLine()) {
        return LineRead::kTooLong;
      } else if (lines.size() == most) {
        break;
      }
    }
    if (have == budget && lines.size() < most) return LineRead::kTooMuch;
  }
  if (have == 0) return LineRead::kNoInput;
  if (lines.size() < most && !line.empty()) {
    if (line.size() > kMaxPasswordLine) return LineRead::kTooLong;
    lines.push_back(line);
  }
  return LineRead::kLine;
}

}  // namespace kelvara::cli
