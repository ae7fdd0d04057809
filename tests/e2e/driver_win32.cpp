// Drives Kelvara.exe from outside, the way a UI test drives a Windows
// program: it finds the dialog by its caption and the controls by their
// identifiers, reads what they show and presses what a user would press.
// Runs under the same Wine as the program. Commands follow each other on the
// command line, separated by "--"; every check prints "ok: ..." or
// "FAIL: ...", and the exit code is 1 when any check failed.
#include <windows.h>

#include <commdlg.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Args = std::vector<std::string>;

// What the program is expected to show, written down here on its own rather
// than taken from the program's headers, so that the test checks the program.
constexpr char kCaptionStart[] = " Kelvara [";
constexpr char kOpenTitle[] = "Kelvara - Select file to encrypt/decrypt";
constexpr int kImage = 1001, kPassword = 1002, kConfirm = 1003, kPrompt = 1004, kMatch = 1005;
// Controls of the standard Open dialog.
constexpr int kFileNameCombo = 0x47c, kFileNameEdit = 0x480, kFileTypeCombo = 0x470,
              kLookInCombo = 0x471;

bool failed = false;
// When a text check last saw what it waited for: the self-closing is timed from it.
Clock::time_point lastTextSeen = Clock::now();

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  std::fflush(stdout);
  failed = failed || !ok;
}

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Caption(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

std::vector<HWND> TopWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM found) -> BOOL {
        if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> WindowsTitled(bool (*matches)(const std::string&)) {
  std::vector<HWND> found;
  for (HWND window : TopWindows()) {
    if (matches(Caption(window))) found.push_back(window);
  }
  return found;
}

bool IsMainCaption(const std::string& caption) {
  return caption.rfind(kCaptionStart, 0) == 0 && caption.size() > sizeof(kCaptionStart) &&
         caption.back() == ']';
}
bool IsOpenTitle(const std::string& caption) {
  return caption == kOpenTitle;
}

HWND WaitFor(bool (*matches)(const std::string&), int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    const std::vector<HWND> found = WindowsTitled(matches);
    if (!found.empty()) return found.front();
    Pause(20);
  } while (Clock::now() < end);
  return nullptr;
}

HWND MainDialog() {
  return WaitFor(IsMainCaption, 30000);
}

// Asks the control itself: for another process's edit field GetWindowText
// would not see what was typed.
std::string Text(HWND control) {
  char text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(control, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                      5000, &ignored);
  return text;
}

