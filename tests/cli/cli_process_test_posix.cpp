// Runs the built kelvara-cli in child processes: through pipes as a script
// would, and on a pseudo-terminal as a person would.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
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
const std::string kProtected = "File is now protected by Kelvara";
const std::string kRestored = "File back to normal (no protection)";

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
  // Every file under site/ with its bytes, to show that nothing changed.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "site")) {
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

// The tool's answers and exit status, row by row. The rows run in order on
// one tree: a page that one row protects, a later one restores.
TEST_F(CliProcessTest, AnswersAndExitStatus) {
  Put("site/a.htm", kPlain);
  Put("site/b/c.HTML", kPlain);
  Put("site/old.htm.bak", kPlain);
  fs::create_symlink("a.htm", root / "site/link.htm");
  fs::create_hard_link(root / "site/a.htm", root / "hard.htm");
  Put("headless.htm", "<html><body>x</body></html>");
  Put("plain.htm", kPlain);
  Put("empty/readme.txt", "x");
  std::string many;
  for (int i = 100; i < 125; ++i) {
    Put("many/p" + std::to_string(i) + ".htm", kPlain);
    many += "many/p" + std::to_string(i) + ".htm: " + kProtected + "\n";
  }
  // A name with a line break in it, and a link that leads back up the tree.
  Put("odd/new\nline.htm", kPlain);
  fs::create_directory_symlink("..", root / "odd/up");
  // A tree deeper than a path can name: the first entry past the limit is
  // reported, and the page at the bottom is out of reach.
  const std::string name(200, 'd');
  std::string beyond = "deep";
  fs::create_directory(root / beyond);
  int folder = ::open((root / beyond).c_str(), O_DIRECTORY);
  for (; beyond.size() < PATH_MAX; beyond += "/" + name) {
    ::mkdirat(folder, name.c_str(), 0755);
    const int inner = ::openat(folder, name.c_str(), O_DIRECTORY);
    ::close(folder);
    folder = inner;
  }
  ::close(::openat(folder, "x.htm", O_WRONLY | O_CREAT, 0644));
  ::close(folder);

  const std::string pw = "pw\n";
  const std::string tooLong = "the password on standard input is longer than 4096 bytes";
  auto usage = [](const std::string& message) {
    return "kelvara-cli: " + message + "\n" + kUsageLine + "Try 'kelvara-cli --help'.\n";
  };
  const struct {
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    std::string out;
    std::string err;
  } rows[] = {
      // clang-format off
      {{"--password-stdin", "--protet", "site"}, pw, 2, "",
       usage("unknown option '--protet'; did you mean '--protect'?")},
      {{"--restor", "site"}, pw, 2, "", usage("unknown option '--restor'; did you mean '--restore'?")},
      {{"site", "--password-stdn"}, pw, 2, "",
       usage("unknown option '--password-stdn'; did you mean '--password-stdin'?")},
      {{"--password-stdin", "--protect", "--restore", "site"}, pw, 2, "",
       usage("--protect and --restore cannot be used together")},
      {{"--password-stdin"}, pw, 2, "", usage("no PATH given")},
      {{"--password-stdin", "site", "missing.htm"}, pw, 2, "", usage("missing.htm: no such file or folder")},
      {{"--password-stdin", "site"}, "", 2, "", usage("no password on standard input")},
      // With no terminal the tool must not wait, not even with input at hand.
      {{"site"}, pw, 2, "", usage("no terminal to ask the password on; use --password-stdin")},
      {{"--password-stdin", "site"}, "\xE5\xAF\x86\n", 2, "",
       usage("the password holds U+5BC6 (\xE5\xAF\x86), a character that Windows-1252 lacks")},
      {{"--password-stdin", "site"}, std::string(4097, 'x') + "\n", 2, "", usage(tooLong)},
      {{"--password-stdin", "site"}, "</dev/zero", 2, "", usage(tooLong)},
      {{"--password-stdin", "empty"}, pw, 1, "", "kelvara-cli: no .htm or .html pages found\n"},
      {{"--version"}, "", 0, "kelvara-cli " KELVARA_VERSION "\n", ""},
      // A page named many ways is run once: its identity is taken before its
      // rewrite gives it a new one.
      {{"--password-stdin", "site/a.htm", "./site/a.htm", "site//a.htm", "site/../site/a.htm", "site",
        "hard.htm", "site/link.htm"}, pw, 0,
       "site/a.htm: " + kProtected + "\nsite/b/c.HTML: " + kProtected + "\n",
       "2 protected, 0 restored, 0 refused\n"},
      // One page has no summary.
      {{"--password-stdin", "--protect", "site/a.htm"}, pw, 1,
       "site/a.htm: File is already protected by Kelvara.\n", ""},
      // The backups beside the pages are no pages.
      {{"--password-stdin", "--restore", "site/", "plain.htm"}, "pw\r\n", 1,
       "site/a.htm: " + kRestored + "\nsite/b/c.HTML: " + kRestored +
       "\nplain.htm: File is not protected by Kelvara.\n",
       "0 protected, 2 restored, 1 refused\n"},
      {{"--password-stdin", "site", "headless.htm"}, pw, 1,
       "site/a.htm: " + kProtected + "\nsite/b/c.HTML: " + kProtected +
       "\nheadless.htm: <HEAD> </HEAD> tags missing.\n",
       "2 protected, 0 restored, 1 refused\n"},
      // No progress counter without a terminal.
      {{"--password-stdin", "many"}, pw, 0, many, "25 protected, 0 restored, 0 refused\n"},
      {{"--password-stdin", "odd", "deep"}, pw, 1,
       "odd/new\\nline.htm: " + kProtected + "\n" + beyond + ": Path too long; left alone.\n",
       "1 protected, 0 restored, 1 refused\n"},
      // clang-format on
  };
  const auto before = Snapshot();
  for (const auto& row : rows) {
    const Result result = Run(row.args, row.input);
    const std::string what = row.args.back() + " " + std::to_string(row.input.size());
    EXPECT_FALSE(result.timedOut) << what;
    EXPECT_EQ(result.exitCode, row.exitCode) << what;
    EXPECT_EQ(result.out, row.out) << what;
    EXPECT_EQ(result.err, row.err) << what;
    if (row.exitCode == 2) {
      EXPECT_EQ(Snapshot(), before) << what;
    }
  }
  const Result help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind(kUsageLine, 0), 0u);
  EXPECT_NE(help.out.find("(at most 4096 bytes)"), std::string::npos);
}

