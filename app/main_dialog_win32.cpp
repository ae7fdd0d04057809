// windows.h first: the other system headers build on it.
#include <windows.h>

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/dialog_events.h"
#include "app/main_dialog_win32.h"
#include "app/run_worker.h"
#include "files/real_file_system.h"

namespace kelvara {
namespace {

constexpr int kClientWidth = 350;
constexpr int kClientHeight = 164;
constexpr DWORD kDialogStyle =
    WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_3DLOOK | DS_NOFAILCREATE | DS_CENTER;
constexpr WORD kDialogFontPoints = 8;
constexpr wchar_t kDialogFontFace[] = L"MS Sans Serif";
constexpr char kLabelFontFace[] = "Verdana";
constexpr int kFontPoints = 10;
constexpr std::size_t kOpenResultSize = 1040;
constexpr int kOpenDialogOffset = 100;

COLORREF ToColorRef(Colour colour) {
  return RGB(colour.red, colour.green, colour.blue);
}

DialogContext* ContextOf(HWND dialog) {
  return reinterpret_cast<DialogContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// An extended dialog template with no controls, built in memory: the
// controls are made afterwards at pixel positions.
std::vector<WORD> DialogTemplate() {
  std::vector<WORD> words;
  auto put16 = [&](WORD w) { words.push_back(w); };
  auto put32 = [&](DWORD d) {
    put16(LOWORD(d));
    put16(HIWORD(d));
  };
  put16(1);       // version
  put16(0xFFFF);  // signature of the extended form
  put32(0);       // help id
  put32(0);       // extended style
  put32(kDialogStyle);
  put16(0);  // no controls
  // Position and size in dialog units; the window is sized in pixels later.
  for (WORD v : {0, 0, 234, 102}) put16(v);
  put16(0);  // no menu
  put16(0);  // the standard dialog class
  put16(0);  // no caption yet
  put16(kDialogFontPoints);
  put16(FW_NORMAL);
  put16(MAKEWORD(FALSE, DEFAULT_CHARSET));  // not italic, character set
  for (const wchar_t* c = kDialogFontFace; *c != 0; ++c) put16(static_cast<WORD>(*c));
  put16(0);
  return words;
}

// Creation sends WM_INITDIALOG before any control exists; it only keeps the
// context, and the real init comes from the modal run.
INT_PTR CALLBACK CreationProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  return FALSE;
}

void SizeAndCentre(HWND dialog) {
  // Measured rather than computed, so that any frame size gives the same client area.
  for (int attempt = 0; attempt < 2; ++attempt) {
    RECT window;
    RECT client;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    const int width = kClientWidth + (window.right - window.left) - client.right;
    const int height = kClientHeight + (window.bottom - window.top) - client.bottom;
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
      work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    const int left = static_cast<int>(std::floor((work.left + work.right - width) / 2.0));
    const int top = static_cast<int>(std::floor((work.top + work.bottom - height) / 2.0));
    SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(dialog, &client);
    if (client.right == kClientWidth && client.bottom == kClientHeight) break;
  }
}

// The controls keep their text in UTF-16, so that a password field holds
// what was typed: an ANSI field puts "?" in place of every character that
// the code page lacks as it is typed. The texts given here are ASCII.
HWND CreateControl(HWND dialog, ControlId id, std::string_view className, DWORD style,
                   DWORD exStyle, RECT place, std::string_view text) {
  const std::wstring wideClass(className.begin(), className.end());
  const std::wstring initial(text.begin(), text.end());
  HWND control = CreateWindowExW(
      exStyle, wideClass.c_str(), text.empty() ? nullptr : initial.c_str(), style, place.left,
      place.top, place.right, place.bottom, dialog,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ContextOf(dialog)->instance, nullptr);
  const LRESULT dialogFont = SendMessageA(dialog, WM_GETFONT, 0, 0);
  SendMessageA(control, WM_SETFONT, static_cast<WPARAM>(dialogFont), FALSE);
  return control;
}

HFONT CreateVerdana(HWND control, LONG weight) {
  LOGFONTA font{};
  HDC dc = GetDC(control);
  font.lfHeight = -MulDiv(kFontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(control, dc);
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  std::strcpy(font.lfFaceName, kLabelFontFace);
  return CreateFontIndirectA(&font);
}

void EndMainDialog(HWND dialog) {
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  DestroyWindow(dialog);
}

void OnTimer(HWND dialog, DialogContext& context) {
  const TimerTick tick = TimerStep(context.bouncePhase, context.state);
  SetWindowPos(GetDlgItem(dialog, ImageControl), nullptr, kImageLeft, tick.imageTop, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  if (tick.endDialog) EndMainDialog(dialog);
}

// A field's text in the system's code page, which the key is made from.
// False when it holds a character that the code page lacks: the system
// would put "?" in its place, and different passwords would make one key.
bool FieldText(HWND dialog, ControlId field, std::string& text) {
  HWND control = GetDlgItem(dialog, field);
  std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(control)), L'\0');
  if (!wide.empty()) {
    const int got = GetWindowTextW(control, wide.data(), static_cast<int>(wide.size()) + 1);
    wide.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
  }
  BOOL lossy = FALSE;
  const int length = static_cast<int>(wide.size());
  text.assign(static_cast<std::size_t>(
                  std::max(0, WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                                  nullptr, 0, nullptr, &lossy))),
              '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, text.data(),
                      static_cast<int>(text.size()), nullptr, &lossy);
  return !lossy;
}

// The fields start out holding prompts that the user replaces. Tab selects a
// prompt, so the first keystroke replaces it; a click would put the caret
// into it instead and the password would begin with the prompt. So while a
// field still shows its prompt, a click only focuses it and selects the
// prompt, and the edit control never sees the click (nor starts a drag
// selection that could shrink the selection again). Once the text is the
// user's own, clicks place the caret as usual.
LRESULT CALLBACK FieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
    const int id = GetDlgCtrlID(field);
    const std::string_view prompt =
        id == PasswordField ? kPasswordFieldInitial : kConfirmFieldInitial;
    std::string text;
    if (FieldText(GetParent(field), static_cast<ControlId>(id), text) && text == prompt) {
      SetFocus(field);
      SendMessageW(field, EM_SETSEL, 0, -1);
      return 0;
    }
  }
  const auto editProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(field, GWLP_USERDATA));
  return CallWindowProcW(editProc, field, message, wParam, lParam);
}