RECT RectInClient(HWND dialog, HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

void CheckLayout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  Check(client.right == 350 && client.bottom == 164, "client area 350x164, is " + Describe(client));
  Check(IsMainCaption(Caption(dialog)), "caption \"" + Caption(dialog) + "\"");

  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  Check((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU), "caption and system menu");
  Check(!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)),
        "no minimise, maximise or sizing");
  Check(GetWindow(dialog, GW_OWNER) == nullptr, "no owner");

  RECT window;
  RECT work;
  GetWindowRect(dialog, &window);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  Check(window.left == (work.left + work.right - width) / 2 &&
            window.top == (work.top + work.bottom - height) / 2,
        "centred in the work area, at " + Describe(window));

  struct Expected {
    int id;
    const char* className;
    RECT place;  // left, top, width, height
    const char* text;
    DWORD style;
    DWORD exStyle;
  };
  constexpr DWORD kField = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
  const Expected expected[] = {
      {kImage, "Static", {3, -1, 64, 64}, "", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_NOTIFY, 0},
      {kPrompt, "Static", {70, 10, 270, 36}, nullptr, WS_CHILD | WS_VISIBLE | SS_LEFT, 0},
      {kPassword, "Edit", {70, 50, 270, 20}, nullptr, kField, WS_EX_CLIENTEDGE},
      {kConfirm, "Edit", {70, 90, 270, 20}, "Re-enter password", kField, WS_EX_CLIENTEDGE},
      {kMatch,
       "Static",
       {70, 130, 270, 20},
       "Password mismatch",
       WS_CHILD | WS_VISIBLE | SS_LEFT,
       0},
  };
  HWND control = GetWindow(dialog, GW_CHILD);
  for (const Expected& e : expected) {
    const std::string name = "control " + std::to_string(e.id);
    Check(control != nullptr && GetDlgCtrlID(control) == e.id, name + " in creation order");
    if (control == nullptr) return;
    char className[64] = {};
    GetClassNameA(control, className, sizeof(className));
    Check(lstrcmpiA(className, e.className) == 0, name + " class " + className);
    const RECT r = RectInClient(dialog, control);
    const bool topOk = e.place.top < 0 ? (r.top >= 0 && r.top <= 100) : r.top == e.place.top;
    Check(r.left == e.place.left && topOk && r.right - r.left == e.place.right &&
              r.bottom - r.top == e.place.bottom,
          name + " at " + Describe(r));
    const DWORD actual = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    // The low word holds the class's own style, compared whole.
    Check((actual & e.style) == e.style && (actual & 0xFFFF) == (e.style & 0xFFFF) &&
              ((actual & WS_TABSTOP) != 0) == ((e.style & WS_TABSTOP) != 0) &&
              !(actual & WS_BORDER),
          name + " style " + std::to_string(actual));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE));
    Check((exStyle & WS_EX_CLIENTEDGE) == e.exStyle, name + " client edge");
    if (e.text != nullptr) Check(Text(control) == e.text, name + " text \"" + Text(control) + "\"");
    control = GetWindow(control, GW_HWNDNEXT);
  }
  Check(control == nullptr, "no further controls");

  HWND image = GetDlgItem(dialog, kImage);
  Check(SendMessageA(image, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0, "image shows a bitmap");
}

// The state at start: the focus in the password field with its whole prompt selected.
void CheckStart(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
  Check(info.hwndFocus == GetDlgItem(dialog, kPassword), "focus in the password field");
  HWND password = GetDlgItem(dialog, kPassword);
  const DWORD selection = static_cast<DWORD>(SendMessageA(password, EM_GETSEL, 0, 0));
  Check(LOWORD(selection) == 0 && HIWORD(selection) == Text(password).size(),
        "password prompt selected whole, " + std::to_string(LOWORD(selection)) + " to " +
            std::to_string(HIWORD(selection)));
}

void WaitText(HWND dialog, int id, const std::string& want, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string got;
  while ((got = Text(GetDlgItem(dialog, id))) != want && Clock::now() < end) Pause(10);
  lastTextSeen = Clock::now();
  Check(got == want, "control " + std::to_string(id) + " shows \"" + got + "\"");
}

// The image must move between timer ticks: sample its top edge for a while.
void CheckBounce(HWND dialog) {
  HWND image = GetDlgItem(dialog, kImage);
  std::set<LONG> tops;
  for (int i = 0; i < 25; ++i) {
    tops.insert(RectInClient(dialog, image).top);
    Pause(15);
  }
  Check(tops.size() >= 5, "image bounces, " + std::to_string(tops.size()) + " distinct tops");
}

void CheckEnabled(HWND dialog, int id, bool want) {
  Check((IsWindowEnabled(GetDlgItem(dialog, id)) != 0) == want,
        "control " + std::to_string(id) + (want ? " enabled" : " disabled"));
}

void CheckAlive(HWND dialog, int ms) {
  Pause(ms);
  Check(IsWindow(dialog) && IsWindowVisible(dialog),
        "dialog still open after " + std::to_string(ms) + " ms");
}

// Closed means hidden or destroyed: without a window manager Wine then
// spends another 2 s waiting for the X window to be withdrawn, which is not
// the program's time. LEAST and MOST bound the time since the last text check.
void WaitGone(HWND dialog, int timeoutMs, int leastMs, int mostMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (IsWindow(dialog) && IsWindowVisible(dialog) && Clock::now() < end) Pause(5);
  const auto after =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastTextSeen).count();
  Check(!IsWindow(dialog) || !IsWindowVisible(dialog),
        "dialog closed " + std::to_string(after) + " ms after the last text");
  if (leastMs > 0) Check(after >= leastMs, "not before " + std::to_string(leastMs) + " ms");
  if (mostMs > 0) Check(after <= mostMs, "not after " + std::to_string(mostMs) + " ms");
}

