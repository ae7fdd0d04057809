#include <windows.h>

#include <string>

#include "text/text.h"
#include "text/windows1252.h"

namespace kelvara {

// Only the 256-byte table of every byte's lower case is ever lowered here.
// Where the process's byte strings are UTF-8 (kelvara-cli asks for that, so
// that names in any script reach the system), CharLowerBuffA would read the
// table's high bytes as broken UTF-8: they are lowered as on other systems.
void LowerAnsiInPlace(char* data, std::size_t size) {
  if (GetACP() == CP_UTF8) return LowerWindows1252InPlace(data, size);
  CharLowerBuffA(data, static_cast<DWORD>(size));
}

std::string AnsiToUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring characters(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, characters.data(), wide);
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, characters.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, characters.data(), wide, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

}  // namespace kelvara
