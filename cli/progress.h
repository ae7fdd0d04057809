#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kelvara::cli {

// Batches longer than this show a page counter while they run.
inline constexpr std::size_t kProgressThreshold = 20;

// A counter on one line of the terminal that overwrites itself. It is drawn
// on standard error only, and erased before each line of standard output,
// which may well be the same terminal, so the two never share a line.
class ProgressCounter {
 public:
  // `shown` is false when standard error is no terminal: the counter then writes nothing.
  ProgressCounter(std::size_t total, bool errorIsTerminal,
                  std::function<void(std::string_view)> write);

  bool Shown() const { return shown_; }
  // Draws the count of pages done so far.
  void Show(std::size_t done);
  // Removes the counter, leaving the cursor at the start of an empty line.
  void Erase();

 private:
  std::size_t total_;
  bool shown_;
  std::function<void(std::string_view)> write_;
  std::size_t drawnWidth_ = 0;
};

}  // namespace kelvara::cli
