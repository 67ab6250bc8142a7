// Message boxes of a program under test: wait for one, read its caption, text and
// buttons, press a button.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "wait.h"

namespace e2e {

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::string caption;
  std::string text;
  // Texts of the push buttons, in z-order ("OK", "Cancel", ...).
  std::vector<std::string> buttons;
};

// A visible dialog-class ("#32770") top-level window of pid, read now; hwnd is null when
// there is none.
MessageBoxInfo FindMessageBox(DWORD pid);
// Polls until a message box of pid shows; hwnd is null when none came in timeout_ms.
MessageBoxInfo WaitForMessageBox(DWORD pid, unsigned timeout_ms = kDefaultTimeoutMs);
// Reads caption, text and buttons of a dialog window.
MessageBoxInfo ReadMessageBox(HWND box);
// Presses the button with that id (IDOK, IDCANCEL, IDYES, IDNO) and waits until the box
// is gone; false when it stayed.
bool AnswerMessageBox(HWND box, int button_id = IDOK, unsigned timeout_ms = kDefaultTimeoutMs);

}  // namespace e2e
