// The search bar with its field and button, the status bar, the two scroll bars and the
// layout rule that places them.
// clang-format off
#include <windows.h>  // first: commctrl.h needs its types
#include <commctrl.h>
// clang-format on

#include "app/search_bar_win.h"

#include <string>

#include "app/main_window_win.h"
#include "app/shell_win.h"
#include "platform/gdi_win.h"

namespace norvel {

namespace {

HWND CreateChild(const char* cls, const char* text, DWORD style, DWORD ex_style, HWND parent,
                 int id, int x, int y, int w, int h) {
  return CreateWindowExA(ex_style, cls, text, style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), TheShell().instance,
                         nullptr);
}

void RunSearchCommand() {
  Shell& s = TheShell();
  // The field holds up to 512 characters; the query is its first 255.
  char query[256] = {0};
  GetWindowTextA(s.search_field, query, sizeof query);
  s.session.OnSearch(query);
}

LRESULT CALLBACK SearchEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Shell& s = TheShell();
  if (msg == WM_CHAR && wp == '\t') {
    GiveFocusTo(s.search_button);
  } else if (msg == WM_CHAR && wp == '\r') {
    SendMessageA(s.search_bar, WM_COMMAND, MAKEWPARAM(kSearchButtonId, 0),
                 reinterpret_cast<LPARAM>(s.main));
  }
  return CallWindowProcA(s.edit_proc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK SearchButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Shell& s = TheShell();
  if (msg == WM_CHAR && wp == '\t') {
    GiveFocusTo(s.main);
    return 0;
  }
  return CallWindowProcA(s.button_proc, hwnd, msg, wp, lp);
}

// CreateSearchControls: the field and the button keep these places on every resize.
bool CreateSearchControls(HWND bar) {
  Shell& s = TheShell();
  RECT client{};
  GetClientRect(s.main, &client);
  const int two_thirds = client.right * 2 / 3;
  s.search_field = CreateChild("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                               WS_EX_CLIENTEDGE, bar, kSearchFieldId, 2, 6, two_thirds, 20);
  s.search_button = CreateChild("Button", " Search ", WS_CHILD | WS_VISIBLE | BS_PUSHLIKE, 0, bar,
                                kSearchButtonId, two_thirds + 10, 6, 50, 20);
  if (!s.search_field || !s.search_button) return false;
  const WPARAM font = reinterpret_cast<WPARAM>(s.fonts.regular.get());
  SendMessageA(s.search_field, WM_SETFONT, font, TRUE);
  SendMessageA(s.search_button, WM_SETFONT, font, TRUE);
  SendMessageA(s.search_field, EM_LIMITTEXT, kSearchFieldLimit, 0);
  s.edit_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(s.search_field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SearchEditProc)));
  s.button_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      s.search_button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SearchButtonProc)));
  GiveFocusTo(s.search_field);
  return true;
}

void PaintEtchedLine(HWND bar) {
  platform::PaintScope paint(bar);
  RECT r{};
  GetClientRect(bar, &r);
  platform::Pen grey(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
  platform::Pen white(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
  {
    platform::SelectedObject pen(paint.dc(), grey.get());
    MoveToEx(paint.dc(), 0, 0, nullptr);
    LineTo(paint.dc(), r.right, 0);
  }
  platform::SelectedObject pen(paint.dc(), white.get());
  MoveToEx(paint.dc(), 0, 1, nullptr);
  LineTo(paint.dc(), r.right, 1);
}

}  // namespace

LRESULT CALLBACK SearchBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      TheShell().search_bar = hwnd;
      return CreateSearchControls(hwnd) ? 0 : -1;
    case WM_SIZE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND: {
      RECT r{};
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_PAINT:
      PaintEtchedLine(hwnd);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kSearchButtonId && HIWORD(wp) == 0) RunSearchCommand();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

bool CreateChildWindows() {
  Shell& s = TheShell();
  s.search_bar = CreateChild(kSearchBarClass, "", WS_CHILD, 0, s.main, kSearchBarId, 0, 0, 0,
                             kSearchBarHeight);
  if (!s.search_bar) return false;
  ShowWindow(s.search_bar, SW_SHOW);
  s.status_bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "Ready", s.main, kStatusBarId);
  if (!s.status_bar) return false;
  s.vertical_bar =
      CreateChild("SCROLLBAR", nullptr, WS_CHILD | SBS_VERT, 0, s.main, kVerticalBarId, 0, 0, 0, 0);
  s.horizontal_bar = CreateChild("SCROLLBAR", nullptr, WS_CHILD | SBS_HORZ, 0, s.main,
                                 kHorizontalBarId, 0, 0, 0, 0);
  if (!s.vertical_bar || !s.horizontal_bar) return false;
  ShowWindow(s.vertical_bar, SW_SHOW);
  ShowWindow(s.horizontal_bar, SW_SHOW);
  s.host.Attach(s.main, s.search_bar, s.status_bar, s.vertical_bar, s.horizontal_bar);
  ApplyLayoutRule();
  return true;
}

void ApplyLayoutRule() {
  Shell& s = TheShell();
  RECT client{};
  GetClientRect(s.main, &client);
  RECT status{};
  GetClientRect(s.status_bar, &status);
  const int w = client.right, h = client.bottom, sh = status.bottom;
  const int v = GetSystemMetrics(SM_CYVTHUMB);
  const int hh = GetSystemMetrics(SM_CXHTHUMB);
  MoveWindow(s.search_bar, 0, 0, w, kSearchBarHeight, TRUE);
  SendMessageA(s.status_bar, WM_SIZE, 0, 0);
  MoveWindow(s.vertical_bar, w - v, kSearchBarHeight, v, h - sh - kSearchBarHeight - hh, TRUE);
  MoveWindow(s.horizontal_bar, 0, h - sh - hh, w - v, hh, TRUE);
}

}  // namespace norvel
