#include <openssl/evp.h>
#include <sys/random.h>

#include <cerrno>
#include <new>
#include <system_error>

#include "cipher/sha256.h"

namespace kelvara {
namespace {

class OpenSslSha256 final : public Sha256::Library {
 public:
  OpenSslSha256() : context_(EVP_MD_CTX_new()) {
    if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
      EVP_MD_CTX_free(context_);
      throw std::bad_alloc();
    }
  }
  ~OpenSslSha256() override { EVP_MD_CTX_free(context_); }
  void Feed(std::string_view bytes) override {
    EVP_DigestUpdate(context_, bytes.data(), bytes.size());
  }
  std::string Finish() override {
    std::string digest(32, '\0');
    unsigned int size = 0;
    EVP_DigestFinal_ex(context_, reinterpret_cast<unsigned char*>(digest.data()), &size);
    return digest;
  }

 private:
  EVP_MD_CTX* context_;
};

}  // namespace

std::unique_ptr<Sha256::Library> NewSha256Library() {
  return std::make_unique<OpenSslSha256>();
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
