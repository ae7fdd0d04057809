#include "app/dialog_events.h"

#include <gtest/gtest.h>

namespace kelvara {
namespace {

TEST(TimerStep, BouncesAndEndsTheDialogOnlyAfterRunFinished) {
  RunState state;
  int phase = 0;
  int tops[64] = {};  // by phase; the first step already moves, to phase 1
  for (int step = 0; step < 64; ++step) {
    const TimerTick tick = TimerStep(phase, state);
    tops[phase] = tick.imageTop;
    EXPECT_FALSE(tick.endDialog);
  }
  const std::pair<int, int> expected[] = {{0, 100}, {1, 95}, {2, 90},  {4, 80},  {8, 62},
                                          {16, 29}, {24, 8}, {29, 1},  {30, 0},  {34, 0},
                                          {35, 1},  {40, 8}, {48, 29}, {56, 62}, {63, 95}};
  for (const auto& [at, top] : expected) EXPECT_EQ(tops[at], top) << "phase " << at;
  state.SetWorkerStatus(WorkerStatus::RunFailed);
  EXPECT_FALSE(TimerStep(phase, state).endDialog);
  state.SetWorkerStatus(WorkerStatus::RunFinished);
  EXPECT_TRUE(TimerStep(phase, state).endDialog);
}

}  // namespace
}  // namespace kelvara
