#include "text/text.h"
#include "text/windows1252.h"

namespace kelvara {

// The byte strings that pages and the system share are Windows-1252 here.
void LowerAnsiInPlace(char* data, std::size_t size) {
  LowerWindows1252InPlace(data, size);
}

std::string AnsiToUtf8(std::string_view text) {
  return AsUtf8(text);
}

}  // namespace kelvara