// Subclassed through the UTF-16 calls: through the ANSI ones, every
// keystroke would pass the code page on its way to the field.
void SelectPromptOnClick(HWND field) {
  SetWindowLongPtrW(field, GWLP_USERDATA, GetWindowLongPtrW(field, GWLP_WNDPROC));
  SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldProc));
}

void OnCommand(HWND dialog, DialogContext& context, WPARAM wParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (id == PasswordField || id == ConfirmField) {
    if (code == EN_KILLFOCUS) {
      HWND field = GetDlgItem(dialog, id);
      SendMessageW(field, EM_SETSEL, 0, GetWindowTextLengthW(field));
    } else if (code == EN_CHANGE) {
      std::string password;
      std::string confirm;
      const bool whole = FieldText(dialog, PasswordField, password);
      const bool wholeConfirm = FieldText(dialog, ConfirmField, confirm);
      // Published together, so the worker never pairs a match with a newer
      // password. A password that the code page cannot hold never matches.
      context.state.PublishPasswords(password, whole && wholeConfirm && password == confirm);
    }
  } else if (id == ImageControl && (code == STN_CLICKED || code == STN_DBLCLK)) {
    context.openWebSite();
  }
  // Everything else, IDOK and IDCANCEL from Enter and Esc among it, does nothing.
}

INT_PTR ControlColours(DialogContext& context, HDC dc, HWND control) {
  std::lock_guard lock(context.coloursMutex);
  const auto colours = context.labelColours.find(GetDlgCtrlID(control));
  if (colours == context.labelColours.end()) return 0;
  SetTextColor(dc, colours->second.text);
  SetBkColor(dc, colours->second.background);
  return reinterpret_cast<INT_PTR>(colours->second.brush);
}

// Runs on the Open dialog's thread, the worker; the main dialog rides along in lCustData.
UINT_PTR CALLBACK OpenDialogHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* open = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    HWND frame = GetParent(hook);
    RECT main;
    if (GetWindowRect(reinterpret_cast<HWND>(open->lCustData), &main)) {
      SetWindowPos(frame, nullptr, main.left - kOpenDialogOffset, main.top - kOpenDialogOffset, 0,
                   0, SWP_NOSIZE | SWP_NOZORDER);
    }
    SetForegroundWindow(frame);
  }
  return 0;
}

