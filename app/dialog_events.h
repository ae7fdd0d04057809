#pragma once

#include <string_view>

#include "app/run_state.h"

// What the dialog's events do, apart from the window calls that carry it out.
namespace kelvara {

inline constexpr unsigned kBounceTimerId = 1424;
inline constexpr unsigned kBounceTimerPeriodMs = 10;
inline constexpr int kBounceSteps = 64;
inline constexpr int kBounceHeight = 100;
inline constexpr int kImageLeft = 3;

struct TimerTick {
  int imageTop;
  bool endDialog;
};

// One step of the 10 ms timer: advances the bounce and tells whether the
// dialog is to end now.
TimerTick TimerStep(int& bouncePhase, RunState& state);

}  // namespace kelvara
