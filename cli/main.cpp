#include <string>
#include <vector>

#include "cipher/sha256.h"
#include "cli/console.h"
#include "cli/file_tree.h"
#include "cli/run_cli.h"
#include "files/real_file_system.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  kelvara::cli::RealConsole console;
  kelvara::cli::RealFileTree tree;
  kelvara::RealFileSystem files;
  kelvara::SystemRandom random;
  return kelvara::cli::RunCommandLine(args, console, tree, files, random);
}
