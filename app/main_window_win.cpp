// The main window's procedure: a table from messages to small handlers.
#include "app/main_window_win.h"

#include <windowsx.h>

#include "app/job_hooks_win.h"
#include "app/search_bar_win.h"
#include "app/shell_win.h"
#include "app/startup.h"
#include "core/messages.h"
#include "index/marker.h"
#include "platform/path.h"

namespace norvel {

namespace {

using Handler = LRESULT (*)(HWND, WPARAM, LPARAM);

HMENU BuildMenuBar() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kCmdIndex, "I&ndex");
  AppendMenuA(file, MF_STRING, kCmdCancel, "&Cancel");
  AppendMenuA(file, MF_STRING, kCmdExit, "&Exit");
  HMENU edit = CreatePopupMenu();
  AppendMenuA(edit, MF_STRING, kCmdCopy, "C&opy");
  AppendMenuA(edit, MF_STRING, kCmdSelectAll, "&Select All");
  HMENU view = CreatePopupMenu();
  AppendMenuA(view, MF_STRING, kCmdOrderByRelevance, "Order by &relevance");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "&Edit");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
  return bar;
}

void ShowResultOrder(const Shell& s) {
  CheckMenuItem(s.menu, kCmdOrderByRelevance,
                MF_BYCOMMAND | (s.settings.order_by_relevance ? MF_CHECKED : MF_UNCHECKED));
}

// View > Order by relevance: the choice flips for the next search and is kept in norvel.ini.
void ToggleResultOrder(Shell& s) {
  s.settings.order_by_relevance = !s.settings.order_by_relevance;
  SaveResultOrder(s.settings);
  ShowResultOrder(s);
}

// The start-up sequence, inside the main window's creation.
LRESULT OnCreate(HWND hwnd, WPARAM, LPARAM) {
  Shell& s = TheShell();
  s.main = hwnd;
  s.hand = LoadCursor(nullptr, IDC_HAND);
  s.arrow = LoadCursor(nullptr, IDC_ARROW);
  s.menu = BuildMenuBar();
  SetMenu(hwnd, s.menu);
  RunStartUp(platform::ProgramDirectory(), &s.settings, &s.index, s.session.job());
  ShowResultOrder(s);
  s.fonts.Create();
  return 0;
}

LRESULT OnDestroy(HWND hwnd, WPARAM, LPARAM) {
  Shell& s = TheShell();
  JobHooks& hooks = TheJobHooks();
  // The job is not asked to stop; the window is gone, the program waits for it.
  if (hooks.job_thread) {
    if (HANDLE job = hooks.job_thread()) WaitWithMessages(job);
  }
  s.host.DestroyCaret();
  s.back_buffer.Release();
  s.session.Release();
  if (hooks.release) hooks.release();
  s.index.Release();
  SetMenu(hwnd, nullptr);
  DestroyMenu(s.menu);
  s.menu = nullptr;
  s.fonts.Delete();
  UnlockMarker();
  PostQuitMessage(0);
  return 0;
}

LRESULT OnSize(HWND, WPARAM wp, LPARAM) {
  HandleResize(static_cast<UINT>(wp));
  return 0;
}

LRESULT OnSetFocus(HWND hwnd, WPARAM, LPARAM) {
  Shell& s = TheShell();
  if (s.focus_holder == hwnd) {
    s.host.CreateCaret(s.view.caret().x, s.view.caret().y);
    s.view.UpdateCaret();
  } else if (s.focus_holder) {
    SetFocus(s.focus_holder);
  }
  return 0;
}

LRESULT OnKillFocus(HWND, WPARAM, LPARAM) {
  TheShell().host.DestroyCaret();
  return 0;
}

LRESULT OnEraseBackground(HWND, WPARAM, LPARAM) {
  EraseBackBuffer(TheShell().back_buffer);
  return 0;  // not erased: the paint that follows draws the view
}

LRESULT OnPaint(HWND hwnd, WPARAM, LPARAM) {
  Shell& s = TheShell();
  PaintFromBackBuffer(hwnd, s.back_buffer, s.fonts, s.metrics, &s.view);
  return 0;
}

LRESULT OnCommand(HWND hwnd, WPARAM wp, LPARAM) {
  Shell& s = TheShell();
  JobHooks& hooks = TheJobHooks();
  switch (LOWORD(wp)) {
    case kCmdIndex:
      if (hooks.index_command) hooks.index_command();
      break;
    case kCmdCancel:
      if (hooks.cancel_command) hooks.cancel_command();
      break;
    case kCmdExit:
      DestroyWindow(hwnd);
      break;
    case kCmdCopy:
      s.view.CopyToCB();
      break;
    case kCmdSelectAll:
      s.view.SelectAll();
      break;
    case kCmdOrderByRelevance:
      ToggleResultOrder(s);
      break;
    default:
      break;
  }
  return 0;
}

