#include "cli/options.h"

namespace kelvara::cli {

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool sawProtect = false;
  bool sawRestore = false;
  bool onlyPaths = false;
  for (const std::string& arg : args) {
    if (onlyPaths || arg.size() < 2 || arg.front() != '-') {
      // A lone "-" is a path too: the tool never reads pages from standard input.
      options.paths.push_back(arg);
    } else if (arg == "--") {
      onlyPaths = true;
    } else if (arg == "--protect") {
      sawProtect = true;
    } else if (arg == "--restore") {
      sawRestore = true;
    } else if (arg == "--password-stdin") {
      options.passwordStdin = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (options.error.empty()) {
      options.error = "unknown option '" + arg + "'";
    }
  }
  if (options.help || options.version) {
    // Asking for help is never an error, whatever else the line holds.
    options.error.clear();
    return options;
  }
  if (!options.error.empty()) return options;
  if (sawProtect && sawRestore) {
    options.error = "--protect and --restore cannot be used together";
  } else if (options.paths.empty()) {
    options.error = "no PATH given";
  }
  options.mode = sawProtect ? Mode::kProtect : sawRestore ? Mode::kRestore : Mode::kAuto;
  return options;
}

std::string HelpText() {
  std::string text(kUsageLine);
  text +=
      "\n"
      "\n"
      "Password-protects HTML pages in place, or restores protected pages.\n"
      "Each PATH is a page, or a folder searched recursively for .htm and .html files.\n"
      "A page titled \"Kelvara\" is restored; any other page is protected.\n"
      "\n"
      "Options:\n"
      "  --protect         only protect; a page already protected is refused\n"
      "  --restore         only restore; a page not protected is refused\n"
      "  --password-stdin  read the password from the first line of standard input\n"
      "                    (at most 4096 bytes) instead of asking twice on the terminal\n"
      "  -h, --help        show this help and exit\n"
      "  --version         show the version and exit\n"
      "  --                treat every later argument as a PATH\n"
      "\n"
      "A password in UTF-8 is turned into Windows-1252 bytes, as the desktop program\n"
      "and the browser see it; any other password is used byte for byte.\n"
      "\n"
      "Exit status: 0 when every page succeeded, 1 when a page was refused,\n"
      "2 for a usage error (nothing is changed then).\n";
  return text;
}

}  // namespace kelvara::cli
