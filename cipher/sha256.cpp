#include "cipher/sha256.h"

namespace kelvara {
namespace {

// Enough to make the library's cost per call vanish, small enough to stay in cache.
constexpr std::size_t kGather = std::size_t{64} << 10;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void Sha256::Update(std::string_view bytes) {
  if (pending_.size() + bytes.size() > kGather) Pass();
  if (bytes.size() >= kGather) {
    Feed(bytes);
    return;
  }
  pending_.append(bytes);
}

void Sha256::Pass() {
  Feed(pending_);
  pending_.clear();
}

std::string HexDigits(std::string_view bytes) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  return hex;
}

bool ReadHexDigits(std::string_view hex, std::string& bytes) {
  bytes.clear();
  if (hex.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]);
    const int low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

}  // namespace kelvara
