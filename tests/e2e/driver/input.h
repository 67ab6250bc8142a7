// Acting on a program under test: buttons, menu commands, mouse and keys.
//
// Two kinds of input:
// - Posted messages (Post*): go straight into the target window's queue, need no
//   foreground window and never block, even when the handler opens a modal box. The
//   program's own message loop still runs TranslateMessage, so a posted WM_KEYDOWN of a
//   character key produces its WM_CHAR as real typing does. The keyboard state is not
//   changed: a program that asks GetKeyState(VK_CONTROL) sees no modifier.
// - Real input (Send*): SendInput after bringing the window to the front; goes through
//   the system like a user's keyboard and mouse, so modifiers, GetKeyState, the cursor
//   position and hit-testing all work. Needs the desktop: tests that use it should hold
//   the e2e_desktop resource lock (norvel_e2e_test does that for every test).
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace e2e {

// BM_CLICK posted to the button: the button itself presses and releases and notifies its
// parent with BN_CLICKED. Returns at once.
bool ClickButton(HWND button);
// WM_COMMAND as a menu item or accelerator sends it (notification code 0 for a menu).
bool PostCommand(HWND window, int id, int code = 0, HWND control = nullptr);

// Mouse messages at client coordinates of hwnd; keys are MK_* flags held during the move.
bool PostMouseMove(HWND hwnd, int x, int y, WPARAM keys = 0);
bool PostLeftDown(HWND hwnd, int x, int y, WPARAM keys = 0);
bool PostLeftUp(HWND hwnd, int x, int y, WPARAM keys = 0);
// Move, down and up at one point.
bool PostLeftClick(HWND hwnd, int x, int y);
bool PostLeftDoubleClick(HWND hwnd, int x, int y);
// Press at (x1, y1), move in `steps` moves to (x2, y2) holding the button, release there.
bool PostLeftDrag(HWND hwnd, int x1, int y1, int x2, int y2, int steps = 4);
// WM_MOUSEWHEEL (delta a multiple of WHEEL_DELTA, positive away from the user) at client
// point (x, y); the message carries screen coordinates, as the system's does.
bool PostMouseWheel(HWND hwnd, int delta, int x, int y);

// WM_KEYDOWN then WM_KEYUP of a virtual key (VK_TAB, VK_DOWN, 'A'...). The character a
// key-down makes is queued by the program's TranslateMessage behind anything posted in
// the meantime: wait for its effect before posting characters with PostChar/PostText.
bool PostKey(HWND hwnd, UINT vk);
bool PostKeyDown(HWND hwnd, UINT vk);
bool PostKeyUp(HWND hwnd, UINT vk);
// WM_CHAR alone, as TranslateMessage would deliver it.
bool PostChar(HWND hwnd, char c);
// Each character as WM_CHAR ("\r" for Enter, "\t" for Tab).
bool PostText(HWND hwnd, const std::string& text);

// Makes the top-level window the foreground window (and its thread's active window);
// true once the system reports it so.
bool BringToFront(HWND top_level);
// Real key press of vk with modifiers held down around it (VK_CONTROL, VK_SHIFT,
// VK_MENU), to the foreground window: SendKey('C', {VK_CONTROL}) is Ctrl+C.
bool SendKey(UINT vk, std::initializer_list<UINT> modifiers = {});
// Real typing of text (each character as a Unicode key press).
bool SendText(const std::string& text);
// Real mouse: move the cursor to client point (x, y) of hwnd and click there.
bool SendMouseMove(HWND hwnd, int x, int y);
bool SendLeftClick(HWND hwnd, int x, int y);
// Cursor position in hwnd's client coordinates.
POINT CursorInClient(HWND hwnd);

}  // namespace e2e
