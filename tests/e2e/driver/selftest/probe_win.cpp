// A small window for the driver's self-test: an edit, a button that opens a box, a
// two-part status bar that reports mouse and keys, a menu, a red square to photograph.
// Command line: "hang" never opens a window; "nowindow exit=N" ends at once with N;
// otherwise "exit=N" is the exit code after File > Quit.
#include <windows.h>
// commctrl.h needs windows.h before it.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kEditId = 101, kGreetId = 102, kStatusId = 103;
const int kCopyCommand = 200, kQuitCommand = 201;
int g_exit_code = 0;
HWND g_edit, g_status;

void Status(int part, const char* format, int a, int b = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  SendMessageA(g_status, SB_SETTEXTA, part, reinterpret_cast<LPARAM>(text));
}

void CopyEditToClipboard(HWND hwnd) {
  char text[256];
  int n = GetWindowTextA(g_edit, text, sizeof text);
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, n + 1);
  std::memcpy(GlobalLock(data), text, n + 1);
  GlobalUnlock(data);
  if (OpenClipboard(hwnd)) {
    EmptyClipboard();
    SetClipboardData(CF_TEXT, data);
    CloseClipboard();
    Status(0, "copied %d", n);
  } else {
    GlobalFree(data);
  }
}

void Greet(HWND hwnd) {
  char name[200], text[256];
  GetWindowTextA(g_edit, name, sizeof name);
  std::snprintf(text, sizeof text, "Hello, %s", name);
  int answer = MessageBoxA(hwnd, text, "Probe", MB_OKCANCEL);
  Status(0, "answer %d", answer);
}

void Create(HWND hwnd) {
  g_edit = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10,
                           10, 200, 22, hwnd, reinterpret_cast<HMENU>(kEditId), nullptr, nullptr);
  CreateWindowExA(0, "Button", "Greet", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 220, 10, 80, 24,
                  hwnd, reinterpret_cast<HMENU>(kGreetId), nullptr, nullptr);
  g_status = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "ready", hwnd, kStatusId);
  int parts[2] = {200, -1};
  SendMessageA(g_status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  SendMessageA(g_status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("second"));
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kCopyCommand, "&Copy");
  AppendMenuA(file, MF_STRING, kQuitCommand, "&Quit");
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  SetMenu(hwnd, bar);
  SetFocus(g_edit);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      Create(hwnd);
      return 0;
    case WM_SIZE:
      SendMessageA(g_status, WM_SIZE, 0, 0);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kGreetId && HIWORD(wp) == BN_CLICKED) Greet(hwnd);
      if (LOWORD(wp) == kCopyCommand) CopyEditToClipboard(hwnd);
      if (LOWORD(wp) == kQuitCommand) DestroyWindow(hwnd);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      Status(0, "down %d,%d", static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_LBUTTONUP:
      Status(0, "up %d,%d", static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_MOUSEMOVE:
      Status(1, "move %d,%d", static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_KEYDOWN:
      Status(1, "key %d ctrl=%d", static_cast<int>(wp), GetKeyState(VK_CONTROL) < 0 ? 1 : 0);
      return 0;
    case WM_CHAR:
      Status(0, "char %d", static_cast<int>(wp));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT square = {300, 60, 340, 100};
      HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
      FillRect(dc, &square, red);
      DeleteObject(red);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(g_exit_code);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show) {
  if (const char* exit = std::strstr(command_line, "exit=")) g_exit_code = std::atoi(exit + 5);
  if (std::strstr(command_line, "hang")) Sleep(INFINITE);
  if (std::strstr(command_line, "nowindow")) return g_exit_code;

  InitCommonControls();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "E2eProbe";
  if (!RegisterClassA(&wc)) return 99;
  HWND hwnd = CreateWindowExA(0, "E2eProbe", "Driver Probe", WS_OVERLAPPEDWINDOW, 100, 100, 420,
                              320, nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
