#pragma once

#include <string>
#include <vector>

#include "cipher/sha256.h"
#include "cli/console.h"
#include "cli/file_tree.h"
#include "files/file_system.h"

namespace kelvara::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

// The whole tool, from the arguments after the program's name to the exit
// status. Every usage error is found before any page is touched.
int RunCommandLine(const std::vector<std::string>& args, Console& console, FileTree& tree,
                   FileSystem& files, RandomSource& random);

}  // namespace kelvara::cli
