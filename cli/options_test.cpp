#include "cli/options.h"

#include <gtest/gtest.h>

namespace kelvara::cli {
namespace {

TEST(ParseOptions, TakesModesAndPathsInAnyOrder) {
  Options options = ParseOptions({"a.htm", "--restore", "site", "--password-stdin"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.mode, Mode::kRestore);
  EXPECT_TRUE(options.passwordStdin);
  EXPECT_EQ(options.paths, (std::vector<std::string>{"a.htm", "site"}));

  options = ParseOptions({"--protect", "a.htm"});
  EXPECT_EQ(options.mode, Mode::kProtect);
  EXPECT_FALSE(options.passwordStdin);

  options = ParseOptions({"a.htm"});
  EXPECT_EQ(options.mode, Mode::kAuto);
}

TEST(ParseOptions, DoubleDashMakesTheRestPaths) {
  const Options options = ParseOptions({"--protect", "--", "--restore", "-x.htm", "--"});
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(options.mode, Mode::kProtect);
  EXPECT_EQ(options.paths, (std::vector<std::string>{"--restore", "-x.htm", "--"}));
  // A lone dash and an empty argument are paths, to be found missing later.
  EXPECT_EQ(ParseOptions({"-", ""}).paths, (std::vector<std::string>{"-", ""}));
}

TEST(ParseOptions, UsageErrors) {
  EXPECT_EQ(ParseOptions({"--protect", "--restore", "a.htm"}).error,
            "--protect and --restore cannot be used together");
  EXPECT_EQ(ParseOptions({}).error, "no PATH given");
  EXPECT_EQ(ParseOptions({"--protect", "--"}).error, "no PATH given");
  // The first unknown option is the one named; look-alikes are not accepted.
  EXPECT_EQ(ParseOptions({"a.htm", "--bogus", "--protet"}).error, "unknown option '--bogus'");
  EXPECT_EQ(ParseOptions({"-p", "a.htm"}).error, "unknown option '-p'");
}

TEST(ParseOptions, SuggestsTheOptionThatAnUnknownOneIsASlipFor) {
  const std::pair<std::string, std::string> cases[] = {
      {"--protet", "--protect"},
      {"--restor", "--restore"},
      {"--password-stdn", "--password-stdin"},
      {"-protect", "--protect"},
      {"--versoin", "--version"},
      {"--ver", "--version"},  // far in edits, but the start of only one
      {"--pass", "--password-stdin"},
      {"--p", ""},  // the start of two
      {"--protect=yes", ""},
      {"--bogus", ""},
  };
  for (const auto& [arg, option] : cases) {
    std::string expected = "unknown option '" + arg + "'";
    if (!option.empty()) expected += "; did you mean '" + option + "'?";
    EXPECT_EQ(ParseOptions({arg, "a.htm"}).error, expected) << arg;
  }
  EXPECT_EQ(ParseOptions({"--he\x1B[2J"}).error, "unknown option '--he\\x1B[2J'");
}

TEST(Printable, EscapesControlBytesOnly) {
  EXPECT_EQ(Printable("a\nb\rc\td\x01\x1F\x7F\x80\xE9 \\x/\xC3\xA9"),
            "a\\nb\\rc\\td\\x01\\x1F\\x7F\x80\xE9 \\x/\xC3\xA9");
  EXPECT_EQ(Printable(std::string("nul\0", 4)), "nul\\x00");
}

TEST(ParseOptions, HelpAndVersionWinOverErrors) {
  Options options = ParseOptions({"--bogus", "--help"});
  EXPECT_TRUE(options.help);
  EXPECT_EQ(options.error, "");
  options = ParseOptions({"--protect", "--restore", "--version"});
  EXPECT_TRUE(options.version);
  EXPECT_EQ(options.error, "");
  EXPECT_TRUE(ParseOptions({"-h"}).help);
  // After "--" they are only paths.
  EXPECT_FALSE(ParseOptions({"--", "--help"}).help);
}

TEST(HelpText, StartsWithTheUsageAndNamesEveryOption) {
  const std::string help = HelpText();
  EXPECT_EQ(help.rfind(kUsageLine, 0), 0u);
  for (const char* option : {"--protect", "--restore", "--password-stdin", "--help", "--version"}) {
    EXPECT_NE(help.find(std::string(" ") + option + "  "), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace kelvara::cli
