#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kelvara {

// SHA-256 from the platform's own crypto library: OpenSSL's libcrypto on
// Linux, BCrypt on Windows. Small pieces are gathered before they reach the
// library, whose cost per call would otherwise outweigh hashing a short line.
class Sha256 {
 public:
  // The platform's hashing state (sha256_posix.cpp, sha256_win32.cpp).
  class Library {
   public:
    virtual ~Library() = default;
    virtual void Feed(std::string_view bytes) = 0;
    virtual std::string Finish() = 0;
  };

  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::string_view bytes);
  // The 32 bytes of the digest.
  std::string Finish();

 private:
  // Hands what was gathered to the library.
  void FeedGathered();

  std::unique_ptr<Library> library_;
  std::string gathered_;
};

std::unique_ptr<Sha256::Library> NewSha256Library();

// Random bytes, from the operating system's source; a seam so that tests can
// fix them.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual std::string Bytes(std::size_t count) = 0;
};

class SystemRandom final : public RandomSource {
 public:
  std::string Bytes(std::size_t count) override;
};

}  // namespace kelvara
