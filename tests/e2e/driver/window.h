// Finding the windows of a program under test and reading their state: top-level
// windows by class and caption, children by id, class or text, texts, focus, checks.
// Texts cross the process boundary through WM_GETTEXT / WM_SETTEXT, which the system
// copies between the processes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "wait.h"

namespace e2e {

// Top-level windows of process pid (visible ones unless visible_only is false), in the
// system's z-order.
std::vector<HWND> TopWindows(DWORD pid, bool visible_only = true);
// First visible top-level window of pid whose class is cls (any class when empty) and
// whose caption is caption (any caption when empty). Null when there is none now.
HWND FindTopWindow(DWORD pid, const std::string& cls, const std::string& caption = "");
// The same, polling until it appears or timeout_ms pass.
HWND WaitForTopWindow(DWORD pid, const std::string& cls, const std::string& caption = "",
                      unsigned timeout_ms = kDefaultTimeoutMs);
// True when pid has no visible top-level window of class cls within timeout_ms.
bool WaitForNoTopWindow(DWORD pid, const std::string& cls, unsigned timeout_ms = kDefaultTimeoutMs);

// Direct child with control id `id`.
HWND FindChild(HWND parent, int id);
// The index-th descendant (depth first, in z-order) of class cls, case-insensitive.
HWND FindChildByClass(HWND parent, const std::string& cls, int index = 0);
// First descendant whose text is exactly text.
HWND FindChildByText(HWND parent, const std::string& text);
// Every descendant, depth first.
std::vector<HWND> Descendants(HWND parent);

std::string ClassName(HWND hwnd);
int ControlId(HWND hwnd);
LONG Style(HWND hwnd);
// The window's text through WM_GETTEXT (a control's contents, a window's caption).
std::string GetText(HWND hwnd);
// Sets the text through WM_SETTEXT. No key messages are produced (an edit control still
// notifies EN_CHANGE); to exercise key handling, type with PostText or SendText instead.
bool SetText(HWND hwnd, const std::string& text);
// Polls GetText until it equals text.
bool WaitForText(HWND hwnd, const std::string& text, unsigned timeout_ms = kDefaultTimeoutMs);

// BM_GETCHECK of a check box or radio button.
bool IsChecked(HWND button);
bool IsEnabled(HWND hwnd);
bool IsVisible(HWND hwnd);

// Window rectangle on the screen, and the client rectangle (0, 0, width, height).
RECT WindowRect(HWND hwnd);
RECT ClientRect(HWND hwnd);
// Control's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);

// The window with the keyboard focus in the thread that owns hwnd (any window of the
// program's user-interface thread will do), read with GetGUIThreadInfo.
HWND FocusedWindow(HWND any_window_of_thread);
// The active window of that thread.
HWND ActiveWindow(HWND any_window_of_thread);
bool WaitForFocus(HWND expected, unsigned timeout_ms = kDefaultTimeoutMs);

// Round trip to the window's thread: returns once it has handled everything sent to it
// before (messages posted earlier may still be waiting). False when it did not answer.
bool Ping(HWND hwnd, unsigned timeout_ms = kDefaultTimeoutMs);

}  // namespace e2e
