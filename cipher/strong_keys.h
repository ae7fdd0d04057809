#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cipher/sha256.h"

namespace kelvara {

// The keys of one run for the strong form, each derived from a password once
// per run, not once per page: the derivation is slow on purpose.
class StrongKeys {
 public:
  // For opening strong pages with `password` (UTF-8).
  explicit StrongKeys(std::string password) : password_(std::move(password)) {}

  // For protecting pages too: a new salt for the run, and a key derived
  // from each password (UTF-8) that opens them.
  StrongKeys(const std::vector<std::string>& passwords, std::uint32_t iterations,
             RandomSource& random);

  bool Protects() const { return !keys_.empty(); }
  const std::string& Salt() const { return salt_; }
  std::uint32_t Iterations() const { return iterations_; }
  // One key for each password given to protect with, in their order.
  const std::vector<std::string>& Keys() const { return keys_; }

  // The key that the opening password gives with a page's salt and count.
  const std::string& KeyFor(const std::string& salt, std::uint32_t iterations);

 private:
  std::string password_;
  std::string salt_;
  std::uint32_t iterations_ = 0;
  std::vector<std::string> keys_;
  std::map<std::pair<std::string, std::uint32_t>, std::string> derived_;
};

}  // namespace kelvara
