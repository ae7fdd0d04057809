#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <new>
#include <system_error>

#include "cipher/sha256.h"

namespace kelvara {
namespace {

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}

// One provider for the whole process: opening it is the costly part.
BCRYPT_ALG_HANDLE Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      return BCRYPT_ALG_HANDLE{nullptr};
    }
    return handle;
  }();
  return provider;
}

class BCryptSha256 final : public Sha256::Library {
 public:
  BCryptSha256() {
    if (Provider() == nullptr ||
        !Succeeded(BCryptCreateHash(Provider(), &hash_, nullptr, 0, nullptr, 0, 0))) {
      throw std::bad_alloc();
    }
  }
  ~BCryptSha256() override { BCryptDestroyHash(hash_); }
  void Feed(std::string_view bytes) override {
    // BCrypt takes at most 4 GiB a call.
    while (!bytes.empty()) {
      const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 1u << 30));
      BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), chunk, 0);
      bytes.remove_prefix(chunk);
    }
  }
  std::string Finish() override {
    std::string digest(32, '\0');
    BCryptFinishHash(hash_, reinterpret_cast<PUCHAR>(digest.data()),
                     static_cast<ULONG>(digest.size()), 0);
    return digest;
  }

 private:
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

std::unique_ptr<Sha256::Library> NewSha256Library() {
  return std::make_unique<BCryptSha256>();
}

std::string SystemRandom::Bytes(std::size_t count) {
  std::string bytes(count, '\0');
  if (!Succeeded(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()),
                                 static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    // A page must not go out with a salt of zeros.
    throw std::system_error(std::error_code(EIO, std::generic_category()), "no random source");
  }
  return bytes;
}

}  // namespace kelvara
