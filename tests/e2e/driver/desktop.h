// Shared parts of the desktop a program writes to: the status bar and the clipboard.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "wait.h"

namespace e2e {

// The first status bar ("msctls_statusbar32") among parent's descendants.
HWND FindStatusBar(HWND parent);
// Text of one part of a status bar. The text is read with SB_GETTEXT into memory
// borrowed in the status bar's own process, since that message is not copied across
// processes by the system.
std::string GetStatusText(HWND status_bar, int part = 0);
// Polls part `part` until pred(text) holds; the last text read goes to *last when given.
bool WaitForStatusText(HWND status_bar, const std::function<bool(const std::string&)>& pred,
                       std::string* last = nullptr, int part = 0,
                       unsigned timeout_ms = kDefaultTimeoutMs);

// Plain text (CF_TEXT) on the clipboard; empty when there is none.
std::string ClipboardText();
bool SetClipboardText(const std::string& text);
bool ClearClipboard();

}  // namespace e2e
