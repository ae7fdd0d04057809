#include "app/dialog_events.h"

#include <cmath>
#include <numbers>
#include <string>

#include "app/main_dialog.h"

namespace kelvara {
namespace {

// The image's top edge at a phase of the bounce: 100 at the bottom, 0 at the
// top, slow near the top and fastest at the bottom, like a ball.
int BounceTop(int phase) {
  const double y = kBounceHeight * (1.0 - std::sin(phase * std::numbers::pi / kBounceSteps));
  // The default rounding mode rounds halves to even.
  return static_cast<int>(std::nearbyint(y));
}

}  // namespace

std::string DialogCaption() {
  std::string caption(kCaptionName);
  caption.append(" [").append(kAuthorCredit).append("]");
  return caption;
}

TimerTick TimerStep(int& bouncePhase, RunState& state) {
  bouncePhase = (bouncePhase + 1) % kBounceSteps;
  return {BounceTop(bouncePhase), state.DialogShouldEnd()};
}

}  // namespace kelvara
