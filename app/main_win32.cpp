// windows.h first: the other system headers build on it.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/command_tail.h"
#include "app/main_dialog_win32.h"

namespace {

// The common control classes the program asks for at start-up.
constexpr DWORD kCommonControlClasses = 0x706F;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // No system boxes about drives or files: the status line is the one way
  // the user learns about a page.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const HRESULT com = CoInitialize(nullptr);

  // Kept alive until the process ends, since a worker still waiting for a
  // password goes on using it until then.
  auto* context = new kelvara::DialogContext;
  context->instance = instance;
  context->commandLineTail = std::string(kelvara::CommandLineTail(GetCommandLineA()));

  INITCOMMONCONTROLSEX controls{sizeof(controls), kCommonControlClasses};
  InitCommonControlsEx(&controls);

  if (HWND dialog = kelvara::BuildMainDialog(*context)) kelvara::RunModal(dialog);

  if (SUCCEEDED(com)) CoUninitialize();
  // Ends a worker that is still waiting for a password along with the
  // process; one that is rewriting the page has been waited for by the dialog.
  ExitProcess(0);
}