LRESULT OnTimer(HWND, WPARAM wp, LPARAM) {
  if (TheJobHooks().timer) TheJobHooks().timer(wp);
  return 0;
}

LRESULT OnKeyDown(HWND, WPARAM wp, LPARAM) {
  Shell& s = TheShell();
  if (wp == VK_TAB) {
    GiveFocusTo(s.search_field);
  } else {
    s.view.OnKeyDown(static_cast<int>(wp));
  }
  return 0;
}

LRESULT OnKeyUp(HWND, WPARAM wp, LPARAM) {
  TheShell().view.OnKeyUp(static_cast<int>(wp));
  return 0;
}

LRESULT OnChar(HWND, WPARAM wp, LPARAM) {
  TheShell().view.OnChar(static_cast<int>(wp));
  return 0;
}

LRESULT OnVScroll(HWND, WPARAM wp, LPARAM) {
  TheShell().view.OnVScroll(LOWORD(wp), HIWORD(wp));
  return 0;
}

LRESULT OnHScroll(HWND, WPARAM wp, LPARAM) {
  TheShell().view.OnHScroll(LOWORD(wp));
  return 0;
}

// Three lines per notch of the wheel, as the system's own lists scroll.
LRESULT OnMouseWheel(HWND, WPARAM wp, LPARAM) {
  const int notches = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
  const int request = notches > 0 ? kSbLineUp : kSbLineDown;
  for (int i = 0; i < 3 * (notches > 0 ? notches : -notches); ++i) {
    TheShell().view.OnVScroll(request);
  }
  return 0;
}

LRESULT OnMouseMove(HWND, WPARAM wp, LPARAM lp) {
  Shell& s = TheShell();
  const int x = GET_X_LPARAM(lp);
  const int y = GET_Y_LPARAM(lp);
  if (wp == MK_LBUTTON) {  // the left button alone: the selection follows
    s.view.OnLeftDrag(x, y);
    return 0;
  }
  HoverInfo hover = s.session.Hover(x, y);
  SetCursor(hover.over_link ? s.hand : s.arrow);
  if (hover.has_status) SetStatusText(hover.status);
  return 0;
}

LRESULT OnLeftButtonDown(HWND hwnd, WPARAM, LPARAM lp) {
  TheShell().view.OnLeftButtonDown(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
  GiveFocusTo(hwnd);
  return 0;
}

LRESULT OnLeftButtonUp(HWND, WPARAM, LPARAM lp) {
  TheShell().view.OnLeftButtonUp(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
  return 0;
}

// A task of another thread, handed over by RunOnWindowThread.
LRESULT OnRunTask(HWND, WPARAM, LPARAM lp) {
  RunTaskOfAnotherThread(lp);
  return 0;
}

LRESULT OnJobEnded(HWND, WPARAM wp, LPARAM) {
  if (JobHooks& hooks = TheJobHooks(); hooks.job_ended) hooks.job_ended(static_cast<DWORD>(wp));
  return 0;
}

struct Route {
  UINT message;
  Handler handler;
};

const Route kRoutes[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_SIZE, OnSize},
    {WM_SETFOCUS, OnSetFocus},
    {WM_KILLFOCUS, OnKillFocus},
    {WM_ERASEBKGND, OnEraseBackground},
    {WM_PAINT, OnPaint},
    {WM_COMMAND, OnCommand},
    {WM_TIMER, OnTimer},
    {WM_KEYDOWN, OnKeyDown},
    {WM_KEYUP, OnKeyUp},
    {WM_CHAR, OnChar},
    {WM_VSCROLL, OnVScroll},
    {WM_HSCROLL, OnHScroll},
    {WM_MOUSEWHEEL, OnMouseWheel},
    {WM_MOUSEMOVE, OnMouseMove},
    {WM_LBUTTONDOWN, OnLeftButtonDown},
    {WM_LBUTTONUP, OnLeftButtonUp},
    {kRunTaskMessage, OnRunTask},
    {kJobEndedMessage, OnJobEnded},
};

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  for (const Route& route : kRoutes) {
    if (route.message == msg) return route.handler(hwnd, wp, lp);
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool HandleResize(UINT kind) {
  Shell& s = TheShell();
  s.back_buffer.Release();
  if (!s.back_buffer.Create(s.main, s.fonts.regular.get())) return false;
  s.metrics.Refresh(s.back_buffer, s.fonts);
  if (!s.search_bar) return true;  // still being created: nothing to place yet
  ApplyLayoutRule();
  if (kind == SIZE_RESTORED || kind == SIZE_MAXIMIZED) s.view.SetupScrollBars();
  s.view.OnResize();
  if (s.focus_holder) SetFocus(s.focus_holder);
  return true;
}

void GiveFocusTo(HWND holder) {
  TheShell().focus_holder = holder;
  SetFocus(holder);
}

}  // namespace norvel
