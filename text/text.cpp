#include "text/text.h"

namespace kelvara {

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string LowerAnsi(std::string_view text) {
  std::string lower(text);
  LowerAnsiInPlace(lower.data(), lower.size());
  return lower;
}

}  // namespace kelvara
