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

std::string TemporaryName(std::string_view random) {
  constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name(".kelvara-");
  for (const char c : random) name.push_back(kLetters[static_cast<unsigned char>(c) % 36]);
  name.append(".tmp");
  return name;
}

PathParts SplitPath(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash == std::string_view::npos) return {".", std::string(path)};
  // "/page.htm" lies in the root, "C:\page.htm" in the drive's root.
  const bool root = slash == 0 || (slash == 2 && path[1] == ':');
  return {std::string(path.substr(0, root ? slash + 1 : slash)),
          std::string(path.substr(slash + 1))};
}

}  // namespace kelvara
