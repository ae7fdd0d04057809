#include "cli/options.h"

#include <gtest/gtest.h>

#include <array>

#include "testing/table.h"

namespace kelvara::cli {
namespace {

// What the arguments come to, as the table writes it.
std::string Parsed(const std::vector<std::string>& args) {
  Options options;
  if (const Outcome parsed = ParseOptions(args, options); parsed.Refused())
    return "error: " + std::string(parsed.Text());
  if (options.help || options.version) return options.help ? "help" : "version";
  std::string parsed = std::array{"auto", "protect", "restore"}[static_cast<int>(options.mode)];
  if (options.passwordStdin) parsed += " stdin";
  if (!options.output.empty()) parsed += " output=" + options.output;
  for (const std::string& path : options.paths) parsed += " [" + path + "]";
  return parsed;
}

TEST(ParseOptions, Table) {
  for (const auto& row : TableRows("cli/testdata/options.txt"))
    EXPECT_EQ(Parsed({row.begin() + 1, row.end()}), row[0]);
}

}  // namespace
}  // namespace kelvara::cli
