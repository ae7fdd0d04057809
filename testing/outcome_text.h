#pragma once

#include <string>

#include "format/outcome.h"
#include "format/texts.h"

namespace kelvara {

// An outcome as the tests compare it: empty when the page went through,
// otherwise the reason shown for refusing it.
inline std::string Said(Outcome outcome) {
  return outcome.Refused() ? std::string(outcome.Text()) : std::string();
}

}  // namespace kelvara
