#pragma once

// The Windows dialog. Only the *_win32.cpp files include this header.
#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/run_state.h"

namespace kelvara {

// Opens the maker's web site with the shell; its outcome is not looked at.
void OpenWebSite();

// Everything the dialog keeps while it lives. The GUI thread owns it; the
// worker reaches it only through Win32MainDialog.
struct DialogContext {
  HINSTANCE instance = nullptr;
  RunState state;
  std::string commandLineTail;
  // A click on the image or the dialog's surface; tests count here.
  std::function<void()> openWebSite = OpenWebSite;

  HWND dialog = nullptr;
  UINT_PTR bounceTimer = 0;
  int bouncePhase = 0;
  HFONT labelFont = nullptr;
  HFONT fieldFont = nullptr;

  // The labels' colours are set by the worker and read when the GUI thread paints.
  struct LabelColours {
    COLORREF text;
    COLORREF background;
    HBRUSH brush;
  };
  std::mutex coloursMutex;
  std::map<int, LabelColours> labelColours;
  std::map<COLORREF, HBRUSH> brushes;  // one per background colour, freed with the dialog
  HBRUSH dialogBrush = nullptr;

  ~DialogContext();
  HBRUSH BrushFor(COLORREF colour);  // with coloursMutex held
};

// The dialog as the run flow drives it, from the worker thread.
class Win32MainDialog final : public MainDialog {
 public:
  explicit Win32MainDialog(DialogContext& context) : context_(context) {}
  void SetControlText(ControlId control, std::string_view text) override;
  void SetLabelColours(ControlId label, Colour text, Colour background) override;
  void DisableControl(ControlId control) override;
  void Repaint() override;
  std::string ChooseFile() override;

 private:
  DialogContext& context_;
};

// Builds the dialog hidden, with its controls, fonts, colours and icons.
// MainDialogProc is installed only once the dialog is built, so the init
// message that creation sends by itself starts nothing.
HWND BuildMainDialog(DialogContext& context);

// Delivers the init message, shows the dialog and runs its messages until
// the dialog is destroyed.
void RunModal(HWND dialog);

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kelvara
