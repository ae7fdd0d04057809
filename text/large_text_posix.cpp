#include <sys/mman.h>

#include <cstdint>

#include "text/large_text.h"

namespace kelvara {

void ReserveLargeText(std::string& text, std::size_t size) {
  text.reserve(size);
#ifdef MADV_HUGEPAGE
  // Only whole large pages inside the room can be backed; the advice is a
  // hint, and where it is refused the text simply stays on small pages.
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(text.data());
  const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t last = (begin + text.capacity()) & ~(kLargePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace kelvara