HWND FindControl(HWND parent, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits for the Open dialog and checks where and how it came up: it must
// start in the program's own folder, whose name is given.
HWND CheckOpenDialog(HWND dialog, const std::string& folderName) {
  HWND open = WaitFor(IsOpenTitle, 20000);
  Check(open != nullptr, "Open dialog shown");
  if (open == nullptr) return nullptr;
  Pause(300);  // a second worker would have put up a second one by now
  Check(WindowsTitled(IsOpenTitle).size() == 1, "exactly one Open dialog");
  RECT main;
  RECT frame;
  GetWindowRect(dialog, &main);
  GetWindowRect(open, &frame);
  Check(frame.left == main.left - 100 && frame.top == main.top - 100,
        "Open dialog 100 left of and above the main dialog, at " + Describe(frame));
  Check(!IsWindowEnabled(dialog), "main dialog disabled while the Open dialog is up");
  HWND types = FindControl(open, kFileTypeCombo);
  Check(types != nullptr && Text(types).rfind("HTML", 0) == 0, "filter \"" + Text(types) + "\"");
  HWND lookIn = FindControl(open, kLookInCombo);
  Check(lookIn != nullptr && Text(lookIn) == folderName,
        "starts in the folder \"" + Text(lookIn) + "\"");
  return open;
}

void ChooseInOpenDialog(HWND dialog, const std::string& folderName, const std::string& path) {
  HWND open = CheckOpenDialog(dialog, folderName);
  if (open == nullptr) return;
  HWND name = FindControl(open, kFileNameCombo);
  if (name == nullptr) name = FindControl(open, kFileNameEdit);
  Check(name != nullptr, "file name field");
  if (name == nullptr) return;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(open, IDOK)));
}

void CancelOpenDialog(HWND dialog, const std::string& folderName) {
  HWND open = CheckOpenDialog(dialog, folderName);
  if (open != nullptr) PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

int Number(const Args& args, std::size_t at) {
  return at < args.size() ? std::atoi(args[at].c_str()) : 0;
}

void Run(HWND& dialog, const Args& args) {
  const std::string& command = args[0];
  if (dialog == nullptr) {
    dialog = MainDialog();
    Check(dialog != nullptr, "main dialog found by its caption");
    if (dialog == nullptr) return;
  }
  if (command == "layout") {
    CheckLayout(dialog);
  } else if (command == "start") {
    CheckStart(dialog);
  } else if (command == "text" && args.size() >= 3) {
    WaitText(dialog, Number(args, 1), args[2], args.size() > 3 ? Number(args, 3) : 10000);
  } else if (command == "bounce") {
    CheckBounce(dialog);
  } else if (command == "enabled" || command == "disabled") {
    CheckEnabled(dialog, Number(args, 1), command == "enabled");
  } else if (command == "alive") {
    CheckAlive(dialog, Number(args, 1));
  } else if (command == "close") {
    // What the close button sends.
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (command == "gone") {
    WaitGone(dialog, Number(args, 1), Number(args, 2), Number(args, 3));
  } else if (command == "choose" && args.size() >= 3) {
    ChooseInOpenDialog(dialog, args[1], args[2]);
  } else if (command == "cancel" && args.size() >= 2) {
    CancelOpenDialog(dialog, args[1]);
  } else {
    Check(false, "unknown command " + command);
  }
}

}  // namespace

int main(int argc, char** argv) {
  HWND dialog = nullptr;
  Args args;
  for (int i = 1; i <= argc; ++i) {
    if (i == argc || std::string(argv[i]) == "--") {
      if (!args.empty()) Run(dialog, args);
      args.clear();
    } else {
      args.emplace_back(argv[i]);
    }
  }
  return failed ? 1 : 0;
}
