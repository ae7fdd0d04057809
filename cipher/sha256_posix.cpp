#include <openssl/evp.h>
#include <sys/random.h>

#include <cerrno>
#include <new>
#include <system_error>

#include "cipher/sha256.h"

namespace kelvara {

class Sha256::Library {
 public:
  Library() : context_(EVP_MD_CTX_new()) {
    if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
      throw std::bad_alloc();
    }
  }
  ~Library() { EVP_MD_CTX_free(context_); }
  void Feed(std::string_view bytes) { EVP_DigestUpdate(context_, bytes.data(), bytes.size()); }
  std::string Finish() {
    std::string digest(32, '\0');
    unsigned int size = 0;
    EVP_DigestFinal_ex(context_, reinterpret_cast<unsigned char*>(digest.data()), &size);
    return digest;
  }

 private:
  EVP_MD_CTX* context_;
};

Sha256::Sha256() : library_(std::make_unique<Library>()) {}
Sha256::~Sha256() = default;

void Sha256::Feed(std::string_view bytes) {
  if (!bytes.empty()) library_->Feed(bytes);
}

std::string Sha256::Finish() {
  Pass();
  return library_->Finish();
}

std::string SystemRandom::Bytes(std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::getrandom(bytes.data() + got, count - got, 0);
    if (n < 0 && errno == EINTR) continue;
    // The kernel's source does not run dry once it is seeded; a failure here
    // means no source at all, and a page must not go out with a salt of zeros.
    if (n <= 0) throw std::system_error(errno, std::generic_category(), "no random source");
    got += static_cast<std::size_t>(n);
  }
  return bytes;
}

}  // namespace kelvara
