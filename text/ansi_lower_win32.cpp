#include <windows.h>

#include <algorithm>

#include "text/text.h"

namespace kelvara {

void LowerAnsiInPlace(char* data, std::size_t size) {
  // CharLowerBuffA counts in DWORDs; very large texts go in slices.
  constexpr std::size_t kSlice = std::size_t{1} << 30;
  while (size > 0) {
    const std::size_t slice = std::min(size, kSlice);
    CharLowerBuffA(data, static_cast<DWORD>(slice));
    data += slice;
    size -= slice;
  }
}

}  // namespace kelvara
