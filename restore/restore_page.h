#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "cipher/strong_keys.h"
#include "files/atomic_write.h"
#include "format/outcome.h"

namespace kelvara {

// The protected page is kept under its path followed by this while it is restored.
inline constexpr std::string_view kProtectedSuffix = ".protected";

// Where the parts of a protected page lie in its bytes, once they are read
// and known to be whole. The views point into those bytes.
struct ProtectedReading {
  // The check line's salt and value, in hex; empty on a page made before
  // the check value existed.
  std::string_view checkSalt;
  std::string_view checkDigest;
  // The seal the page holds (the SHA-256 of its enciphered lines' texts).
  std::string seal;
  // The whole-page line's text: the author's page. Empty on pages made
  // before it existed, which restore to the plain page of fixed shape.
  std::string_view pageText;
  std::string_view titleHex;
  // The body call lines as they stand, line ends and all.
  std::string_view bodyLines;
  std::string headExtra;  // the head's lines, trimmed, each followed by CR LF
  std::string bodyAttributes;
};

// Reads a protected page. Refuses a page that is not whole or was changed
// ("damaged"), and one whose check value or, on older pages, body lines show
// that the password cannot have enciphered it.
Outcome ReadProtectedPage(std::string_view bytes, const PageCipher& cipher,
                          ProtectedReading& reading);

// The same in two steps, so that the seal, which hashes most of the page,
// can be checked while the page is being written: every check but the
// seal's, and then the seal's. A page whose seal does not hold is damaged,
// whatever the first step said.
Outcome ParseProtectedPage(std::string_view bytes, const PageCipher& cipher,
                           ProtectedReading& reading);
bool SealHolds(const ProtectedReading& reading);

// What restoring writes: the author's page byte for byte where the protected
// page carries it, else the plain page of fixed shape. Damaged when the
// author's page cannot be deciphered whole.
Outcome WritePlainPage(const ProtectedReading& reading, const PageCipher& cipher, PageSink& sink);

// True for a page of the strong form, which its own reader reads.
bool IsStrongPage(std::string_view bytes);

// Reads and decrypts a strong page with the key that `keys` derives for it:
// `stream` gets the author's page as a zlib stream. Refuses a page that is
// not whole or was changed ("damaged"), and a password that opens no slot.
Outcome ReadStrongPage(std::string_view bytes, StrongKeys& keys, std::string& stream);

// Writes the author's page from its zlib stream; damaged when the stream
// does not inflate whole.
Outcome WriteInflated(std::string_view stream, PageSink& sink);

}  // namespace kelvara
