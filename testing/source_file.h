#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace kelvara {

// The bytes of a file of the source tree (a golden page, a table of known
// answers), by its path from the tree's top; empty when it is missing.
inline std::string SourceFile(std::string_view path) {
  std::ifstream in(std::string(KELVARA_SOURCE_DIR) + "/" + std::string(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kelvara
