#include "cli/progress.h"

#include <utility>

#include "cli/cli_texts.h"

namespace kelvara::cli {

ProgressCounter::ProgressCounter(std::size_t total, bool errorIsTerminal,
                                 std::function<void(std::string_view)> write)
    : total_(total),
      shown_(errorIsTerminal && total > kProgressThreshold),
      write_(std::move(write)) {}

void ProgressCounter::Show(std::size_t done) {
  if (!shown_) return;
  std::string line = "\r";
  line.append(kProgramName).append(": ");
  line.append(std::to_string(done))
      .append("/")
      .append(std::to_string(total_))
      .append(kPagesCounted);
  drawnWidth_ = line.size() - 1;
  write_(line);
}

void ProgressCounter::Erase() {
  if (!shown_ || drawnWidth_ == 0) return;
  // Blanks rather than an escape sequence: every console understands them.
  std::string line = "\r";
  line.append(drawnWidth_, ' ').append("\r");
  drawnWidth_ = 0;
  write_(line);
}

}  // namespace kelvara::cli
