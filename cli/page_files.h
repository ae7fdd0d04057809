#pragma once

#include <memory>

#include "text/file_system.h"

namespace kelvara::cli {

// The files that the tool reads and rewrites pages through: the platform's
// real files. On Windows every path reaches them in full, so that a page
// named relative to the current folder, with "/" or "\", is rewritten like
// any other.
std::unique_ptr<FileSystem> MakePageFiles();

}  // namespace kelvara::cli
