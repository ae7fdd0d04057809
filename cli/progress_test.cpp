#include "cli/progress.h"

#include <gtest/gtest.h>

namespace kelvara::cli {
namespace {

TEST(ProgressCounter, OverwritesItselfAndErasesToAnEmptyLine) {
  std::string written;
  ProgressCounter progress(120, true, [&](std::string_view text) { written.append(text); });
  ASSERT_TRUE(progress.Shown());
  progress.Show(9);
  progress.Show(10);
  EXPECT_EQ(written, "\rkelvara-cli: 9/120 pages\rkelvara-cli: 10/120 pages");
  written.clear();
  progress.Erase();
  // Blanks over the counter as last drawn, then back to the line's start.
  EXPECT_EQ(written, "\r" + std::string(25, ' ') + "\r");
  written.clear();
  progress.Erase();
  EXPECT_EQ(written, "");  // nothing drawn, nothing to erase
}

TEST(ProgressCounter, SilentForSmallBatchesAndWithoutATerminal) {
  std::string written;
  auto write = [&](std::string_view text) { written.append(text); };
  for (ProgressCounter progress :
       {ProgressCounter(20, true, write), ProgressCounter(21, false, write)}) {
    EXPECT_FALSE(progress.Shown());
    progress.Show(3);
    progress.Erase();
  }
  EXPECT_EQ(written, "");
  EXPECT_TRUE(ProgressCounter(21, true, write).Shown());
}

}  // namespace
}  // namespace kelvara::cli
