#include "text/text.h"

#include <array>
#include <cstring>

namespace kelvara {
namespace {

// What every byte lower-cases to. The lower-casing works byte by byte, so a
// table of all 256 answers, asked once, stands for it everywhere.
const std::array<unsigned char, 256>& FoldTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> bytes{};
    for (int c = 0; c < 256; ++c) bytes[c] = static_cast<unsigned char>(c);
    LowerAnsiInPlace(reinterpret_cast<char*>(bytes.data()), bytes.size());
    return bytes;
  }();
  return table;
}

unsigned char Fold(char c) {
  return FoldTable()[static_cast<unsigned char>(c)];
}

}  // namespace

CaselessPattern::CaselessPattern(std::string_view lowerNeedle) : needle_(lowerNeedle) {
  if (needle_.empty()) return;
  int preimages = 0;
  for (int c = 0; c < 256; ++c) {
    if (FoldTable()[c] == static_cast<unsigned char>(needle_[0])) ++preimages;
  }
  firstByteIsUnique_ = preimages == 1 && Fold(needle_[0]) == static_cast<unsigned char>(needle_[0]);
}

std::size_t CaselessPattern::Find(std::string_view text, std::size_t from) const {
  const std::size_t n = needle_.size();
  if (from > text.size() || text.size() - from < n) return std::string_view::npos;
  if (n == 0) return from;
  const std::size_t last = text.size() - n;  // the last place a match can start
  const unsigned char first = static_cast<unsigned char>(needle_[0]);
  for (std::size_t at = from; at <= last; ++at) {
    if (firstByteIsUnique_) {
      // Usually '<' or '.', which nothing else lower-cases to: memchr finds it fast.
      const void* hit = std::memchr(text.data() + at, first, last - at + 1);
      if (hit == nullptr) return std::string_view::npos;
      at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    } else if (Fold(text[at]) != first) {
      continue;
    }
    std::size_t matched = 1;
    while (matched < n &&
           Fold(text[at + matched]) == static_cast<unsigned char>(needle_[matched])) {
      ++matched;
    }
    if (matched == n) return at;
  }
  return std::string_view::npos;
}

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
