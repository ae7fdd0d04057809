#include "cli/file_tree.h"

#include <filesystem>

namespace kelvara::cli {

std::string RealFileTree::Canonical(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

}  // namespace kelvara::cli
