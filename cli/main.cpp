#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/file_tree.h"
#include "cli/page_files.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  kelvara::cli::RealConsole console;
  kelvara::cli::RealFileTree tree;
  const auto files = kelvara::cli::MakePageFiles();
  return kelvara::cli::RunCommandLine(args, console, tree, *files);
}