std::string ProgramFolder() {
  std::array<char, MAX_PATH + 1> path{};
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), MAX_PATH);
  std::string folder(path.data(), length);
  const std::size_t slash = folder.rfind('\\');
  folder.resize(slash == std::string::npos ? 0 : slash + 1);
  return folder;
}

DWORD WINAPI WorkerThread(void* parameter) {
  DialogContext& context = *static_cast<DialogContext*>(parameter);
  const HRESULT com = CoInitialize(nullptr);
  Win32MainDialog dialog(context);
  RealFileSystem files;
  SystemRandom random;
  RunContext run{dialog,
                 context.state,
                 files,
                 random,
                 context.commandLineTail,
                 [](std::chrono::milliseconds pause) { Sleep(static_cast<DWORD>(pause.count())); }};
  const WorkerStatus status = RunWorker(run);
  context.state.SetWorkerStatus(status);
  if (SUCCEEDED(com)) CoUninitialize();
  return static_cast<DWORD>(status);
}

void StartWorkerThread(DialogContext& context) {
  // The worker reports through the run state, so its handle is not needed.
  if (HANDLE worker = CreateThread(nullptr, 0, WorkerThread, &context, 0, nullptr)) {
    CloseHandle(worker);
  }
}

}  // namespace

DialogContext::~DialogContext() {
  for (auto& [colour, brush] : brushes) DeleteObject(brush);
  if (labelFont != nullptr) DeleteObject(labelFont);
  if (fieldFont != nullptr) DeleteObject(fieldFont);
}

HBRUSH DialogContext::BrushFor(COLORREF colour) {
  HBRUSH& brush = brushes[colour];
  if (brush == nullptr) brush = CreateSolidBrush(colour);
  return brush;
}

void Win32MainDialog::SetControlText(ControlId control, std::string_view text) {
  SetWindowTextA(GetDlgItem(context_.dialog, control), std::string(text).c_str());
}

void Win32MainDialog::SetLabelColours(ControlId label, Colour text, Colour background) {
  std::lock_guard lock(context_.coloursMutex);
  const COLORREF back = ToColorRef(background);
  context_.labelColours[label] = {ToColorRef(text), back, context_.BrushFor(back)};
}

void Win32MainDialog::DisableControl(ControlId control) {
  EnableWindow(GetDlgItem(context_.dialog, control), FALSE);
}

