#include "text/text.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  const auto preimages = [](char lower) {
    std::string bytes;
    for (int c = 0; c < 256; ++c) {
      if (FoldTable()[c] == static_cast<unsigned char>(lower))
        bytes.push_back(static_cast<char>(c));
    }
    return bytes;
  };
  firstByteIsUnique_ = preimages(needle_[0]) == std::string(1, needle_[0]);
  const std::string last = preimages(needle_.back());
  if (needle_.size() >= 2 && firstByteIsUnique_ && (last.size() == 1 || last.size() == 2)) {
    lastBytes_[0] = static_cast<unsigned char>(last.front());
    lastBytes_[1] = static_cast<unsigned char>(last.back());
    wide_ = true;
  }
}

bool CaselessPattern::MatchesInside(std::string_view text, std::size_t at) const {
  for (std::size_t i = 1; i + 1 < needle_.size(); ++i) {
    if (Fold(text[at + i]) != static_cast<unsigned char>(needle_[i])) return false;
  }
  return true;
}

std::size_t CaselessPattern::Find(std::string_view text, std::size_t from) const {
  const std::size_t n = needle_.size();
  if (from > text.size() || text.size() - from < n) return kNone;
  if (n == 0) return from;
  const std::size_t last = text.size() - n;  // the last place a match can start
  const unsigned char first = static_cast<unsigned char>(needle_[0]);
  std::size_t at = from;
#if defined(__SSE2__)
  // Markup is full of '<': looking at each one in turn costs more than
  // testing sixteen places at once for the first and the last byte together.
  if (wide_) {
    const __m128i firstByte = _mm_set1_epi8(static_cast<char>(first));
    const __m128i lastByte = _mm_set1_epi8(static_cast<char>(lastBytes_[0]));
    const __m128i lastByteToo = _mm_set1_epi8(static_cast<char>(lastBytes_[1]));
    for (; at + 16 <= last + 1; at += 16) {
      const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
      const __m128i ends =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + n - 1));
      const __m128i candidates = _mm_and_si128(
          _mm_cmpeq_epi8(starts, firstByte),
          _mm_or_si128(_mm_cmpeq_epi8(ends, lastByte), _mm_cmpeq_epi8(ends, lastByteToo)));
      for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(candidates)); mask != 0;
           mask &= mask - 1) {
        const std::size_t candidate = at + static_cast<std::size_t>(std::countr_zero(mask));
        if (MatchesInside(text, candidate)) return candidate;
      }
    }
  }
#endif
  for (; at <= last; ++at) {
    if (firstByteIsUnique_) {
      // Usually '<' or '.', which nothing else lower-cases to: memchr finds it fast.
      const void* hit = std::memchr(text.data() + at, first, last - at + 1);
      if (hit == nullptr) return kNone;
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
  return kNone;
}

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == kNone) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == kNone;
}

std::string LowerAnsi(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(Fold(c));
  return lower;
}

}  // namespace kelvara
