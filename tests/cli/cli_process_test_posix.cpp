// Runs the built kelvara-cli in child processes: through pipes as a script
// would, and on a pseudo-terminal as a person would.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cipher/page_cipher.h"
#include "kelvara_version.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kDeadline = std::chrono::seconds(20);
const std::string kPlain =
    "<html>\r\n<head>\r\n<title>Home</title>\r\n</head>\r\n<body bgcolor=white>\r\nHello, world\r\n"
    "</body>\r\n</html>\r\n";
const std::string kUsageLine =
    "usage: kelvara-cli [--protect | --restore] [--password-stdin] PATH...\n";

struct Result {
  int exitCode = -1;  // -1 unless the process exited by itself
  int signal = 0;
  bool timedOut = false;
  std::string out;
  std::string err;
};

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return argv;
}

// Waits for the child until the deadline, killing it after that.
void Reap(pid_t pid, Clock::time_point deadline, Result& result) {
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (Clock::now() > deadline) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    ::usleep(2000);
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

// Starts the tool in `cwd` with pipes for its three streams, and in a session
// of its own, so that it has no terminal even when the tests are run from one.
// An input of "<FILE" is read from FILE instead.
Result RunCli(std::vector<std::string> args, const std::string& input, const fs::path& cwd) {
  args.insert(args.begin(), KELVARA_CLI_PATH);
  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    ::dup2(input.starts_with('<') ? ::open(input.c_str() + 1, O_RDONLY) : in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (const int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(args[0].c_str(), Argv(args).data());
    ::_exit(127);
  }
  for (const int fd : {in[0], out[1], err[1]}) ::close(fd);
  // A tool that never reads its input must not stop the test with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  if (!input.starts_with('<')) (void)!::write(in[1], input.data(), input.size());
  ::close(in[1]);

  Result result;
  const auto deadline = Clock::now() + kDeadline;
  pollfd polls[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0 && Clock::now() < deadline) {
    if (::poll(polls, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (polls[i].fd < 0 || polls[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(polls[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(polls[i].fd);
        polls[i].fd = -1;
        --open;
      }
    }
  }
  Reap(pid, deadline, result);
  for (const pollfd& p : polls) {
    if (p.fd >= 0) ::close(p.fd);
  }
  return result;
}

// The tool on a pseudo-terminal: it is the child's controlling terminal and,
// unless redirected to files, its standard input, output and error.
class PtySession {
 public:
  PtySession(std::vector<std::string> args, const fs::path& cwd, const fs::path& stdinFile = {},
             const fs::path& stdoutFile = {}, const fs::path& stderrFile = {}) {
    args.insert(args.begin(), KELVARA_CLI_PATH);
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (::chdir(cwd.c_str()) != 0) ::_exit(126);
      if (!stdinFile.empty()) ::dup2(::open(stdinFile.c_str(), O_RDONLY), 0);
      if (!stdoutFile.empty())
        ::dup2(::open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      if (!stderrFile.empty())
        ::dup2(::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::execv(args[0].c_str(), Argv(args).data());
      ::_exit(127);
    }
    deadline_ = Clock::now() + kDeadline;
  }
  ~PtySession() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }

  bool Started() const { return pid_ > 0 && master_ >= 0; }

  // Reads what the terminal shows until `text` appears after what was waited for before.
  bool WaitFor(std::string_view text) {
    while (seen.find(text, waited_) == std::string::npos) {
      if (!ReadSome()) return false;
    }
    waited_ = seen.find(text, waited_) + text.size();
    return true;
  }

  void Type(std::string_view keys) { (void)!::write(master_, keys.data(), keys.size()); }

  // The terminal's echo flag, as the child left it.
  bool EchoIsOn() {
    termios settings{};
    return ::tcgetattr(master_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
  }

  // Reads to the end and waits for the child.
  Result Finish() {
    while (ReadSome()) {
    }
    Result result;
    result.out = seen;
    Reap(pid_, deadline_, result);
    reaped_ = true;
    return result;
  }

  std::string seen;

 private:
  bool ReadSome() {
    while (Clock::now() < deadline_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got <= 0) return false;  // EIO: every slave side is closed
      seen.append(buffer, static_cast<std::size_t>(got));
      return true;
    }
    return false;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  std::size_t waited_ = 0;
  Clock::time_point deadline_;
};

class CliProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root = fs::temp_directory_path() / (std::string("kelvara-cli-") + info->name() + "-" +
                                        std::to_string(std::random_device{}()));
    fs::create_directories(root);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  void Put(const std::string& name, const std::string& bytes) const {
    fs::create_directories((root / name).parent_path());
    std::ofstream(root / name, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(root / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool IsProtected(const std::string& name) const {
    return Get(name).find("<title>Kelvara</title>") != std::string::npos;
  }
  // Every file under the scratch folder with its bytes, to show that nothing changed.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_regular_file())
        files[fs::relative(entry.path(), root).string()] =
            Get(fs::relative(entry.path(), root).string());
    }
    return files;
  }

  Result Run(const std::vector<std::string>& args, const std::string& input = "") const {
    return RunCli(args, input, root);
  }
  // With the password as the first line of standard input.
  Result RunWith(const std::string& passwordLine, std::vector<std::string> args) const {
    args.insert(args.begin(), "--password-stdin");
    return RunCli(args, passwordLine, root);
  }

  fs::path root;
};

TEST_F(CliProcessTest, ProtectsAndRestoresAPage) {
  Put("site/page.htm", kPlain);
  Result result = RunWith("correct horse\n", {"site/page.htm"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "site/page.htm: File is now protected by Kelvara\n");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(IsProtected("site/page.htm"));
  EXPECT_EQ(Get("site/page.htm.original"), kPlain);
  EXPECT_EQ(Get("site/page.htm").find("Hello"), std::string::npos);

  result = RunWith("correct horse\r\n", {"site/page.htm"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "site/page.htm: File back to normal (no protection)\n");
  const std::string restored = Get("site/page.htm");
  EXPECT_NE(restored.find("<title>Home</title>"), std::string::npos);
  EXPECT_NE(restored.find("<body bgcolor=white>\r\nHello, world\r\n"), std::string::npos);
  EXPECT_TRUE(IsProtected("site/page.htm.protected"));
}

TEST_F(CliProcessTest, WalksFoldersInOrderAndSkipsTheBackups) {
  for (const char* page :
       {"site/index.html", "site/About.HTM", "site/blog/2.htm", "site/blog/1.HtMl"}) {
    Put(page, kPlain);
  }
  Put("site/style.css", "body {}");
  Put("site/old.htm.bak", kPlain);
  const std::string walked =
      "site/About.HTM: %\nsite/blog/1.HtMl: %\nsite/blog/2.htm: %\nsite/index.html: %\n";
  auto expect = [&](const std::string& text) {
    std::string lines = walked;
    for (std::size_t at; (at = lines.find('%')) != std::string::npos;) lines.replace(at, 1, text);
    return lines;
  };

  Result result = RunWith("pw\n", {"site"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, expect("File is now protected by Kelvara"));
  EXPECT_EQ(Get("site/style.css"), "body {}");
  EXPECT_EQ(Get("site/old.htm.bak"), kPlain);

  // The ".original" copies now beside the pages are no pages.
  result = RunWith("pw\n", {"site/"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, expect("File back to normal (no protection)"));
  // And neither are the ".protected" copies of the restore.
  result = RunWith("pw\n", {"site"});
  EXPECT_EQ(result.out, expect("File is now protected by Kelvara"));
  EXPECT_TRUE(fs::exists(root / "site/blog/1.HtMl.protected"));
}

TEST_F(CliProcessTest, ForcedModesRefuseTheOtherKindOfPage) {
  Put("a.htm", kPlain);
  Put("b.htm", kPlain);
  ASSERT_EQ(RunWith("pw\n", {"a.htm"}).exitCode, 0);
  const std::string protectedA = Get("a.htm");

  Result result = RunWith("pw\n", {"--protect", "a.htm", "b.htm"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(
      result.out,
      "a.htm: File is already protected by Kelvara.\nb.htm: File is now protected by Kelvara\n");
  EXPECT_EQ(Get("a.htm"), protectedA);

  Put("c.htm", kPlain);
  result = RunWith("pw\n", {"c.htm", "--restore", "a.htm"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(
      result.out,
      "c.htm: File is not protected by Kelvara.\na.htm: File back to normal (no protection)\n");
  EXPECT_EQ(Get("c.htm"), kPlain);
  EXPECT_FALSE(fs::exists(root / "c.htm.original"));
}

TEST_F(CliProcessTest, RefusalsOfTheCoreGiveExitStatusOne) {
  Put("headless.htm", "<html><body>x</body></html>");
  Put("fine.htm", kPlain);
  const Result result = RunWith("pw\n", {"headless.htm", "fine.htm"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(
      result.out,
      "headless.htm: <HEAD> </HEAD> tags missing.\nfine.htm: File is now protected by Kelvara\n");
}

TEST_F(CliProcessTest, UsageErrorsChangeNothingAndExitWithTwo) {
  Put("site/a.htm", kPlain);
  const std::string kTooLong = "the password on standard input is longer than 4096 bytes";
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--password-stdin", "--bogus", "site"}, "pw\n", "unknown option '--bogus'"},
      {{"--password-stdin", "--protect", "--restore", "site"},
       "pw\n",
       "--protect and --restore cannot be used together"},
      {{"--password-stdin"}, "pw\n", "no PATH given"},
      {{"--password-stdin", "site", "missing.htm"}, "pw\n", "missing.htm: no such file or folder"},
      {{"--password-stdin", "site"}, "", "no password on standard input"},
      // With no terminal the tool must not wait, not even with input at hand.
      {{"site"}, "pw\n", "no terminal to ask the password on; use --password-stdin"},
      {{"site"}, "", "no terminal to ask the password on; use --password-stdin"},
      {{"--password-stdin", "site"},
       "\xE5\xAF\x86\n",
       "the password holds U+5BC6 (\xE5\xAF\x86), a character that Windows-1252 lacks"},
      {{"--password-stdin", "site"}, std::string(4097, 'x') + "\n", kTooLong},
      // An endless input without a line end is refused at once.
      {{"--password-stdin", "site"}, "</dev/zero", kTooLong},
  };
  const auto before = Snapshot();
  for (const Case& c : cases) {
    const Result result = Run(c.args, c.input);
    EXPECT_FALSE(result.timedOut) << c.message;
    EXPECT_EQ(result.exitCode, 2) << c.message;
    EXPECT_EQ(result.err, "kelvara-cli: " + c.message + "\n" + kUsageLine);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(CliProcessTest, HelpAndVersionGoToStandardOutput) {
  Result result = Run({"--help"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out.rfind(kUsageLine, 0), 0u);
  EXPECT_NE(result.out.find("(at most 4096 bytes)"), std::string::npos);
  result = Run({"--version"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "kelvara-cli " KELVARA_VERSION "\n");
}

TEST_F(CliProcessTest, EmptyPasswordIsTheKeyOfOneZeroByte) {
  Put("a.htm", kPlain);
  ASSERT_EQ(RunWith("\n", {"a.htm"}).exitCode, 0);
  // Adding 0 changes nothing: the hex text spells the title itself.
  EXPECT_NE(Get("a.htm").find("VetrakSetTitle(\"486F6D65\");"), std::string::npos);
  const Result result = RunWith("\n", {"a.htm"});
  EXPECT_EQ(result.out, "a.htm: File back to normal (no protection)\n");
  EXPECT_NE(Get("a.htm").find("Hello, world"), std::string::npos);
}

TEST_F(CliProcessTest, PasswordWithSpacesAndHighBytesIsTakenAsIs) {
  Put("a.htm", kPlain);
  // Not UTF-8, so byte for byte; blanks at either end belong to it.
  const std::string password = " two words \xE9\xFF\x80 ";
  ASSERT_EQ(RunWith(password + "\n", {"a.htm"}).exitCode, 0);
  const PageCipher cipher(password);
  EXPECT_NE(Get("a.htm").find("VetrakSetTitle(\"" + cipher.EncodeHex("Home") + "\");"),
            std::string::npos);
  const Result result = RunWith(password + "\n", {"a.htm"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(Get("a.htm").find("<title>Home</title>"), std::string::npos);
}

TEST_F(CliProcessTest, Utf8PasswordBecomesWindows1252) {
  Put("a.htm", kPlain);
  ASSERT_EQ(RunWith("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\n", {"a.htm"}).exitCode, 0);  // "grüß €"
  const PageCipher cipher("gr\xFC\xDF \x80");
  EXPECT_NE(Get("a.htm").find("VetrakSetTitle(\"" + cipher.EncodeHex("Home") + "\");"),
            std::string::npos);
}

// The page's identity is taken before anything is rewritten: a rewrite gives
// the page a new inode, and a later spelling of it must not be taken for
// another page and be restored again right away.
TEST_F(CliProcessTest, APageNamedTwiceIsRunOnceEvenAfterItsRewrite) {
  Put("d/a.htm", kPlain);
  Put("d/b.htm", kPlain);
  fs::create_symlink("a.htm", root / "d/link.htm");
  fs::create_hard_link(root / "d/a.htm", root / "hard.htm");
  const Result result = RunWith(
      "pw\n", {"d/a.htm", "./d/a.htm", "d//a.htm", "d/../d/a.htm", "d", "hard.htm", "d/link.htm"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(
      result.out,
      "d/a.htm: File is now protected by Kelvara\nd/b.htm: File is now protected by Kelvara\n");
  EXPECT_TRUE(IsProtected("d/a.htm"));
  EXPECT_EQ(Get("d/a.htm.original"), kPlain);
}

TEST_F(CliProcessTest, AFolderWithoutPagesSaysSo) {
  Put("empty/readme.txt", "x");
  const Result result = Run({"--password-stdin", "empty"}, "pw\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "kelvara-cli: no .htm or .html pages found\n");
}

TEST_F(CliProcessTest, NoProgressWhenStandardErrorIsNoTerminal) {
  for (int i = 0; i < 25; ++i) Put("many/p" + std::to_string(i) + ".htm", kPlain);
  const Result result = RunWith("pw\n", {"many"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
}

class CliTerminalTest : public CliProcessTest {};

TEST_F(CliTerminalTest, AsksTwiceWithoutEcho) {
  Put("a.htm", kPlain);
  PtySession session({"a.htm"}, root);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.WaitFor("Password: ")) << session.seen;
  session.Type("hidden words\r");
  ASSERT_TRUE(session.WaitFor("Repeat password: ")) << session.seen;
  session.Type("hidden words\r");
  const Result result = session.Finish();
  EXPECT_EQ(result.exitCode, 0) << result.out;
  EXPECT_EQ(result.out.find("hidden"), std::string::npos) << "echoed: " << result.out;
  EXPECT_NE(result.out.find("a.htm: File is now protected by Kelvara"), std::string::npos)
      << result.out;
  EXPECT_TRUE(session.EchoIsOn());
  const PageCipher cipher("hidden words");
  EXPECT_NE(Get("a.htm").find("VetrakSetTitle(\"" + cipher.EncodeHex("Home") + "\");"),
            std::string::npos);
}

TEST_F(CliTerminalTest, PromptsReachTheTerminalWithStandardErrorRedirected) {
  Put("a.htm", kPlain);
  PtySession session({"a.htm"}, root, {}, {}, root / "err.txt");
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.WaitFor("Password: ")) << session.seen;
  session.Type("pw\r");
  ASSERT_TRUE(session.WaitFor("Repeat password: ")) << session.seen;
  session.Type("pw\r");
  EXPECT_EQ(session.Finish().exitCode, 0);
  EXPECT_EQ(Get("err.txt"), "");
}

TEST_F(CliTerminalTest, DifferentEntriesChangeNothing) {
  Put("a.htm", kPlain);
  PtySession session({"a.htm"}, root);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.WaitFor("Password: ")) << session.seen;
  session.Type("first\r");
  ASSERT_TRUE(session.WaitFor("Repeat password: ")) << session.seen;
  session.Type("First\r");
  const Result result = session.Finish();
  EXPECT_EQ(result.exitCode, 2) << result.out;
  EXPECT_NE(result.out.find("kelvara-cli: the passwords differ; nothing was changed"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("irst"), std::string::npos) << "echoed: " << result.out;
  EXPECT_TRUE(session.EchoIsOn());
  EXPECT_EQ(Get("a.htm"), kPlain);
  EXPECT_FALSE(fs::exists(root / "a.htm.original"));
}

TEST_F(CliTerminalTest, InterruptedAtThePromptTheEchoComesBack) {
  Put("a.htm", kPlain);
  PtySession session({"a.htm"}, root);
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.WaitFor("Password: ")) << session.seen;
  ASSERT_FALSE(session.EchoIsOn());
  session.Type("half");
  session.Type("\x03");  // Ctrl+C
  const Result result = session.Finish();
  EXPECT_EQ(result.signal, SIGINT);
  EXPECT_TRUE(session.EchoIsOn());
  EXPECT_EQ(Get("a.htm"), kPlain);
}

TEST_F(CliTerminalTest, ProgressOverwritesItselfOnStandardErrorOnly) {
  for (int i = 0; i < 25; ++i) Put("many/p" + std::to_string(100 + i) + ".htm", kPlain);
  Put("password.txt", "pw\n");
  PtySession session({"--password-stdin", "many"}, root, root / "password.txt", root / "out.txt");
  ASSERT_TRUE(session.Started());
  const Result result = session.Finish();
  EXPECT_EQ(result.exitCode, 0) << result.out;
  EXPECT_NE(result.out.find("\rkelvara-cli: 1/25 pages"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\rkelvara-cli: 25/25 pages"), std::string::npos) << result.out;
  EXPECT_TRUE(result.out.ends_with("\r")) << "the counter is erased at the end";
  const std::string out = Get("out.txt");
  EXPECT_EQ(out.find('\r'), std::string::npos);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 25);
  EXPECT_NE(out.find("many/p124.htm: File is now protected by Kelvara\n"), std::string::npos);
}

}  // namespace
}  // namespace kelvara
