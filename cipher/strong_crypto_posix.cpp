#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "cipher/strong_crypto.h"
#include "cipher/strong_crypto_library.h"

namespace kelvara::strong_library {
namespace {

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

unsigned char* Bytes(std::string& text) {
  return reinterpret_cast<unsigned char*>(text.data());
}

struct FreeContext {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, FreeContext>;

void Check(int result) {
  if (result != 1) throw std::runtime_error("AES-GCM failed in libcrypto");
}

// A context keyed for AES-256-GCM with a 12-byte nonce, sealing or opening.
Context Start(std::string_view key, std::string_view nonce, bool seal) {
  Context context(EVP_CIPHER_CTX_new());
  if (context == nullptr) throw std::bad_alloc();
  Check(EVP_CipherInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr, seal));
  Check(EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(nonce.size()),
                            nullptr));
  Check(EVP_CipherInit_ex(context.get(), nullptr, nullptr, Bytes(key), Bytes(nonce), seal));
  return context;
}

// The additional data goes in with no output; the text is written to `out`,
// which has room for all of it (GCM adds no padding).
void Run(EVP_CIPHER_CTX* context, std::string_view aad, std::string_view text, unsigned char* out) {
  int written = 0;
  if (!aad.empty()) {
    Check(EVP_CipherUpdate(context, nullptr, &written, Bytes(aad), static_cast<int>(aad.size())));
  }
  if (!text.empty()) {
    Check(EVP_CipherUpdate(context, out, &written, Bytes(text), static_cast<int>(text.size())));
  }
}

}  // namespace

std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t iterations,
                         std::size_t length) {
  std::string key(length, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), Bytes(salt),
                        static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                        static_cast<int>(length), Bytes(key)) != 1) {
    throw std::runtime_error("PBKDF2 failed in libcrypto");
  }
  return key;
}

std::string SealAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                       std::string_view plain) {
  const Context context = Start(key, nonce, true);
  std::string sealed(plain.size() + kAesGcmTagSize, '\0');
  Run(context.get(), aad, plain, Bytes(sealed));
  int written = 0;
  Check(EVP_EncryptFinal_ex(context.get(), Bytes(sealed) + plain.size(), &written));
  Check(EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kAesGcmTagSize),
                            Bytes(sealed) + plain.size()));
  return sealed;
}

bool OpenAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                std::string_view ciphertext, std::string_view tag, std::string& plain) {
  const Context context = Start(key, nonce, false);
  // The text stays here until its tag is proven, so that a throw hands on none of it either.
  std::string text(ciphertext.size(), '\0');
  Run(context.get(), aad, ciphertext, Bytes(text));
  // The library takes the expected tag through a pointer to writable bytes.
  std::string expected(tag);
  Check(EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(expected.size()),
                            expected.data()));
  int written = 0;
  if (EVP_DecryptFinal_ex(context.get(), Bytes(text) + text.size(), &written) != 1) {
    OPENSSL_cleanse(text.data(), text.size());
    return false;
  }
  plain = std::move(text);
  return true;
}

}  // namespace kelvara::strong_library
