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
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::string_view bytes);
  // The 32 bytes of the digest.
  std::string Finish();

 private:
  class Library;  // the platform's hashing state
  void Pass();
  void Feed(std::string_view bytes);

  std::unique_ptr<Library> library_;
  std::string pending_;
};

// Upper-case hex digits, two per byte.
std::string HexDigits(std::string_view bytes);
// The bytes of a text made only of hex digits (either case) and of even
// length; false for anything else.
bool ReadHexDigits(std::string_view hex, std::string& bytes);

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