// Not UTF-8, a password is used byte for byte, blanks at either end
// included; UTF-8 becomes Windows-1252. An empty one protects nothing.
TEST_F(CliProcessTest, PasswordsAreTakenAsBytesOrAsWindows1252) {
  Put("a.htm", kPlain);
  EXPECT_EQ(RunWith("\n", {"a.htm"}).out, "a.htm: Empty password; file unchanged.\n");
  EXPECT_EQ(Get("a.htm"), kPlain);
  const std::pair<std::string, std::string> rows[] = {
      {" two words \xE9\xFF\x80 \n", " two words \xE9\xFF\x80 "},
      {"gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\n", "gr\xFC\xDF \x80"},  // "grüß €"
  };
  for (const auto& [line, key] : rows) {
    Put("a.htm", kPlain);
    ASSERT_EQ(RunWith(line, {"a.htm"}).exitCode, 0) << key;
    EXPECT_NE(Get("a.htm").find("VetrakSetTitle(\"" + PageCipher(key).EncodeHex("Home") + "\");"),
              std::string::npos)
        << key;
    EXPECT_EQ(RunWith(line, {"a.htm"}).out, "a.htm: " + kRestored + "\n") << key;
    EXPECT_NE(Get("a.htm").find("Hello, world"), std::string::npos) << key;
  }
}

