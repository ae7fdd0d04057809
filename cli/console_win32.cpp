#include <windows.h>

#include <cstdio>

#include "cli/console.h"

namespace kelvara::cli {
namespace {

// The console mode to put back if Ctrl+C or a closed console window ends the
// process while the echo is off; only the handler and AskHidden touch them.
HANDLE inputHandle = INVALID_HANDLE_VALUE;
DWORD savedMode = 0;
volatile LONG echoIsOff = 0;

BOOL WINAPI RestoreEcho(DWORD) {
  if (InterlockedCompareExchange(&echoIsOff, 0, 1) == 1) SetConsoleMode(inputHandle, savedMode);
  return FALSE;  // the default handler still ends the process
}

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

void WriteError(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

// The console hands out UTF-16; UTF-8 is what the password conversion reads
// as characters, so every character typed reaches it whatever the console's
// code page.
std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size,
                        nullptr, nullptr);
  }
  return bytes;
}

}  // namespace

RealConsole::RealConsole() {
  inputHandle = GetStdHandle(STD_INPUT_HANDLE);
}

bool RealConsole::InputIsTerminal() {
  return IsConsole(STD_INPUT_HANDLE);
}

bool RealConsole::ErrorIsTerminal() {
  return IsConsole(STD_ERROR_HANDLE);
}

bool RealConsole::ReadInputByte(char& byte) {
  // Straight from the handle: the C runtime's text mode would turn CR LF
  // into LF and stop at a byte 0x1A, both of which may be in a password.
  DWORD got = 0;
  return ReadFile(inputHandle, &byte, 1, &got, nullptr) != 0 && got == 1;
}

bool RealConsole::AskHidden(std::string_view prompt, std::string& entry) {
  entry.clear();
  if (GetConsoleMode(inputHandle, &savedMode) == 0) return false;
  SetConsoleCtrlHandler(RestoreEcho, TRUE);
  InterlockedExchange(&echoIsOff, 1);
  SetConsoleMode(inputHandle, (savedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) |
                                  ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
  WriteError(prompt);

  std::wstring typed;
  bool ended = false;
  wchar_t buffer[256];
  while (!ended) {
    DWORD got = 0;
    if (!ReadConsoleW(inputHandle, buffer, static_cast<DWORD>(std::size(buffer)), &got, nullptr) ||
        got == 0) {
      break;
    }
    typed.append(buffer, got);
    ended = typed.back() == L'\n';
  }
  const bool any = !typed.empty();
  if (ended) typed.pop_back();
  if (ended && !typed.empty() && typed.back() == L'\r') typed.pop_back();
  entry = ToUtf8(typed);

  if (InterlockedCompareExchange(&echoIsOff, 0, 1) == 1) SetConsoleMode(inputHandle, savedMode);
  SetConsoleCtrlHandler(RestoreEcho, FALSE);
  WriteError("\n");
  return any;
}

void RealConsole::Out(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void RealConsole::Err(std::string_view text) {
  WriteError(text);
}

bool RealConsole::FlushOut() {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

}  // namespace kelvara::cli
