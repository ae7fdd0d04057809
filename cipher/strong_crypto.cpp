#include "cipher/strong_crypto.h"

#include <stdexcept>

#include "cipher/strong_crypto_library.h"

namespace kelvara {
namespace {

// OpenSSL takes a key and a nonce by the sizes the cipher wants, whatever it is
// given, and would read a short one past its end; BCrypt would refuse it.
// Both platforms refuse it here, alike.
void CheckKeyAndNonce(std::string_view key, std::string_view nonce) {
  if (key.size() != kAesGcmKeySize) throw std::invalid_argument("AES-GCM key of the wrong size");
  if (nonce.size() != kAesGcmNonceSize) {
    throw std::invalid_argument("AES-GCM nonce of the wrong size");
  }
}

void CheckLength(std::string_view bytes) {
  if (bytes.size() > kAesGcmMaxBytes) throw std::length_error("text too long to encrypt");
}

}  // namespace

std::string DeriveKey(std::string_view password, std::string_view salt, std::uint32_t iterations,
                      std::size_t length) {
  if (iterations == 0 || iterations > 0x7FFFFFFF || length == 0 || length > 0x7FFFFFFF) {
    throw std::invalid_argument("key derivation out of range");
  }
  CheckLength(password);
  CheckLength(salt);
  return strong_library::Pbkdf2Sha256(password, salt, iterations, length);
}

std::string SealAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                       std::string_view plain) {
  CheckKeyAndNonce(key, nonce);
  CheckLength(aad);
  CheckLength(plain);
  return strong_library::SealAesGcm(key, nonce, aad, plain);
}

bool OpenAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                std::string_view sealed, std::string& plain) {
  CheckKeyAndNonce(key, nonce);
  CheckLength(aad);
  plain.clear();
  if (sealed.size() < kAesGcmTagSize) return false;
  const std::string_view ciphertext = sealed.substr(0, sealed.size() - kAesGcmTagSize);
  CheckLength(ciphertext);
  return strong_library::OpenAesGcm(key, nonce, aad, ciphertext, sealed.substr(ciphertext.size()),
                                    plain);
}

}  // namespace kelvara
