#include "cipher/sha256.h"

namespace kelvara {
namespace {

// Enough to make the library's cost per call vanish, small enough to stay in cache.
constexpr std::size_t kGather = std::size_t{64} << 10;

}  // namespace

Sha256::Sha256() : library_(NewSha256Library()) {}

void Sha256::Update(std::string_view bytes) {
  if (gathered_.size() + bytes.size() > kGather) FeedGathered();
  if (bytes.size() >= kGather) {
    library_->Feed(bytes);
    return;
  }
  gathered_.append(bytes);
}

void Sha256::FeedGathered() {
  if (!gathered_.empty()) library_->Feed(gathered_);
  gathered_.clear();
}

std::string Sha256::Finish() {
  FeedGathered();
  return library_->Finish();
}

}  // namespace kelvara
