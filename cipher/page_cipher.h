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

  // True for a key of nothing but zero bytes, which leaves every byte as it is.
  bool EnciphersNothing() const;

  // The check value that a protected page carries for this key: the SHA-256
  // of the page's salt followed by the key. It tells a wrong password without
  // revealing the right one.
  std::string CheckValue(std::string_view salt) const;

  // Appends the text with the key added, as hex text. Every call starts
  // again at the key's first byte, so equal texts give equal hex text.
  void EncodeHex(std::string& out, std::string_view text) const;

  // Appends what hex text deciphers to. Reads hex digits in either letter
  // case, two at a time. A pair that does not start with a digit reads as 0,
  // one whose second character is not a digit as its first digit; a last
  // single digit is read by itself. The key is then subtracted, from its
  // first byte on.
  void DecodeHex(std::string& out, std::string_view hex) const;

  // Adds (direction +1) or subtracts (-1) the key's bytes, cycling from its
  // first, to the bytes themselves, without hex text.
  void ApplyKey(std::string& bytes, int direction) const;

 private:
  std::string key_;
  // The key repeated to at least 16 bytes more than its length, so that any
  // 16 key bytes in a row, from any key position, lie side by side.
  std::string keyRun_;
};

// Upper-case hex digits, two per byte, with no key.
std::string Hex(std::string_view bytes);
// The bytes of a text made only of hex digits (either case) and of even
// length; false for anything else.
bool ReadHex(std::string_view hex, std::string& bytes);

}  // namespace kelvara
