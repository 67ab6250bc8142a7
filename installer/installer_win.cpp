// installer.exe: the licence agreement window, the focus ring of its controls, and the
// Install command that writes the carried program out as norvel.exe. Deliberately free
// of the C++ library so that the program image stays below the payload offset.
#include <windows.h>

#include "installer/extract.h"
#include "installer/license_text.h"
#include "platform/gdi_win.h"
#include "platform/message_loop_win.h"

namespace norvel {
namespace {

enum ControlId {
  kLicenseId = 300,
  kInstallId = 310,
  kCancelId = 320,
  kAcceptId = 330,
  kDeclineId = 340
};
const char kClassName[] = "NorvelInstaller";
const int kWindowWidth = 520, kWindowHeight = 400;

// The one installer window's controls and drawing objects. The fonts are deleted when the
// window is destroyed.
struct InstallerWindow {
  HWND license, accept, decline, install, cancel;
  platform::Font regular, bold;
  HBRUSH white;
  WNDPROC license_proc, accept_proc, decline_proc, install_proc, cancel_proc;
};
InstallerWindow g_window;

platform::Pen MakeSolidPen(COLORREF colour) {
  return platform::Pen(CreatePen(PS_SOLID, 1, colour));
}

HFONT MakeArial(int weight) {
  return CreateFontA(15, 6, 0, 0, weight, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

bool IsChecked(HWND button) {
  return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND button, bool checked) {
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Tab and the arrow keys move the focus around the five controls; the ring is kept by
// the controls themselves since the message loop has no dialog manager.
HWND FocusTarget(int id, UINT msg, WPARAM wp) {
  const InstallerWindow& w = g_window;
  if (msg == WM_CHAR && wp == '\t') {
    switch (id) {
      case kLicenseId:
        return IsChecked(w.accept) ? w.accept : w.decline;
      case kAcceptId:
      case kDeclineId:
        return w.install;
      case kInstallId:
        return w.cancel;
      case kCancelId:
        return w.license;
    }
  } else if (msg == WM_KEYDOWN && (wp == VK_UP || wp == VK_DOWN)) {
    bool up = wp == VK_UP;
    if (id == kAcceptId) return up ? w.license : w.decline;
    if (id == kDeclineId) return up ? w.accept : w.install;
  }
  return nullptr;
}

WNDPROC OriginalProc(int id) {
  switch (id) {
    case kLicenseId:
      return g_window.license_proc;
    case kAcceptId:
      return g_window.accept_proc;
    case kDeclineId:
      return g_window.decline_proc;
    case kInstallId:
      return g_window.install_proc;
    default:
      return g_window.cancel_proc;
  }
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  int id = GetDlgCtrlID(hwnd);
  if (HWND next = FocusTarget(id, msg, wp)) SetFocus(next);
  return CallWindowProcA(OriginalProc(id), hwnd, msg, wp, lp);
}

WNDPROC Subclass(HWND control) {
  return reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
}

HWND MakeControl(HWND parent, DWORD ex_style, const char* cls, const char* text, DWORD style, int x,
                 int y, int width, int height, int id) {
  HWND control =
      CreateWindowExA(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                      parent, reinterpret_cast<HMENU>(id), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_window.regular.get()), FALSE);
  return control;
}

void OnCreate(HWND hwnd) {
  InstallerWindow& w = g_window;
  RECT r;
  GetClientRect(hwnd, &r);
  w.regular.reset(MakeArial(FW_NORMAL));
  w.bold.reset(MakeArial(FW_BOLD));
  w.license = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", nullptr,
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL |
                                  ES_READONLY | ES_WANTRETURN,
                              16, 52, 480, 200, hwnd, reinterpret_cast<HMENU>(kLicenseId),
                              GetModuleHandleA(nullptr), nullptr);
  SendMessageA(w.license, WM_SETFONT, reinterpret_cast<WPARAM>(w.regular.get()), TRUE);
  SetWindowTextA(w.license, kLicenseAgreement);
  w.accept = MakeControl(hwnd, 0, "Button", "I accept the agreement", BS_RADIOBUTTON, r.left + 16,
                         r.bottom - 102, 200, 20, kAcceptId);
  w.decline = MakeControl(hwnd, 0, "Button", "I do not accept the agreement", BS_RADIOBUTTON,
                          r.left + 16, r.bottom - 82, 200, 20, kDeclineId);
  w.install = MakeControl(hwnd, 0, "Button", "Install", BS_PUSHLIKE, r.right - 164, r.bottom - 32,
                          80, 20, kInstallId);
  w.cancel = MakeControl(hwnd, 0, "Button", "Cancel", BS_PUSHLIKE, r.right - 82, r.bottom - 32, 80,
                         20, kCancelId);
  w.white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  SetChecked(w.decline, true);
  SetChecked(w.accept, false);
  w.license_proc = Subclass(w.license);
  w.accept_proc = Subclass(w.accept);
  w.decline_proc = Subclass(w.decline);
  w.install_proc = Subclass(w.install);
  w.cancel_proc = Subclass(w.cancel);
  SetFocus(w.license);
}

void OnPaint(HWND hwnd) {
  platform::PaintScope paint(hwnd);
  HDC dc = paint.dc();
  RECT r;
  GetClientRect(hwnd, &r);
  SetBkMode(dc, TRANSPARENT);
  {
    platform::SelectedObject font(dc, g_window.bold.get());
    TextOutA(dc, r.left + 16, r.top + 2, "License Agreement", 17);
  }
  {
    platform::SelectedObject font(dc, g_window.regular.get());
    static const char kLine1[] =
        "Please read the following license agreement.  You must accept the terms of this";
    static const char kLine2[] = "agreement before continuing with the installation.";
    TextOutA(dc, r.left + 16, r.top + 17, kLine1, sizeof kLine1 - 1);
    TextOutA(dc, r.left + 16, r.top + 32, kLine2, sizeof kLine2 - 1);
  }
  platform::Pen grey = MakeSolidPen(RGB(128, 128, 128)), white = MakeSolidPen(RGB(255, 255, 255));
  {
    platform::SelectedObject pen(dc, grey.get());
    MoveToEx(dc, r.left, r.bottom - 42, nullptr);
    LineTo(dc, r.right, r.bottom - 42);
  }
  {
    platform::SelectedObject pen(dc, white.get());
    MoveToEx(dc, r.left, r.bottom - 43, nullptr);
    LineTo(dc, r.right, r.bottom - 43);
  }
}

// Writes the carried program next to the installer: 0 when written, -1 after a box.
// The installer's own file is found through its module path, whatever it is called.
int ExtractApplication(HWND hwnd) {
  char module[kInstallerPathMax], source[kInstallerPathMax], target[kInstallerPathMax];
  DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
  ExtractResult result = ExtractResult::kCannotReadInstaller;
  if (length > 0 && length < sizeof module && InstallPaths(module, source, target)) {
    result = ExtractPayload(source, target);
  }
  if (result == ExtractResult::kOk) return 0;
  ExtractMessage message = MessageFor(result);
  MessageBoxA(hwnd, message.text, message.caption, MB_OK);
  return -1;
}

void OnInstall(HWND hwnd) {
  if (!IsChecked(g_window.accept)) {
    MessageBoxA(hwnd, "Please Accept the license Agreement in order to install.", "Info", MB_OK);
    return;
  }
  if (ExtractApplication(hwnd) == 0) {
    MessageBoxA(hwnd, "Thanks for installing and using Norvel!", "Info", MB_OK);
    DestroyWindow(hwnd);
  }
}

void OnCommand(HWND hwnd, int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kAcceptId:
    case kDeclineId:
      SetChecked(g_window.accept, id == kAcceptId);
      SetChecked(g_window.decline, id == kDeclineId);
      break;
    case kInstallId:
      OnInstall(hwnd);
      break;
    case kCancelId:
      DestroyWindow(hwnd);
      break;
  }
}

LRESULT CALLBACK InstallerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      OnCreate(hwnd);
      return 0;
    case WM_PAINT:
      OnPaint(hwnd);
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only licence text asks as a static control: white, like paper.
      if (reinterpret_cast<HWND>(lp) != g_window.license) return 0;
      SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(g_window.white);
    case WM_COMMAND:
      OnCommand(hwnd, LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_TAB) SetFocus(g_window.license);
      return 0;
    case WM_SETFOCUS:
      return 0;
    case WM_DESTROY:
      g_window.regular.reset();
      g_window.bold.reset();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace
}  // namespace norvel

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = norvel::InstallerProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
  wc.lpszClassName = norvel::kClassName;
  if (!RegisterClassExA(&wc)) return 0;

  HWND hwnd = CreateWindowExA(0, norvel::kClassName, "Setup - Norvel", WS_OVERLAPPED, CW_USEDEFAULT,
                              CW_USEDEFAULT, norvel::kWindowWidth, norvel::kWindowHeight, nullptr,
                              nullptr, instance, nullptr);
  // Without a window the loop below would wait forever for a quit that never comes.
  if (!hwnd) return 0;
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  MoveWindow(hwnd, desktop.left + (desktop.right - norvel::kWindowWidth) / 2,
             desktop.top + (desktop.bottom - norvel::kWindowHeight) / 2, norvel::kWindowWidth,
             norvel::kWindowHeight, FALSE);
  ShowWindow(hwnd, show);

  return platform::RunMessageLoop();
}
