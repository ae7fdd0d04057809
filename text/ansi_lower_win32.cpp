#include <windows.h>

#include "text/text.h"

namespace kelvara {

// Only the 256-byte table of every byte's lower case is ever lowered here.
void LowerAnsiInPlace(char* data, std::size_t size) {
  CharLowerBuffA(data, static_cast<DWORD>(size));
}

}  // namespace kelvara
