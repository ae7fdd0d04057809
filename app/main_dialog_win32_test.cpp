// The Win32 dialog as it is built. Needs a display: it runs under Wine on a
// virtual one. The clicks and keystrokes of a user come from the desktop
// end-to-end test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/main_dialog_win32.h"
#include "testing/table.h"

namespace kelvara {
namespace {

// A control as the table writes it.
std::string Describe(HWND dialog, HWND control) {
  char name[16] = {}, text[64] = {}, line[256];
  GetClassNameA(control, name, sizeof name);
  GetWindowTextA(control, text, sizeof text);
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font,
             &font);
  // Labels with colours of their own answer with the dialog's brush.
  HDC dc = GetDC(dialog);
  const LRESULT brush = SendMessageA(dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), 0);
  const bool own = SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                reinterpret_cast<LPARAM>(control)) == brush;
  const COLORREF fore = GetTextColor(dc), back = GetBkColor(dc);
  ReleaseDC(dialog, dc);
  std::snprintf(line, sizeof line,
                "%d %s %ld,%ld %ldx%ld style %lx ex %lx \"%s\" font \"%s\" %ld %ld ",
                GetDlgCtrlID(control), name, r.left, r.top, r.right - r.left, r.bottom - r.top,
                GetWindowLongA(control, GWL_STYLE) &
                    (WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | 0xFFFF),
                GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, text, font.lfFaceName,
                font.lfWeight, font.lfHeight);
  std::snprintf(line + std::strlen(line), 64,
                own ? "colours %d,%d,%d on %d,%d,%d" : "system colours", GetRValue(fore),
                GetGValue(fore), GetBValue(fore), GetRValue(back), GetGValue(back),
                GetBValue(back));
  return line;
}

TEST(MainDialog, IsBuiltAsTheTableSays) {
  DialogContext context;
  context.instance = GetModuleHandleA(nullptr);
  HWND dialog = BuildMainDialog(context);
  RECT client, window, work;
  GetClientRect(dialog, &client);
  GetWindowRect(dialog, &window);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(350L, 164L));
  EXPECT_EQ(window.left, (work.left + work.right - (window.right - window.left)) / 2);
  EXPECT_EQ(window.top, (work.top + work.bottom - (window.bottom - window.top)) / 2);
  // A close button only, no owner, hidden until the modal run shows it.
  EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                                                 WS_MAXIMIZEBOX | WS_THICKFRAME | WS_VISIBLE),
            WS_CAPTION | WS_SYSMENU);
  char caption[64];
  GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, " Kelvara [by the Kelvara authors]");
  HDC dc = GetDC(dialog);
  SendMessageA(dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), 0);
  EXPECT_EQ(GetBkColor(dc), RGB(241, 245, 248));
  ReleaseDC(dialog, dc);
  std::vector<std::string> controls;
  for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr;
       control = GetWindow(control, GW_HWNDNEXT)) {
    controls.push_back(Describe(dialog, control));
  }
  std::vector<std::string> table;
  for (const auto& row : TableRows("app/testdata/dialog_controls.txt")) table.push_back(row[0]);
  EXPECT_EQ(controls, table);
  EXPECT_NE(SendDlgItemMessageA(dialog, ImageControl, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  // The run flow's colours show at the next paint.
  Win32MainDialog(context).SetLabelColours(MatchLabel, SuccessGreen, DialogBackground);
  EXPECT_TRUE(Describe(dialog, GetDlgItem(dialog, MatchLabel))
                  .ends_with("colours 30,180,0 on 241,245,248"));
  // The focus starts in the password field with its prompt selected, so that
  // the first keystroke replaces it; Tab goes from field to field only.
  HWND password = GetDlgItem(dialog, PasswordField), confirm = GetDlgItem(dialog, ConfirmField);
  EXPECT_EQ(GetFocus(), password);
  EXPECT_EQ(SendMessageA(password, EM_GETSEL, 0, 0), MAKELRESULT(0, 14));
  EXPECT_EQ(GetNextDlgTabItem(dialog, password, FALSE), confirm);
  EXPECT_EQ(GetNextDlgTabItem(dialog, confirm, FALSE), password);
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace kelvara
