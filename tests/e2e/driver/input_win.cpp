// Posted and real input for end-to-end tests.
#include <vector>

#include "input.h"
#include "wait.h"
#include "window.h"

namespace e2e {

namespace {

LPARAM PointParam(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

bool IsExtendedKey(UINT vk) {
  switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
      return true;
    default:
      return false;
  }
}

// The lParam the system gives a key message: repeat count 1, scan code, extended flag,
// and for a release the previous-state and transition bits.
LPARAM KeyParam(UINT vk, bool up) {
  LPARAM param = 1 | (static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16);
  if (IsExtendedKey(vk)) param |= 1 << 24;
  if (up) param |= static_cast<LPARAM>(0xC0000000u);
  return param;
}

bool SendInputs(std::vector<INPUT>& inputs) {
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

INPUT KeyInput(UINT vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = static_cast<WORD>(vk);
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
  in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
  return in;
}

}  // namespace

bool ClickButton(HWND button) {
  return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

bool PostCommand(HWND window, int id, int code, HWND control) {
  return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, code),
                      reinterpret_cast<LPARAM>(control)) != 0;
}

bool PostMouseMove(HWND hwnd, int x, int y, WPARAM keys) {
  return PostMessageA(hwnd, WM_MOUSEMOVE, keys, PointParam(x, y)) != 0;
}

bool PostLeftDown(HWND hwnd, int x, int y, WPARAM keys) {
  return PostMessageA(hwnd, WM_LBUTTONDOWN, keys | MK_LBUTTON, PointParam(x, y)) != 0;
}

bool PostLeftUp(HWND hwnd, int x, int y, WPARAM keys) {
  return PostMessageA(hwnd, WM_LBUTTONUP, keys, PointParam(x, y)) != 0;
}

bool PostLeftClick(HWND hwnd, int x, int y) {
  return PostMouseMove(hwnd, x, y) && PostLeftDown(hwnd, x, y) && PostLeftUp(hwnd, x, y);
}

bool PostLeftDoubleClick(HWND hwnd, int x, int y) {
  return PostLeftClick(hwnd, x, y) &&
         PostMessageA(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, PointParam(x, y)) &&
         PostLeftUp(hwnd, x, y);
}

bool PostLeftDrag(HWND hwnd, int x1, int y1, int x2, int y2, int steps) {
  if (steps < 1) steps = 1;
  bool ok = PostMouseMove(hwnd, x1, y1) && PostLeftDown(hwnd, x1, y1);
  for (int i = 1; ok && i <= steps; ++i) {
    ok = PostMouseMove(hwnd, x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps, MK_LBUTTON);
  }
  return ok && PostLeftUp(hwnd, x2, y2);
}

bool PostMouseWheel(HWND hwnd, int delta, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(hwnd, &p);
  return PostMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                      PointParam(p.x, p.y)) != 0;
}

bool PostKeyDown(HWND hwnd, UINT vk) {
  return PostMessageA(hwnd, WM_KEYDOWN, vk, KeyParam(vk, false)) != 0;
}

bool PostKeyUp(HWND hwnd, UINT vk) {
  return PostMessageA(hwnd, WM_KEYUP, vk, KeyParam(vk, true)) != 0;
}

bool PostKey(HWND hwnd, UINT vk) {
  return PostKeyDown(hwnd, vk) && PostKeyUp(hwnd, vk);
}

bool PostChar(HWND hwnd, char c) {
  return PostMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(c), 1) != 0;
}

bool PostText(HWND hwnd, const std::string& text) {
  for (char c : text) {
    if (!PostChar(hwnd, c)) return false;
  }
  return true;
}

bool BringToFront(HWND top_level) {
  // The system only lets the foreground process hand the foreground on; a synthetic
  // Alt press first counts as user input and lifts that restriction.
  return WaitUntil(
      [&] {
        if (GetForegroundWindow() == top_level) return true;
        std::vector<INPUT> alt = {KeyInput(VK_MENU, false), KeyInput(VK_MENU, true)};
        SendInputs(alt);
        SetForegroundWindow(top_level);
        return false;
      },
      10000, 50);
}

bool SendKey(UINT vk, std::initializer_list<UINT> modifiers) {
  std::vector<INPUT> inputs;
  for (UINT m : modifiers) inputs.push_back(KeyInput(m, false));
  inputs.push_back(KeyInput(vk, false));
  inputs.push_back(KeyInput(vk, true));
  for (auto it = modifiers.end(); it != modifiers.begin();) inputs.push_back(KeyInput(*--it, true));
  return SendInputs(inputs);
}

bool SendText(const std::string& text) {
  std::vector<INPUT> inputs;
  for (char c : text) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = static_cast<unsigned char>(c);
    in.ki.dwFlags = KEYEVENTF_UNICODE;
    inputs.push_back(in);
    in.ki.dwFlags |= KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  return inputs.empty() || SendInputs(inputs);
}

bool SendMouseMove(HWND hwnd, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(hwnd, &p);
  if (!SetCursorPos(p.x, p.y)) return false;
  // SetCursorPos moves the pointer without a mouse message; a zero-length move makes
  // the window under it hear about it as it would from a real mouse.
  std::vector<INPUT> move(1);
  move[0].type = INPUT_MOUSE;
  move[0].mi.dwFlags = MOUSEEVENTF_MOVE;
  return SendInputs(move);
}

bool SendLeftClick(HWND hwnd, int x, int y) {
  if (!SendMouseMove(hwnd, x, y)) return false;
  std::vector<INPUT> click(2);
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendInputs(click);
}

POINT CursorInClient(HWND hwnd) {
  POINT p = {};
  GetCursorPos(&p);
  ScreenToClient(hwnd, &p);
  return p;
}

}  // namespace e2e
