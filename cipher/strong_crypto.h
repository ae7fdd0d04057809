#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvara {

// Key derivation and authenticated encryption from the platform's own crypto
// library (OpenSSL's libcrypto on Linux, BCrypt on Windows), in the forms that
// the browser's Web Crypto gives, so that a page sealed here opens there.
//
// A failure of the library itself (no provider, no memory) throws
// std::bad_alloc or std::runtime_error: no call returns bytes it could not
// vouch for. Arguments out of range (a key or nonce of another size, no
// iterations, a text above the limit) throw std::logic_error's kin.

inline constexpr std::size_t kAesGcmKeySize = 32;
inline constexpr std::size_t kAesGcmNonceSize = 12;
inline constexpr std::size_t kAesGcmTagSize = 16;
// The most bytes of text, or of additional data, in one call. Both libraries
// count in 32-bit sizes; 2 GiB is far beyond any page.
inline constexpr std::size_t kAesGcmMaxBytes = 0x7FFFFFFF;

// PBKDF2-HMAC-SHA256: `length` bytes (1 to 2^31 - 1) from the password and
// salt (each at most kAesGcmMaxBytes) after `iterations` rounds (1 to
// 2^31 - 1).
std::string DeriveKey(std::string_view password, std::string_view salt, std::uint32_t iterations,
                      std::size_t length = kAesGcmKeySize);

// AES-256-GCM: the ciphertext of `plain` followed by the tag, which is what
// Web Crypto's encrypt gives and its decrypt takes. The key must be
// kAesGcmKeySize bytes and the nonce kAesGcmNonceSize; a nonce must never be
// used twice under one key.
std::string SealAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                       std::string_view plain);

// The text that SealAesGcm sealed, when the tag proves that key, nonce,
// additional data and sealed bytes are all as they were. False otherwise
// (also for `sealed` shorter than a tag), and `plain` is then empty: a text
// that fails its tag is never handed on, not even in part.
bool OpenAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                std::string_view sealed, std::string& plain);

}  // namespace kelvara
