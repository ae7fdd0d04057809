#include "files/file_system.h"

#include <utility>

#include "files/real_file_system.h"

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

std::string TemporaryName(const std::string& beside, std::string_view random) {
  constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  const std::size_t slash = beside.find_last_of("/\\");
  std::string name = slash == std::string::npos ? std::string() : beside.substr(0, slash + 1);
  name.append(".kelvara-");
  for (const char c : random) name.push_back(kLetters[static_cast<unsigned char>(c) % 36]);
  name.append(".tmp");
  return name;
}

}  // namespace kelvara
