#include <windows.h>

#include <algorithm>
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

// Ctrl+C, Ctrl+Break or the console closing while pages are rewritten: the
// page in hand is finished, and the process then ends as the interruption
// would have ended it.
volatile LONG interrupted = 0;

BOOL WINAPI DeferInterruption(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  InterlockedExchange(&interrupted, 1);
  return TRUE;
}

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// Text for a console goes as characters: its bytes are UTF-8 (names in any
// script), which the console would read in its own code page. Text for a
// file or a pipe goes as it is.
bool WriteToConsole(DWORD which, std::string_view text) {
  if (!IsConsole(which)) return false;
  const int length = static_cast<int>(text.size());
  std::wstring wide(static_cast<std::size_t>(std::max(
                        0, MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0))),
                    L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
  DWORD written = 0;
  return WriteConsoleW(GetStdHandle(which), wide.data(), static_cast<DWORD>(wide.size()), &written,
                       nullptr) != 0;
}

void WriteError(std::string_view text) {
  if (WriteToConsole(STD_ERROR_HANDLE, text)) return;
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

// Prompts go to the console itself, so that they are seen even when
// standard error is redirected; standard error serves when there is none.
void WritePrompt(std::string_view text) {
  const HANDLE console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) {
    WriteError(text);
    return;
  }
  std::fflush(stderr);
  DWORD written = 0;
  WriteFile(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(console);
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

// One line typed on the console, up to and with its line feed; empty at the end.
std::wstring ReadConsoleLine() {
  std::wstring typed;
  wchar_t buffer[256];
  while (typed.empty() || typed.back() != L'\n') {
    DWORD got = 0;
    if (!ReadConsoleW(inputHandle, buffer, static_cast<DWORD>(std::size(buffer)), &got, nullptr) ||
        got == 0) {
      break;
    }
    typed.append(buffer, got);
  }
  return typed;
}

// What a console has typed but the reader has not taken yet, as UTF-8.
std::string consoleInput;
std::size_t consoleInputTaken = 0;

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

std::size_t RealConsole::ReadInput(char* buffer, std::size_t size) {
  if (InputIsTerminal()) {
    // ReadFile would give the console's OEM code page; as characters, the
    // line is converted like a password asked for on the console.
    if (consoleInputTaken == consoleInput.size()) {
      consoleInput = ToUtf8(ReadConsoleLine());
      consoleInputTaken = 0;
    }
    const std::size_t taken = std::min(size, consoleInput.size() - consoleInputTaken);
    consoleInput.copy(buffer, taken, consoleInputTaken);
    consoleInputTaken += taken;
    return taken;
  }
  // Straight from the handle: the C runtime's text mode would turn CR LF
  // into LF and stop at a byte 0x1A, both of which may be in a password.
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 16));
  return ReadFile(inputHandle, buffer, wanted, &got, nullptr) != 0 ? got : 0;
}

bool RealConsole::AskHidden(std::string_view prompt, std::string& entry) {
  entry.clear();
  if (GetConsoleMode(inputHandle, &savedMode) == 0) return false;
  SetConsoleCtrlHandler(RestoreEcho, TRUE);
  InterlockedExchange(&echoIsOff, 1);
  SetConsoleMode(inputHandle, (savedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) |
                                  ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT);
  WritePrompt(prompt);

  std::wstring typed = ReadConsoleLine();
  const bool ended = !typed.empty() && typed.back() == L'\n';
  const bool any = !typed.empty();
  if (ended) typed.pop_back();
  if (ended && !typed.empty() && typed.back() == L'\r') typed.pop_back();
  entry = ToUtf8(typed);

  if (InterlockedCompareExchange(&echoIsOff, 0, 1) == 1) SetConsoleMode(inputHandle, savedMode);
  SetConsoleCtrlHandler(RestoreEcho, FALSE);
  WritePrompt("\n");
  return any;
}

void RealConsole::Out(std::string_view text) {
  if (!WriteToConsole(STD_OUTPUT_HANDLE, text)) std::fwrite(text.data(), 1, text.size(), stdout);
}

void RealConsole::Err(std::string_view text) {
  WriteError(text);
}

bool RealConsole::FlushOut() {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

void RealConsole::DeferInterruptions() {
  // Taken once the password is in, so that Ctrl+C at its prompt still ends
  // the run at once; kept from then on, also between pages, so that no
  // interruption slips past while the next page begins.
  static const bool installed = SetConsoleCtrlHandler(DeferInterruption, TRUE) != 0;
  (void)installed;
  AllowInterruptions();
}

void RealConsole::AllowInterruptions() {
  if (InterlockedCompareExchange(&interrupted, 0, 0) == 0) return;
  std::fflush(stdout);
  std::fflush(stderr);
  ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

}  // namespace kelvara::cli