void Win32MainDialog::Repaint() {
  RedrawWindow(context_.dialog, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

std::string Win32MainDialog::ChooseFile() {
  std::string filter(kOpenFilterName);
  filter.append(1, '\0').append(kOpenFilterPatterns).append(2, '\0');
  const std::string title(kOpenDialogTitle);
  const std::string folder = ProgramFolder();
  std::vector<char> result(kOpenResultSize, '\0');

  OPENFILENAMEA open{};
  open.lStructSize = sizeof(open);
  open.hwndOwner = context_.dialog;
  open.hInstance = context_.instance;
  open.lpstrFilter = filter.c_str();
  open.nFilterIndex = 1;
  open.lpstrFile = result.data();
  open.nMaxFile = static_cast<DWORD>(result.size());
  open.lpstrInitialDir = folder.c_str();
  open.lpstrTitle = title.c_str();
  open.lpstrDefExt = "";
  open.Flags = OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLEHOOK;
  open.lpfnHook = OpenDialogHook;
  open.lCustData = reinterpret_cast<LPARAM>(context_.dialog);
  if (!GetOpenFileNameA(&open)) return {};
  return std::string(result.data());
}

HWND BuildMainDialog(DialogContext& context) {
  const std::vector<WORD> dialogTemplate = DialogTemplate();
  HWND dialog = CreateDialogIndirectParamA(
      context.instance, reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), nullptr,
      CreationProc, reinterpret_cast<LPARAM>(&context));
  if (dialog == nullptr) return nullptr;
  context.dialog = dialog;
  SizeAndCentre(dialog);
  SetWindowTextA(dialog, DialogCaption().c_str());

  {
    std::lock_guard lock(context.coloursMutex);
    context.dialogBrush = context.BrushFor(ToColorRef(DialogBackground));
  }

  HWND image =
      CreateControl(dialog, ImageControl, "STATIC", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_NOTIFY,
                    0, {kImageLeft, 64, 64, 64}, {});
  HANDLE bitmap = LoadImageA(context.instance, "IMG", IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
  SendMessageA(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));

  constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
  // The status line is two lines high: its longer texts, such as "Enter
  // password to encrypt HTML file :", wrap at 270 pixels in the label font,
  // and a second line cut off would hide the outcome. It still ends above
  // the password field.
  constexpr int kPromptLabelHeight = 36;
  constexpr DWORD kFieldStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
  HWND prompt = CreateControl(dialog, PromptLabel, "STATIC", kLabelStyle, 0,
                              {70, 10, 270, kPromptLabelHeight}, kPromptInitial);
  HWND password = CreateControl(dialog, PasswordField, "EDIT", kFieldStyle, WS_EX_CLIENTEDGE,
                                {70, 50, 270, 20}, kPasswordFieldInitial);
  HWND confirm = CreateControl(dialog, ConfirmField, "EDIT", kFieldStyle, WS_EX_CLIENTEDGE,
                               {70, 90, 270, 20}, kConfirmFieldInitial);
  SelectPromptOnClick(password);
  SelectPromptOnClick(confirm);
  HWND match = CreateControl(dialog, MatchLabel, "STATIC", kLabelStyle, 0, {70, 130, 270, 20},
                             kMismatchText);

  SetForegroundWindow(dialog);
  SetFocus(password);
  SendMessageA(password, EM_SETSEL, 0, -1);

  context.labelFont = CreateVerdana(prompt, FW_BOLD);
  SendMessageA(prompt, WM_SETFONT, reinterpret_cast<WPARAM>(context.labelFont), TRUE);
  SendMessageA(match, WM_SETFONT, reinterpret_cast<WPARAM>(context.labelFont), TRUE);
  context.fieldFont = CreateVerdana(password, FW_NORMAL);
  SendMessageA(password, WM_SETFONT, reinterpret_cast<WPARAM>(context.fieldFont), TRUE);
  SendMessageA(confirm, WM_SETFONT, reinterpret_cast<WPARAM>(context.fieldFont), TRUE);

  Win32MainDialog colours(context);
  colours.SetLabelColours(PromptLabel, Black, DialogBackground);
  colours.SetLabelColours(MatchLabel, FailureRed, DialogBackground);

  HANDLE large = LoadImageA(context.instance, "ICO", IMAGE_ICON, 32, 32, 0);
  HANDLE small = LoadImageA(context.instance, "ICO", IMAGE_ICON, 16, 16, 0);
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

  SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(MainDialogProc));
  return dialog;
}

// Messages are taken and handed on through the UTF-16 calls: through the
// ANSI ones, a typed character would pass the code page on its way to the
// password fields, which keep UTF-16 so that they can tell one it lacks.
void RunModal(HWND dialog) {
  SendMessageA(dialog, WM_INITDIALOG, 0, 0);
  ShowWindow(dialog, SW_SHOW);
  MSG message;
  while (IsWindow(dialog)) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      Sleep(1);
      continue;
    }
    if (!IsDialogMessageW(dialog, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  // Installed once the dialog is built, so the context is always there, and
  // the one init message is the modal run's.
  DialogContext* context = ContextOf(dialog);
  switch (message) {
    case WM_INITDIALOG:
      context->bounceTimer = SetTimer(dialog, kBounceTimerId, kBounceTimerPeriodMs, nullptr);
      PostMessageA(dialog, WM_TIMER, kBounceTimerId, 0);
      StartWorkerThread(*context);
      break;
    case WM_TIMER:
      if (wParam == kBounceTimerId) OnTimer(dialog, *context);
      break;
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      context->openWebSite();
      break;
    case WM_COMMAND:
      OnCommand(dialog, *context, wParam);
      break;
    case WM_DESTROY:
      if (context->bounceTimer != 0) KillTimer(dialog, context->bounceTimer);
      context->bounceTimer = 0;
      break;
    case WM_SYSCOMMAND:
      // A close during the page's rewrite waits for the timer tick after it.
      if ((wParam & 0xFFF0) == SC_CLOSE && context->state.RequestClose()) EndMainDialog(dialog);
      break;
    // The one answer that is not 0: without the brush the colours would not show.
    case WM_CTLCOLORSTATIC:
      return ControlColours(*context, reinterpret_cast<HDC>(wParam),
                            reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG:
      SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(reinterpret_cast<HDC>(wParam), ToColorRef(DialogBackground));
      return reinterpret_cast<INT_PTR>(context->dialogBrush);
    default:
      break;
  }
  return 0;
}

void OpenWebSite() {
  const std::string address(kWebSite);
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace kelvara
