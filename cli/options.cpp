#include "cli/options.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "cli/cli_texts.h"

namespace kelvara::cli {
namespace {

constexpr std::string_view kLongOptions[] = {"--protect", "--restore", "--password-stdin",
                                             "--output",  "--strong",  "--share",
                                             "--help",    "--version"};

// How many single-byte insertions, deletions and substitutions turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The option that `arg` is most likely a slip for: the nearest within two
// edits, else the only one that it begins. Empty when there is none.
std::string_view Suggestion(std::string_view arg) {
  std::string_view nearest;
  std::size_t nearestDistance = 3;
  std::string_view extended;
  int extensions = 0;
  for (const std::string_view option : kLongOptions) {
    const std::size_t distance = EditDistance(arg, option);
    if (distance < nearestDistance) {
      nearest = option;
      nearestDistance = distance;
    }
    if (option.starts_with(arg)) {
      extended = option;
      ++extensions;
    }
  }
  if (!nearest.empty()) return nearest;
  return extensions == 1 ? extended : std::string_view();
}

}  // namespace

Outcome ParseOptions(const std::vector<std::string>& args, Options& options) {
  options = Options{};
  Outcome outcome;
  bool sawProtect = false;
  bool sawRestore = false;
  bool onlyPaths = false;
  bool outputNext = false;
  for (const std::string& arg : args) {
    if (outputNext) {
      options.output = arg;
      outputNext = false;
    } else if (onlyPaths || arg.size() < 2 || arg.front() != '-') {
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
    } else if (arg == "--strong") {
      options.strong = true;
    } else if (arg == "--share") {
      options.share = true;
    } else if (arg == "--output") {
      outputNext = true;
    } else if (arg.starts_with("--output=")) {
      options.output = arg.substr(9);
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (!outcome.Refused()) {
      std::string text(kUnknownOption);
      text.append(" '").append(Printable(arg)).append("'");
      if (const std::string_view option = Suggestion(arg); !option.empty()) {
        text.append(kDidYouMean).append(" '").append(option).append("'?");
      }
      outcome = UsageError(std::move(text));
    }
  }
  options.mode = sawProtect ? Mode::Protect : sawRestore ? Mode::Restore : Mode::Auto;
  // Asking for help is never an error, whatever else the line holds.
  if (options.help || options.version) return OutcomeCode::Done;
  if (outcome.Refused()) return outcome;
  if (sawProtect && sawRestore) return UsageError(std::string(kBothModes));
  if (options.share && !options.strong) return UsageError(std::string(kShareNeedsStrong));
  if (outputNext ||
      (options.output.empty() && std::find(args.begin(), args.end(), "--output=") != args.end())) {
    return UsageError(std::string(kOutputNeedsFolder));
  }
  if (options.paths.empty()) return UsageError(std::string(kNoPath));
  return OutcomeCode::Done;
}

std::string HelpText() {
  return std::string(kUsageLine).append("\n").append(kHelpBody);
}

std::string Printable(std::string_view text) {
  std::string printed;
  printed.reserve(text.size());
  const auto byteAt = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const auto escape = [&](unsigned char byte) {
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02X", byte);
    printed.append(code);
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = byteAt(i);
    // How long the UTF-8 character that starts here is, 0 when none does.
    std::size_t length = byte >= 0xC2 && byte <= 0xDF   ? 2
                         : byte >= 0xE0 && byte <= 0xEF ? 3
                         : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                        : 0;
    for (std::size_t k = 1; k < length; ++k) {
      if ((byteAt(i + k) & 0xC0) != 0x80) length = 0;
    }
    if (length > 1) {
      const unsigned char second = byteAt(i + 1);
      const unsigned char third = byteAt(i + 2);
      // C1 controls (U+0080 to U+009F) and the bidirectional controls
      // (U+202A to U+202E, U+2066 to U+2069) steer a terminal or turn the
      // line around: their bytes are shown, not sent.
      const bool control = (byte == 0xC2 && second <= 0x9F) ||
                           (byte == 0xE2 && second == 0x80 && third >= 0xAA && third <= 0xAE) ||
                           (byte == 0xE2 && second == 0x81 && third >= 0xA6 && third <= 0xA9);
      for (std::size_t k = 0; k < length; ++k) {
        if (control) {
          escape(byteAt(i + k));
        } else {
          printed.push_back(text[i + k]);
        }
      }
      i += length - 1;
    } else if (byte == '\n') {
      printed.append("\\n");
    } else if (byte == '\r') {
      printed.append("\\r");
    } else if (byte == '\t') {
      printed.append("\\t");
    } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F)) {
      // C0 controls, and bytes 0x80 to 0x9F on their own: C1 controls to a
      // terminal of eight-bit characters.
      escape(byte);
    } else {
      printed.push_back(text[i]);
    }
  }
  return printed;
}

}  // namespace kelvara::cli
