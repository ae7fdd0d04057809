#include "cli/page_files.h"
#include "text/real_file_system.h"

namespace kelvara::cli {

std::unique_ptr<FileSystem> MakePageFiles() {
  return std::make_unique<RealFileSystem>();
}

}  // namespace kelvara::cli
