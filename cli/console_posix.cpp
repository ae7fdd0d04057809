#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli/console.h"

namespace kelvara::cli {
namespace {

// The terminal settings to put back if a signal ends the process while the
// echo is off; only the handlers and AskHidden touch them.
struct termios savedTerminal;
volatile sig_atomic_t echoIsOff = 0;
// Where the prompts go: the terminal itself, so that they are seen even when
// standard error is redirected; standard error when there is none.
volatile sig_atomic_t promptFd = STDERR_FILENO;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RestoreEchoAndDie(int signalNumber) {
  if (echoIsOff) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    // The Enter that was never typed: the shell's prompt starts on a line of its own.
    (void)!::write(promptFd, "\n", 1);
  }
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

bool ReadByte(char& byte) {
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got == 1) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

}  // namespace

RealConsole::RealConsole() = default;

bool RealConsole::InputIsTerminal() {
  return ::isatty(STDIN_FILENO) == 1;
}

bool RealConsole::ErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

std::size_t RealConsole::ReadInput(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

bool RealConsole::AskHidden(std::string_view prompt, std::string& entry) {
  entry.clear();
  struct termios quiet {};
  if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return false;
  quiet = savedTerminal;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);

  struct sigaction restore {};
  restore.sa_handler = RestoreEchoAndDie;
  sigemptyset(&restore.sa_mask);
  struct sigaction previous[std::size(kEndingSignals)]{};
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    ::sigaction(kEndingSignals[i], &restore, &previous[i]);
  }
  echoIsOff = 1;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);

  const int terminal = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  promptFd = terminal >= 0 ? terminal : STDERR_FILENO;
  std::fflush(stderr);
  WriteAll(promptFd, prompt);
  char byte = 0;
  bool any = false;
  bool ended = false;
  while (ReadByte(byte)) {
    any = true;
    if (byte == '\n') {
      ended = true;
      break;
    }
    entry.push_back(byte);
  }
  if (ended && !entry.empty() && entry.back() == '\r') entry.pop_back();

  ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  echoIsOff = 0;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    ::sigaction(kEndingSignals[i], &previous[i], nullptr);
  }
  WriteAll(promptFd, "\n");
  promptFd = STDERR_FILENO;
  if (terminal >= 0) ::close(terminal);
  return any;
}

void RealConsole::Out(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void RealConsole::Err(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool RealConsole::FlushOut() {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

void RealConsole::DeferInterruptions() {
  sigset_t deferred;
  sigemptyset(&deferred);
  for (const int signalNumber : kEndingSignals) sigaddset(&deferred, signalNumber);
  ::sigprocmask(SIG_BLOCK, &deferred, nullptr);
}

// A signal that came meanwhile is delivered now, and ends the process in its
// usual way, with its usual status.
void RealConsole::AllowInterruptions() {
  sigset_t deferred;
  sigemptyset(&deferred);
  for (const int signalNumber : kEndingSignals) sigaddset(&deferred, signalNumber);
  ::sigprocmask(SIG_UNBLOCK, &deferred, nullptr);
}

}  // namespace kelvara::cli