// Protected copies go to another folder as the pages lie under the folder
// named; the pages themselves stay as they were and no backups are made.
// Restoring the copies to a third folder gives the plain pages back.
TEST_F(CliProcessTest, OutputGoesToAnotherFolderAndLeavesTheSourcesAlone) {
  Put("site/a.htm", kPlain);
  Put("site/sub/b.html", kPlain);
  Put("site/notes.txt", "not a page");
  const auto sources = Snapshot();
  Result result = RunWith("pw\n", {"--output", "public", "site"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "site/a.htm: " + kProtected + "\nsite/sub/b.html: " + kProtected + "\n");
  EXPECT_EQ(Snapshot(), sources);
  EXPECT_TRUE(IsProtected("public/a.htm") && IsProtected("public/sub/b.html"));
  result = RunWith("pw\n", {"--output=back", "public"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(Get("back/sub/b.html").find("Hello, world"), std::string::npos);
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    files += entry.is_regular_file();
    EXPECT_EQ(entry.path().string().find(".original"), std::string::npos) << entry.path();
    EXPECT_EQ(entry.path().string().find(".protected"), std::string::npos) << entry.path();
  }
  EXPECT_EQ(files, 7u);  // three sources, two protected copies, two restored ones

  // An output folder inside the folder read, or an output that is the page itself.
  result = RunWith("pw\n", {"--output", "site/out", "site"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out.find("site/a.htm: Output folder lies inside a folder being read"), 0u);
  result = RunWith("pw\n", {"--output", "site", "site/a.htm"});
  EXPECT_EQ(result.out, "site/a.htm: Output would replace the page itself; file unchanged.\n");
  EXPECT_EQ(Snapshot(), sources);
}

class CliTerminalTest : public CliProcessTest {};

// Each typed entry answers the next prompt; the prompts reach the terminal
// itself, standard error being a file. The rows run in order on one tree.
TEST_F(CliTerminalTest, AsksOnceToRestoreTwiceToProtectAndAgainAfterAMismatch) {
  Put("a.htm", kPlain);
  Put("b.htm", kPlain);
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> typed;
    std::size_t repeats;  // how many of the prompts ask to repeat the password
    int exitCode;
    std::string shown;
    std::string key;  // a.htm's password afterwards, when protected
  } rows[] = {
      // clang-format off
      {{"a.htm"}, {"hidden words", "hidden words"}, 1, 0, "a.htm: " + kProtected, "hidden words"},
      {{"a.htm"}, {"hidden words"}, 0, 0, "a.htm: " + kRestored, ""},
      {{"--protect", "a.htm"}, {"first", "First", "s3cret", "s3cret"}, 2, 0,
       "The passwords differ; try again.", "s3cret"},
      // One page is protected, the other is not.
      {{"a.htm", "b.htm"}, {"1st", "2nd", "3rd", "4th", "5th", "6th"}, 3, 2,
       "kelvara-cli: the passwords differ; nothing was changed", "s3cret"},
      {{"--restore", "b.htm", "a.htm"}, {"s3cret"}, 0, 1, "a.htm: " + kRestored, ""},
      // clang-format on
  };
  for (const auto& row : rows) {
    PtySession session(row.args, root, {}, {}, root / "err.txt");
    ASSERT_TRUE(session.Started());
    for (const std::string& entry : row.typed) {
      ASSERT_TRUE(session.WaitFor("assword: ")) << session.seen;
      session.Type(entry + "\r");
    }
    const Result result = session.Finish();
    const std::string err = Get("err.txt");
    auto count = [&](std::string_view text) {
      std::size_t n = 0;
      for (std::size_t at = 0; (at = result.out.find(text, at)) != std::string::npos; ++at) ++n;
      return n;
    };
    EXPECT_EQ(err.find("assword: "), std::string::npos) << err;
    EXPECT_EQ(result.exitCode, row.exitCode) << result.out;
    EXPECT_EQ(count("Password: "), row.typed.size() - row.repeats) << result.out;
    EXPECT_EQ(count("Repeat password: "), row.repeats) << result.out;
    EXPECT_NE((result.out + err).find(row.shown), std::string::npos) << result.out << err;
    for (const std::string& entry : row.typed) EXPECT_EQ(count(entry), 0u) << "echoed " << entry;
    EXPECT_TRUE(session.EchoIsOn());
    if (!row.key.empty()) {
      EXPECT_NE(Get("a.htm").find("VetrakSetTitle(\"" + PageCipher(row.key).EncodeHex("Home")),
                std::string::npos);
    }
  }
  EXPECT_EQ(Get("b.htm"), kPlain);
  EXPECT_FALSE(fs::exists(root / "b.htm.original"));
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
  // The counter is erased before the summary.
  EXPECT_TRUE(result.out.ends_with("\r25 protected, 0 restored, 0 refused\r\n")) << result.out;
  const std::string out = Get("out.txt");
  EXPECT_EQ(out.find('\r'), std::string::npos);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 25);
  EXPECT_NE(out.find("many/p124.htm: File is now protected by Kelvara\n"), std::string::npos);
}

}  // namespace
}  // namespace kelvara
