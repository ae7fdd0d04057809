#include "cli/file_tree.h"

#include <filesystem>

namespace kelvara::cli {

std::string RealFileTree::Canonical(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

bool RealFileTree::MakeFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return !error && std::filesystem::is_directory(path, error);
}

}  // namespace kelvara::cli
