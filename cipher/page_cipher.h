#pragma once

#include <string>
#include <string_view>

namespace kelvara {

// The password cipher of protected pages: the key's bytes, cycling, are added
// to the text's bytes modulo 256, and the result is written as hex text (two
// upper-case digits per byte). The decoder script in every protected page
// computes the same thing, so both must stay in step. It keeps casual readers
// out; it is not strong encryption.
class PageCipher {
 public:
  // An empty password becomes the one-byte key of value 0, the key that the
  // decoder script uses for an empty answer, which leaves every byte as it is.
  explicit PageCipher(std::string key);

  const std::string& Key() const { return key_; }
  // True for a key of nothing but zero bytes, which leaves every byte as it is.
  bool EnciphersNothing() const;

  // The check value that a protected page carries for this key: the SHA-256
  // of the page's salt followed by the key. It tells a wrong password without
  // revealing the right one.
  std::string CheckValue(std::string_view salt) const;

  // The text with the key added, as hex text. Every call starts again at the
  // key's first byte, so equal texts give equal hex text.
  std::string EncodeHex(std::string_view text) const;
  // The same, appended to `out`, for writers that build a whole page.
  void AppendEncodedHex(std::string& out, std::string_view text) const;

  // Reads hex digits in either letter case, two at a time. A pair that does
  // not start with a digit reads as 0, one whose second character is not a
  // digit as its first digit; a last single digit is read by itself. The key
  // is then subtracted, from its first byte on.
  std::string DecodeHex(std::string_view hex) const;
  // The same, appended to `out`, for readers that collect a whole page.
  void AppendDecodedHex(std::string& out, std::string_view hex) const;

 private:
  std::string key_;
  // The key repeated to at least 16 bytes more than its length, so that any
  // 16 key bytes in a row, from any key position, lie side by side.
  std::string keyRun_;
};

}  // namespace kelvara
