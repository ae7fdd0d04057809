#include "text/large_text.h"

namespace kelvara {

// Large pages on Windows need a privilege that ordinary users lack.
void ReserveLargeText(std::string& text, std::size_t size) {
  text.reserve(size);
}

}  // namespace kelvara
