#include "cipher/page_cipher.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "cipher/sha256.h"
#include "text/text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvara {
namespace {

constexpr std::uint8_t kNotHex = 0xFF;

constexpr std::uint8_t HexValue(int c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  return kNotHex;
}

// The value of one or two hex characters: reading stops at the first one that is not a digit.
constexpr std::uint8_t ReadHex(int first, int second) {
  const std::uint8_t high = HexValue(first);
  if (high == kNotHex) return 0;
  const std::uint8_t low = HexValue(second);
  if (low == kNotHex) return high;
  return static_cast<std::uint8_t>(high * 16 + low);
}

// Pages are mostly hex text, so every pair of characters gets its value from
// one look-up: 64 KiB, of which the few rows that digits use stay in cache.
struct PairValues {
  std::array<std::uint8_t, 65536> value;
  PairValues() {
    for (int first = 0; first < 256; ++first) {
      for (int second = 0; second < 256; ++second)
        value[first << 8 | second] = ReadHex(first, second);
    }
  }
};

const PairValues& Pairs() {
  static const auto pairs = std::make_unique<PairValues>();
  return *pairs;
}

// The two digits of every byte value, ready to be copied out together.
constexpr std::array<std::array<char, 2>, 256> MakeDigitPairs() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::array<std::array<char, 2>, 256> pairs{};
  for (int v = 0; v < 256; ++v) pairs[v] = {kDigits[v >> 4], kDigits[v & 0x0F]};
  return pairs;
}

constexpr std::array<std::array<char, 2>, 256> kDigitPairs = MakeDigitPairs();

std::uint8_t Byte(char c) {
  return static_cast<std::uint8_t>(c);
}

#if defined(__SSE2__)
// Sixteen nibbles (0 to 15) to their upper-case hex digits.
__m128i NibbleDigits(__m128i nibbles) {
  const __m128i letters =
      _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
  return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}

// True when all sixteen characters are hex digits; `values` then gets theirs.
bool HexValues(__m128i characters, __m128i& values) {
  const __m128i isDigit = _mm_and_si128(_mm_cmpgt_epi8(characters, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(characters, _mm_set1_epi8('9' + 1)));
  const __m128i lower = _mm_or_si128(characters, _mm_set1_epi8(0x20));
  const __m128i isLetter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                         _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
  if (_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)) != 0xFFFF) return false;
  values = _mm_or_si128(_mm_and_si128(isDigit, _mm_sub_epi8(characters, _mm_set1_epi8('0'))),
                        _mm_and_si128(isLetter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
  return true;
}

// Eight pairs of digit values (first, second) to the bytes first * 16 + second, one per 16-bit
// lane.
__m128i PairBytes(__m128i values) {
  const __m128i high = _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0x00FF)), 4);
  return _mm_or_si128(high, _mm_srli_epi16(values, 8));
}
#endif

}  // namespace

PageCipher::PageCipher(std::string key) : key_(std::move(key)) {
  if (key_.empty()) key_.assign(1, '\0');
  while (keyRun_.size() < key_.size() + 16) keyRun_ += key_;
}

bool PageCipher::EnciphersNothing() const {
  return key_.find_first_not_of('\0') == std::string::npos;
}

std::string PageCipher::CheckValue(std::string_view salt) const {
  Sha256 hash;
  hash.Update(salt);
  hash.Update(key_);
  return hash.Finish();
}

void PageCipher::EncodeHex(std::string& out, std::string_view text) const {
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* digits = out.data() + start;
  const std::size_t keyLength = key_.size();
  std::size_t k = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Pages are large: sixteen bytes at a time, the same sums and digits as below.
  const __m128i lowNibbles = _mm_set1_epi8(0x0F);
  for (; i + 16 <= text.size(); i += 16, digits += 32) {
    const __m128i plain = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i keyBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(keyRun_.data() + k));
    const __m128i sum = _mm_add_epi8(plain, keyBytes);
    const __m128i high = NibbleDigits(_mm_and_si128(_mm_srli_epi16(sum, 4), lowNibbles));
    const __m128i low = NibbleDigits(_mm_and_si128(sum, lowNibbles));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(digits), _mm_unpacklo_epi8(high, low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(digits + 16), _mm_unpackhi_epi8(high, low));
    k = (k + 16) % keyLength;
  }
#endif
  for (; i < text.size(); ++i) {
    const std::uint8_t value = static_cast<std::uint8_t>(Byte(text[i]) + Byte(key_[k]));
    if (++k == keyLength) k = 0;
    std::memcpy(digits, kDigitPairs[value].data(), 2);
    digits += 2;
  }
}

void PageCipher::DecodeHex(std::string& out, std::string_view hex) const {
  const std::size_t start = out.size();
  out.resize(start + (hex.size() + 1) / 2);
  char* plain = out.data() + start;
  const std::uint8_t* pairValue = Pairs().value.data();
  const std::size_t keyLength = key_.size();
  std::size_t k = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Thirty-two digits at a time, as protected pages have them. A block with
  // any other character in it is read pair by pair, outside the wide loop,
  // which runs faster with nothing else inside it.
  while (i + 32 <= hex.size()) {
    for (; i + 32 <= hex.size(); i += 32, plain += 16) {
      __m128i first;
      __m128i second;
      if (!HexValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hex.data() + i)), first) ||
          !HexValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hex.data() + i + 16)),
                     second))
        break;
      const __m128i values = _mm_packus_epi16(PairBytes(first), PairBytes(second));
      const __m128i keyBytes =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(keyRun_.data() + k));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(plain), _mm_sub_epi8(values, keyBytes));
      k = (k + 16) % keyLength;
    }
    if (i + 32 > hex.size()) break;
    for (const std::size_t end = i + 32; i < end; i += 2) {
      *plain++ = static_cast<char>(pairValue[Byte(hex[i]) << 8 | Byte(hex[i + 1])] - Byte(key_[k]));
      if (++k == keyLength) k = 0;
    }
  }
#endif
  for (; i + 1 < hex.size(); i += 2) {
    const std::uint8_t value = pairValue[Byte(hex[i]) << 8 | Byte(hex[i + 1])];
    *plain++ = static_cast<char>(value - Byte(key_[k]));
    if (++k == keyLength) k = 0;
  }
  if (i < hex.size()) *plain = static_cast<char>(ReadHex(Byte(hex[i]), -1) - Byte(key_[k]));
}

void PageCipher::ApplyKey(std::string& bytes, int direction) const {
  const std::size_t keyLength = key_.size();
  std::size_t k = 0;
  for (char& c : bytes) {
    c = static_cast<char>(Byte(c) + direction * Byte(key_[k]));
    if (++k == keyLength) k = 0;
  }
}

std::string Hex(std::string_view bytes) {
  static const PageCipher noKey("");
  std::string hex;
  noKey.EncodeHex(hex, bytes);
  return hex;
}

bool ReadHex(std::string_view hex, std::string& bytes) {
  bytes.clear();
  const bool digitsOnly = hex.find_first_not_of("0123456789ABCDEFabcdef") == kNone;
  if (hex.size() % 2 != 0 || !digitsOnly) return false;
  static const PageCipher noKey("");
  noKey.DecodeHex(bytes, hex);
  return true;
}

}  // namespace kelvara
