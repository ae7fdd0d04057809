#include "cipher/strong_keys.h"

#include "cipher/strong_crypto.h"
#include "format/strong_format.h"

namespace kelvara {

StrongKeys::StrongKeys(const std::vector<std::string>& passwords, std::uint32_t iterations,
                       RandomSource& random)
    : password_(passwords.empty() ? std::string() : passwords.front()),
      salt_(random.Bytes(strong_format::kSaltSize)),
      iterations_(iterations) {
  for (const std::string& password : passwords) {
    keys_.push_back(DeriveKey(password, salt_, iterations_));
  }
  if (!keys_.empty()) derived_[{salt_, iterations_}] = keys_.front();
}

const std::string& StrongKeys::KeyFor(const std::string& salt, std::uint32_t iterations) {
  const auto known = derived_.find({salt, iterations});
  if (known != derived_.end()) return known->second;
  return derived_[{salt, iterations}] = DeriveKey(password_, salt, iterations);
}

}  // namespace kelvara
