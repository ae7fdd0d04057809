// Replays testdata/terminal.txt, which says how: kelvara-cli on a
// pseudo-terminal, as a person runs it.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/scratch_folder.h"
#include "testing/table.h"

namespace kelvara {
namespace {

struct Case {
  std::string command;
  std::vector<std::string> typed;
  std::string shown;
  int status = 0;
};

class Terminal : public ScratchFolder {
 protected:
  // Runs the case on a terminal of its own; what the terminal showed, and the status.
  std::pair<std::string, int> Run(const Case& run) {
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0 && ::chdir(folder.c_str()) == 0)
      ::execl("/bin/sh", "sh", "-c", run.command.c_str(), nullptr);
    if (pid == 0) ::_exit(127);
    std::string seen;
    std::size_t prompts = 0;
    for (std::size_t typed = 0;;) {
      // Each entry is typed once the next prompt shows.
      const std::size_t prompt = seen.find("assword: ", prompts);
      if (typed < run.typed.size() && prompt != std::string::npos) {
        const std::string& keys = run.typed[typed++];
        (void)!::write(terminal, keys.data(), keys.size());
        prompts = prompt + 1;
      }
      pollfd ready{terminal, POLLIN, 0};
      char buffer[4096];
      const ssize_t got =
          ::poll(&ready, 1, 20000) == 1 ? ::read(terminal, buffer, sizeof buffer) : 0;
      if (got <= 0) break;
      seen.append(buffer, static_cast<std::size_t>(got));
    }
    termios settings{};
    EXPECT_TRUE(::tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0)
        << run.command;
    ::close(terminal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {seen, WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status)};
  }
};

TEST_F(Terminal, Transcript) {
  const std::string cli = KELVARA_CLI_PATH;
  ::setenv("PATH", (cli.substr(0, cli.rfind('/')) + ":" + ::getenv("PATH")).c_str(), 1);
  std::vector<Case> cases;
  for (const auto& row : TableRows("tests/cli/testdata/terminal.txt")) {
    const std::string text = row[0].substr(std::min<std::size_t>(row[0].size(), 2));
    if (row[0].starts_with("$ ")) cases.push_back({text, {}, {}});
    if (row[0].starts_with("< ")) cases.back().typed.push_back(text);
    if (row[0].starts_with("> ")) cases.back().shown += text;
    if (row[0].starts_with("[")) cases.back().status = std::stoi(row[0].substr(1));
  }
  for (const Case& run : cases) {
    EXPECT_EQ(Run(run), std::pair(run.shown, run.status)) << run.command;
  }
}

}  // namespace
}  // namespace kelvara
