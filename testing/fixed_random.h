#pragma once

#include <string>

#include "cipher/sha256.h"

namespace kelvara {

// Random bytes that are always the same (0xA0, 0xA1, ...), so that a protected page is.
class FixedRandom final : public RandomSource {
 public:
  std::string Bytes(std::size_t count) override {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>(0xA0 + i));
    return bytes;
  }
};

inline FixedRandom& TestRandom() {
  static FixedRandom random;
  return random;
}

}  // namespace kelvara
