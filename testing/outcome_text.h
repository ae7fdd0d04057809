#pragma once

#include <ostream>
#include <string>

#include "format/outcome.h"

namespace kelvara {

// An outcome as the tests compare it: empty when the page went through,
// otherwise the reason shown for refusing it.
inline std::string Said(Outcome outcome) {
  return outcome.Refused() ? std::string(outcome.Text()) : std::string();
}

// How GoogleTest shows an outcome in a failure.
inline void PrintTo(const Outcome& outcome, std::ostream* out) {
  *out << (outcome.Code() == OutcomeCode::Done ? std::string_view("(done)") : outcome.Text());
}

}  // namespace kelvara
