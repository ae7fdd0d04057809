#include "files/file_system.h"

#include <utility>

namespace kelvara {
namespace {

class HeldBytes final : public FileBytes {
 public:
  explicit HeldBytes(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string_view View() const override { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace

std::unique_ptr<FileBytes> HoldBytes(std::string bytes) {
  return std::make_unique<HeldBytes>(std::move(bytes));
}

}  // namespace kelvara
