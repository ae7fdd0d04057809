#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvara::cli {

// The tool's standard streams and terminal, as the run sees them. One real
// implementation per platform and a scripted fake for tests.
class Console {
 public:
  virtual ~Console() = default;

  // True when standard input is an interactive terminal the password can be asked on.
  virtual bool InputIsTerminal() = 0;
  virtual bool ErrorIsTerminal() = 0;
  // Up to `size` bytes of standard input, taken raw; how many, 0 at its end.
  virtual std::size_t ReadInput(char* buffer, std::size_t size) = 0;
  // Shows `prompt` and reads one line from the terminal without showing what
  // is typed; the terminal's echo is back on afterwards, also when the
  // process is interrupted meanwhile. False when the input ends before a line.
  virtual bool AskHidden(std::string_view prompt, std::string& entry) = 0;
  virtual void Out(std::string_view text) = 0;
  virtual void Err(std::string_view text) = 0;
  // Pushes out what Out() buffered; false when standard output could not take it.
  virtual bool FlushOut() = 0;
  // From Defer to Allow, an interruption (Ctrl+C, a request to end the
  // process) only waits; Allow then ends the process as that interruption
  // would have, if one came. Prompts are never deferred.
  virtual void DeferInterruptions() = 0;
  virtual void AllowInterruptions() = 0;
};

class RealConsole final : public Console {
 public:
  RealConsole();
  bool InputIsTerminal() override;
  bool ErrorIsTerminal() override;
  std::size_t ReadInput(char* buffer, std::size_t size) override;
  bool AskHidden(std::string_view prompt, std::string& entry) override;
  void Out(std::string_view text) override;
  void Err(std::string_view text) override;
  bool FlushOut() override;
  void DeferInterruptions() override;
  void AllowInterruptions() override;
};

}  // namespace kelvara::cli
