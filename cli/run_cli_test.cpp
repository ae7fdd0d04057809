#include "cli/run_cli.h"

#include <gtest/gtest.h>

#include <deque>

#include "cli/options.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_tree.h"

namespace kelvara::cli {
namespace {

// Standard streams and a terminal, scripted.
class FakeConsole final : public Console {
 public:
  bool inputIsTerminal = false;
  bool errorIsTerminal = false;
  std::string input;                // standard input
  std::deque<std::string> entries;  // lines typed at the terminal; none left is its end
  std::vector<std::string> prompts;
  std::string out;
  std::string err;
  bool outFails = false;
  std::size_t inputRead = 0;

  bool InputIsTerminal() override { return inputIsTerminal; }
  bool ErrorIsTerminal() override { return errorIsTerminal; }
  std::size_t ReadInput(char* buffer, std::size_t size) override {
    const std::size_t n = input.copy(buffer, size, inputRead);
    inputRead += n;
    return n;
  }
  bool AskHidden(std::string_view prompt, std::string& entry) override {
    prompts.emplace_back(prompt);
    if (entries.empty()) return false;
    entry = entries.front();
    entries.pop_front();
    return true;
  }
  void Out(std::string_view text) override { out.append(text); }
  void Err(std::string_view text) override { err.append(text); }
  bool FlushOut() override { return !outFails; }
};

const std::string kPlain =
    "<html>\r\n<head>\r\n<title>Home</title>\r\n</head>\r\n<body>\r\nHello\r\n</body>\r\n</"
    "html>\r\n";
const std::string kUsageEnd = "\n" + std::string(kUsageLine) + "\nTry 'kelvara-cli --help'.\n";

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files.folders = {"site", "site/sub"};
    files.files["site/a.htm"] = kPlain;
    files.files["site/sub/b.html"] = kPlain;
    files.files["site/notes.txt"] = "not a page";
  }
  int Run(const std::vector<std::string>& args) {
    console.out.clear();
    console.err.clear();
    console.inputRead = 0;
    return RunCommandLine(args, console, tree, files, TestRandom());
  }
  // Runs with the password on standard input.
  int RunWith(const std::string& passwordLine, std::vector<std::string> args) {
    console.input = passwordLine;
    args.insert(args.begin(), "--password-stdin");
    return Run(args);
  }
  bool IsProtected(const std::string& path) const {
    return files.files.at(path).find("<title>Kelvara</title>") != std::string::npos;
  }

  FakeConsole console;
  MemoryFileSystem files;
  MemoryFileTree tree{files};
};

TEST_F(CommandLineTest, ProtectsAndRestoresAFolderWithOnePassword) {
  ASSERT_EQ(RunWith("s3cret\n", {"site"}), kExitSuccess) << console.err;
  EXPECT_EQ(console.out,
            "site/a.htm: File is now protected by Kelvara\n"
            "site/sub/b.html: File is now protected by Kelvara\n");
  EXPECT_EQ(console.err, "2 protected, 0 restored, 0 refused\n");
  EXPECT_TRUE(IsProtected("site/a.htm"));
  EXPECT_TRUE(IsProtected("site/sub/b.html"));
  EXPECT_EQ(files.files.at("site/a.htm.original"), kPlain);
  EXPECT_EQ(files.files.at("site/notes.txt"), "not a page");

  // The backups beside the pages are no pages of the second run.
  ASSERT_EQ(RunWith("s3cret\r\n", {"site"}), kExitSuccess) << console.err;
  EXPECT_EQ(console.out,
            "site/a.htm: File back to normal (no protection)\n"
            "site/sub/b.html: File back to normal (no protection)\n");
  for (const char* page : {"site/a.htm", "site/sub/b.html"}) {
    EXPECT_NE(files.files.at(page).find("<title>Home</title>"), std::string::npos) << page;
    EXPECT_NE(files.files.at(page).find("\r\nHello\r\n"), std::string::npos) << page;
  }
}

TEST_F(CommandLineTest, EveryBadPathIsNamedBeforeAnyPasswordIsRead) {
  console.input = "pw\n";
  EXPECT_EQ(Run({"--password-stdin", "gone.htm", "site", "also/gone"}), kExitUsage);
  EXPECT_EQ(console.err,
            "kelvara-cli: gone.htm: no such file or folder\n"
            "kelvara-cli: also/gone: no such file or folder" +
                kUsageEnd);
  EXPECT_EQ(console.inputRead, 0u);
}

TEST_F(CommandLineTest, ATerminalThatEndsChangesNothing) {
  console.inputIsTerminal = true;
  const auto before = files.files;
  for (const std::deque<std::string>& entries : {std::deque<std::string>{"typed"}, {}}) {
    console.entries = entries;
    EXPECT_EQ(Run({"site"}), kExitUsage);
    EXPECT_EQ(console.err, "kelvara-cli: no password entered" + kUsageEnd);
    EXPECT_EQ(files.files, before);
  }
}

// No password is read then, but what the walk could not reach is told.
TEST_F(CommandLineTest, NoPageFoundIsARefusal) {
  files.folders.insert({"locked", "locked/in"});
  tree.unreadable.insert("locked/in");
  console.input = "pw\n";
  EXPECT_EQ(Run({"--password-stdin", "locked"}), kExitRefused);
  EXPECT_EQ(console.out, "locked/in: Folder cannot be read; its pages are left alone.\n");
  EXPECT_EQ(console.err, "kelvara-cli: no .htm or .html pages found\n");
  EXPECT_EQ(console.inputRead, 0u);
}

TEST_F(CommandLineTest, PasswordStdinWinsOverTheTerminal) {
  console.inputIsTerminal = true;
  ASSERT_EQ(RunWith("pw\n", {"site/a.htm"}), kExitSuccess);
  EXPECT_TRUE(console.prompts.empty());
}

TEST_F(CommandLineTest, ProgressForLongBatchesOnATerminalOnly) {
  for (int i = 0; i < 21; ++i) files.files["site/p" + std::to_string(100 + i) + ".htm"] = kPlain;
  console.errorIsTerminal = true;
  ASSERT_EQ(RunWith("pw\n", {"site"}), kExitSuccess);
  EXPECT_EQ(console.out.find('\r'), std::string::npos);
  // Erased before each outcome line, and drawn again after it.
  EXPECT_NE(console.err.find("\rkelvara-cli: 0/23 pages\r" + std::string(23, ' ') +
                             "\r\rkelvara-cli: 1/23 pages"),
            std::string::npos);
  EXPECT_NE(console.err.find("\rkelvara-cli: 23/23 pages"), std::string::npos);
  // It ends erased, before the summary.
  const std::string summary = "23 protected, 0 restored, 0 refused\n";
  EXPECT_TRUE(console.err.ends_with(std::string(24, ' ') + "\r" + summary)) << console.err;

  console.errorIsTerminal = false;
  ASSERT_EQ(RunWith("pw\n", {"site"}), kExitSuccess);
  EXPECT_EQ(console.err, "0 protected, 23 restored, 0 refused\n");
}

TEST_F(CommandLineTest, AnOutcomeThatCannotBeWrittenIsNoSuccess) {
  console.outFails = true;
  EXPECT_EQ(RunWith("pw\n", {"site/a.htm"}), kExitRefused);
  EXPECT_EQ(console.err, "kelvara-cli: could not write the outcome to standard output\n");
}

}  // namespace
}  // namespace kelvara::cli
