// The Win32 dialog itself. Needs a display: it runs under Wine on a virtual one.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_events.h"
#include "app/main_dialog_win32.h"
#include "files/atomic_write.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"

namespace kelvara {
namespace {

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.instance = GetModuleHandleA(nullptr);
    context.startWorker = [this](DialogContext& started) {
      ++workerStarts;
      controlsAtStart = GetDlgItem(started.dialog, MatchLabel) != nullptr;
      timerAtStart = started.bounceTimer;
    };
    dialog = BuildMainDialog(context);
    ASSERT_NE(dialog, nullptr);
  }
  void TearDown() override {
    if (IsWindow(dialog)) DestroyWindow(dialog);
  }
  int ImageTop() {
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, ImageControl), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect.top;
  }
  void Tick() { SendMessageA(dialog, WM_TIMER, kBounceTimerId, 0); }
  std::string Text(int id) {
    char text[64]{};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
  }
  // Runs the dialog's messages as the modal run does, until the field shows
  // the wanted text or two seconds have passed.
  void PumpUntil(int id, std::string_view wanted) {
    const DWORD start = GetTickCount();
    MSG message;
    while (Text(id) != wanted && GetTickCount() - start < 2000) {
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog, &message)) {
          TranslateMessage(&message);
          DispatchMessageA(&message);
        }
      }
      Sleep(1);
    }
  }

  DialogContext context;
  HWND dialog = nullptr;
  int workerStarts = 0;
  bool controlsAtStart = false;
  UINT_PTR timerAtStart = 0;
};

// Creation sends an init of its own before any control exists; only the
// modal run's init may start the worker, and only once.
TEST_F(MainDialogTest, WorkerStartsOnceFromTheModalRun) {
  EXPECT_EQ(workerStarts, 0);
  EXPECT_FALSE(IsWindowVisible(dialog));
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  RunModal(dialog);
  EXPECT_EQ(workerStarts, 1);
  EXPECT_TRUE(controlsAtStart);
  EXPECT_EQ(timerAtStart, kBounceTimerId);
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(MainDialogTest, ASecondInitStartsNothing) {
  SendMessageA(dialog, WM_INITDIALOG, 0, 0);
  SendMessageA(dialog, WM_INITDIALOG, 0, 0);
  EXPECT_EQ(workerStarts, 1);
}

TEST_F(MainDialogTest, TypingPublishesThePasswordsTogether) {
  SendMessageA(dialog, WM_INITDIALOG, 0, 0);
  SetWindowTextA(GetDlgItem(dialog, PasswordField), "Secret");
  SetWindowTextA(GetDlgItem(dialog, ConfirmField), "secret");
  EXPECT_FALSE(context.state.PasswordsMatch());  // letter case counts
  SetWindowTextA(GetDlgItem(dialog, ConfirmField), "Secret");
  auto match = std::async(std::launch::async, [this] { return context.state.WaitForMatch(); });
  const bool matched = match.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!matched) context.state.PublishPasswords("unblock", true);
  EXPECT_TRUE(matched);
  EXPECT_EQ(match.get(), matched ? "Secret" : "unblock");
}

// Input as a user gives it, routed by the system to the window under the
// pointer and the one with the focus. The click lands near the field's right
// end, behind any text it holds; one field per click in a row, lest two
// clicks make a double click.
TEST_F(MainDialogTest, AClickIntoAFieldSelectsItsPromptOnly) {
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  const struct {
    ControlId field;
    std::string_view before;
    std::string_view typed;
    std::string_view after;
  } cases[] = {
      {PasswordField, kPasswordFieldInitial, "rowing42", "rowing42"},
      {ConfirmField, kConfirmFieldInitial, "rowing42", "rowing42"},
      {PasswordField, "rowing", "42", "rowing42"},
  };
  for (const auto& [field, before, typed, after] : cases) {
    SetDlgItemTextA(dialog, field, std::string(before).c_str());
    RECT place;
    GetWindowRect(GetDlgItem(dialog, field), &place);
    SetCursorPos(place.right - 8, (place.top + place.bottom) / 2);
    std::vector<INPUT> input(2, INPUT{INPUT_MOUSE, {}});
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    for (const char c : typed) {
      for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
        INPUT key{INPUT_KEYBOARD, {}};
        key.ki.wScan = static_cast<WORD>(c);
        key.ki.dwFlags = KEYEVENTF_UNICODE | up;
        input.push_back(key);
      }
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    PumpUntil(field, after);
    EXPECT_EQ(Text(field), after) << before;
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, field)) << before;
  }
}

