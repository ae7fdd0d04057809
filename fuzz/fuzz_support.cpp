#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

namespace kelvara::fuzz {

FuzzInput SplitInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = bytes.find('\n');
  if (lineEnd == std::string_view::npos) return {bytes, {}};
  return {bytes.substr(0, lineEnd), bytes.substr(lineEnd + 1)};
}

std::string Escaped(std::string_view bytes, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\\' || c == '"') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out.append(hex);
    }
  }
  if (bytes.size() > limit) out.append("...");
  return out;
}

void Fail(std::string_view what, std::string_view got, std::string_view wanted) {
  std::fprintf(stderr, "\n==== fuzz check failed: %.*s\n", static_cast<int>(what.size()),
               what.data());
  if (!got.empty() || !wanted.empty()) {
    std::fprintf(stderr, "  got:    \"%s\" (%zu bytes)\n", Escaped(got).c_str(), got.size());
    std::fprintf(stderr, "  wanted: \"%s\" (%zu bytes)\n", Escaped(wanted).c_str(), wanted.size());
  }
  std::fflush(stderr);
  std::abort();
}

std::string_view BeforeEndOfFile(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\x1A'));
}

std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r') ++end;
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
    if (end + 1 < bytes.size() && bytes[end + 1] == '\n') ++start;
  }
  return lines;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool CrOnlyInCrLf(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
  }
  return true;
}

}  // namespace kelvara::fuzz
