// The Win32 dialog as it is built. Needs a display: it runs under Wine on a
// virtual one. A user's clicks and keystrokes come from the desktop test.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/main_dialog_win32.h"
#include "testing/table.h"

namespace kelvara {
namespace {

// The dialog or a control as the table writes it. The dialog's place is how
// far it lies off the centre of the work area, its size that of its client
// area. Labels with colours of their own answer with the dialog's own brush.
// Then whether it has the focus, its selection (an edit field's start and
// end, in the low and the high word) and the control that Tab goes to.
std::string Describe(DialogContext& context, HWND control) {
  char name[16] = {}, text[64] = {}, line[256];
  GetClassNameA(control, name, sizeof name);
  GetWindowTextA(control, text, sizeof text);
  RECT r, client, work;
  GetWindowRect(control, &r);
  GetClientRect(control, &client);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (control == context.dialog) {
    OffsetRect(&client, r.left - (work.left + work.right - r.right + r.left) / 2,
               r.top - (work.top + work.bottom - r.bottom + r.top) / 2);
    r = client;
  }
  MapWindowPoints(nullptr, control == context.dialog ? nullptr : context.dialog,
                  reinterpret_cast<POINT*>(&r), 2);
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font,
             &font);
  HDC dc = GetDC(context.dialog);
  const bool own =
      SendMessageA(context.dialog, control == context.dialog ? WM_CTLCOLORDLG : WM_CTLCOLORSTATIC,
                   reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)) ==
      reinterpret_cast<LRESULT>(context.dialogBrush);
  const COLORREF fore = GetTextColor(dc), back = GetBkColor(dc);
  ReleaseDC(context.dialog, dc);
  std::snprintf(
      line, sizeof line,
      "%d %s %ld,%ld %ldx%ld style %lx ex %lx \"%s\" font \"%s\" %ld %ld%s sel %lx tab %d "
      "colours %d,%d,%d on %d,%d,%d",
      GetDlgCtrlID(control), name, r.left, r.top, r.right - r.left, r.bottom - r.top,
      GetWindowLongA(control, GWL_STYLE) & ~WS_CLIPSIBLINGS,
      GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, text, font.lfFaceName, font.lfWeight,
      font.lfHeight, GetFocus() == control ? " focus" : "",
      static_cast<unsigned long>(SendMessageA(control, EM_GETSEL, 0, 0)),
      GetDlgCtrlID(GetNextDlgTabItem(context.dialog, control, FALSE)), GetRValue(fore),
      GetGValue(fore), GetBValue(fore), GetRValue(back), GetGValue(back), GetBValue(back));
  const std::string described = line;
  return own ? described : described.substr(0, described.find("colours")) + "system colours";
}

TEST(MainDialog, IsBuiltAsTheTableSays) {
  DialogContext context;
  context.instance = GetModuleHandleA(nullptr);
  HWND dialog = BuildMainDialog(context);
  HWND control = dialog;
  for (const auto& row : TableRows("app/testdata/dialog_controls.txt")) {
    EXPECT_EQ(control ? Describe(context, control) : "none", row[0]);
    control = GetWindow(control, control == dialog ? GW_CHILD : GW_HWNDNEXT);
  }
  EXPECT_EQ(control, nullptr);
  EXPECT_NE(SendDlgItemMessageA(dialog, ImageControl, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  // The run flow's colours show at the next paint.
  Win32MainDialog(context).SetLabelColours(MatchLabel, SuccessGreen, DialogBackground);
  EXPECT_TRUE(Describe(context, GetDlgItem(dialog, MatchLabel))
                  .ends_with("colours 30,180,0 on 241,245,248"));
  // A click on the surface or the image opens the web site.
  int opened = 0;
  context.openWebSite = [&opened] { ++opened; };
  SendMessageA(dialog, WM_LBUTTONUP, 0, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(ImageControl, STN_DBLCLK), 0);
  EXPECT_EQ(opened, 2);
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace kelvara
