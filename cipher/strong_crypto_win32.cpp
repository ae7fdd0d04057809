#include <windows.h>

#include <bcrypt.h>

#include <stdexcept>
#include <utility>

#include "cipher/strong_crypto.h"
#include "cipher/strong_crypto_library.h"

namespace kelvara::strong_library {
namespace {

// ntstatus.h, which names it, clashes with windows.h: a tag that does not
// match is the one status told apart from the rest.
constexpr NTSTATUS kAuthTagMismatch = static_cast<NTSTATUS>(0xC000A002L);

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}

// BCrypt takes even the bytes it only reads through non-const pointers.
PUCHAR Bytes(std::string_view text) {
  return reinterpret_cast<PUCHAR>(const_cast<char*>(text.data()));
}

PUCHAR Bytes(std::string& text) {
  return reinterpret_cast<PUCHAR>(text.data());
}

// One provider of each for the whole process: opening one is the costly part.
BCRYPT_ALG_HANDLE HmacSha256() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr,
                                               BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
      return BCRYPT_ALG_HANDLE{nullptr};
    }
    return handle;
  }();
  if (provider == nullptr) throw std::runtime_error("no HMAC SHA-256 provider");
  return provider;
}

BCRYPT_ALG_HANDLE AesGcm() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&handle, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
      return BCRYPT_ALG_HANDLE{nullptr};
    }
    static const wchar_t kMode[] = BCRYPT_CHAIN_MODE_GCM;
    if (!Succeeded(BCryptSetProperty(handle, BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(kMode)),
                                     sizeof(kMode), 0))) {
      BCryptCloseAlgorithmProvider(handle, 0);
      return BCRYPT_ALG_HANDLE{nullptr};
    }
    return handle;
  }();
  if (provider == nullptr) throw std::runtime_error("no AES-GCM provider");
  return provider;
}

class Key {
 public:
  explicit Key(std::string_view bytes) {
    // With no buffer for the key object, BCrypt keeps it itself.
    if (!Succeeded(BCryptGenerateSymmetricKey(AesGcm(), &key_, nullptr, 0, Bytes(bytes),
                                              static_cast<ULONG>(bytes.size()), 0))) {
      throw std::runtime_error("AES key refused by BCrypt");
    }
  }
  ~Key() { BCryptDestroyKey(key_); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  BCRYPT_KEY_HANDLE get() const { return key_; }

 private:
  BCRYPT_KEY_HANDLE key_ = nullptr;
};

BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO ModeInfo(std::string_view nonce, std::string_view aad,
                                               PUCHAR tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = Bytes(nonce);
  info.cbNonce = static_cast<ULONG>(nonce.size());
  info.pbAuthData = aad.empty() ? nullptr : Bytes(aad);
  info.cbAuthData = static_cast<ULONG>(aad.size());
  info.pbTag = tag;
  info.cbTag = static_cast<ULONG>(kAesGcmTagSize);
  return info;
}

}  // namespace

std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t iterations,
                         std::size_t length) {
  std::string key(length, '\0');
  if (!Succeeded(BCryptDeriveKeyPBKDF2(HmacSha256(), password.empty() ? nullptr : Bytes(password),
                                       static_cast<ULONG>(password.size()),
                                       salt.empty() ? nullptr : Bytes(salt),
                                       static_cast<ULONG>(salt.size()), iterations, Bytes(key),
                                       static_cast<ULONG>(length), 0))) {
    throw std::runtime_error("PBKDF2 failed in BCrypt");
  }
  return key;
}

std::string SealAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                       std::string_view plain) {
  const Key aes(key);
  std::string sealed(plain.size() + kAesGcmTagSize, '\0');
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = ModeInfo(nonce, aad, Bytes(sealed) + plain.size());
  const ULONG size = static_cast<ULONG>(plain.size());
  ULONG written = 0;
  if (!Succeeded(BCryptEncrypt(aes.get(), Bytes(plain), size, &info, nullptr, 0, Bytes(sealed),
                               size, &written, 0)) ||
      written != size) {
    throw std::runtime_error("AES-GCM failed in BCrypt");
  }
  return sealed;
}

bool OpenAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                std::string_view ciphertext, std::string_view tag, std::string& plain) {
  const Key aes(key);
  // The text stays here until its tag is proven, so that a throw hands on none of it either.
  std::string text(ciphertext.size(), '\0');
  std::string expected(tag);
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = ModeInfo(nonce, aad, Bytes(expected));
  const ULONG size = static_cast<ULONG>(text.size());
  ULONG written = 0;
  // Never a null buffer, even for no text: Wine then skips the tag check and
  // takes any tag for an empty text.
  const NTSTATUS status = BCryptDecrypt(aes.get(), Bytes(ciphertext), size, &info, nullptr, 0,
                                        Bytes(text), size, &written, 0);
  if (status == kAuthTagMismatch) {
    SecureZeroMemory(text.data(), text.size());
    return false;
  }
  if (!Succeeded(status) || written != size) throw std::runtime_error("AES-GCM failed in BCrypt");
  plain = std::move(text);
  return true;
}

}  // namespace kelvara::strong_library