TEST_F(MainDialogTest, ClicksOnTheSurfaceOrTheImageOpenTheWebSite) {
  int opened = 0;
  context.openWebSite = [&opened] { ++opened; };
  auto command = [this](int id, int code) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  };
  SendMessageA(dialog, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(opened, 1);
  SendMessageA(dialog, WM_LBUTTONDBLCLK, 0, 0);  // once more for the double click
  EXPECT_EQ(opened, 2);
  command(ImageControl, STN_CLICKED);
  command(ImageControl, STN_DBLCLK);
  EXPECT_EQ(opened, 4);
  command(PasswordField, EN_SETFOCUS);
  command(ConfirmField, EN_CHANGE);
  command(IDOK, BN_CLICKED);
  command(IDCANCEL, BN_CLICKED);
  EXPECT_EQ(opened, 4);
  EXPECT_TRUE(IsWindow(dialog));  // Enter and Esc end nothing either
}

// The status line is the one place the user learns the outcome, so every
// text it can show must fit it whole, wrapped as the label wraps it.
TEST_F(MainDialogTest, EveryStatusTextFitsTheStatusLine) {
  HWND prompt = GetDlgItem(dialog, PromptLabel);
  RECT label;
  GetClientRect(prompt, &label);
  HDC dc = GetDC(prompt);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(prompt, WM_GETFONT, 0, 0)));
  for (const std::string_view text :
       {kPromptInitial, kPromptDecrypt, kPromptEncrypt, kProtectedText, kRestoredText, kHeadMissing,
        kBodyMissing, kHeadMalformed, kPageDamaged, kWrongPassword, kBackupFailed, kWriteFailed}) {
    RECT needed{0, 0, label.right, 0};
    DrawTextA(dc, text.data(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_LE(needed.bottom, label.bottom) << text;
    EXPECT_LE(needed.right, label.right) << text;
  }
  SelectObject(dc, previous);
  ReleaseDC(prompt, dc);
}

TEST_F(MainDialogTest, LabelsAnswerWithTheirColours) {
  HDC dc = GetDC(dialog);
  auto ask = [&](UINT message, int id) {
    return SendMessageA(dialog, message, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(id == 0 ? dialog : GetDlgItem(dialog, id)));
  };
  const LRESULT labelBrush = ask(WM_CTLCOLORSTATIC, MatchLabel);
  EXPECT_NE(labelBrush, 0);
  EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
  EXPECT_EQ(GetBkColor(dc), RGB(241, 245, 248));
  EXPECT_NE(ask(WM_CTLCOLORSTATIC, PromptLabel), 0);
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));

  Win32MainDialog(context).SetLabelColours(MatchLabel, SuccessGreen, DialogBackground);
  EXPECT_NE(ask(WM_CTLCOLORSTATIC, MatchLabel), 0);
  EXPECT_EQ(GetTextColor(dc), RGB(30, 180, 0));

  EXPECT_NE(ask(WM_CTLCOLORDLG, 0), 0);
  EXPECT_EQ(GetBkColor(dc), RGB(241, 245, 248));
  // The image keeps the system's colours: the default handling answers for it.
  EXPECT_NE(ask(WM_CTLCOLORSTATIC, ImageControl), labelBrush);
  ReleaseDC(dialog, dc);
}

TEST_F(MainDialogTest, TimerBouncesTheImageAndEndsAfterRunFinished) {
  Tick();
  EXPECT_EQ(ImageTop(), 95);
  Tick();
  EXPECT_EQ(ImageTop(), 90);
  context.state.SetWorkerStatus(RunFailed);
  Tick();
  EXPECT_TRUE(IsWindow(dialog));
  context.state.SetWorkerStatus(RunFinished);
  Tick();
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(MainDialogTest, CloseDuringTheRewriteWaitsForTheTickAfterIt) {
  ASSERT_TRUE(context.state.BeginRewrite());
  SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  Tick();
  EXPECT_TRUE(IsWindow(dialog));
  context.state.EndRewrite();
  EXPECT_TRUE(IsWindow(dialog));
  Tick();
  EXPECT_FALSE(IsWindow(dialog));
}

}  // namespace
}  // namespace kelvara
