// Window lookup and state reading for end-to-end tests.
#include "window.h"

namespace e2e {

namespace {

struct TopSearch {
  DWORD pid;
  bool visible_only;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<TopSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == s->pid && (!s->visible_only || IsWindowVisible(hwnd))) s->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

bool SameTextNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

const unsigned kSendLimitMs = 5000;

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, bool visible_only) {
  TopSearch s{pid, visible_only, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND FindTopWindow(DWORD pid, const std::string& cls, const std::string& caption) {
  for (HWND hwnd : TopWindows(pid)) {
    if (!cls.empty() && !SameTextNoCase(ClassName(hwnd), cls)) continue;
    if (!caption.empty() && GetText(hwnd) != caption) continue;
    return hwnd;
  }
  return nullptr;
}

HWND WaitForTopWindow(DWORD pid, const std::string& cls, const std::string& caption,
                      unsigned timeout_ms) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopWindow(pid, cls, caption)) != nullptr; }, timeout_ms);
  return found;
}

bool WaitForNoTopWindow(DWORD pid, const std::string& cls, unsigned timeout_ms) {
  return WaitUntil([&] { return FindTopWindow(pid, cls) == nullptr; }, timeout_ms);
}

HWND FindChild(HWND parent, int id) {
  return GetDlgItem(parent, id);
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND FindChildByClass(HWND parent, const std::string& cls, int index) {
  for (HWND hwnd : Descendants(parent)) {
    if (SameTextNoCase(ClassName(hwnd), cls) && index-- == 0) return hwnd;
  }
  return nullptr;
}

HWND FindChildByText(HWND parent, const std::string& text) {
  for (HWND hwnd : Descendants(parent)) {
    if (GetText(hwnd) == text) return hwnd;
  }
  return nullptr;
}

std::string ClassName(HWND hwnd) {
  char buf[256];
  int n = GetClassNameA(hwnd, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

int ControlId(HWND hwnd) {
  return GetDlgCtrlID(hwnd);
}

LONG Style(HWND hwnd) {
  return GetWindowLongA(hwnd, GWL_STYLE);
}

std::string GetText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendLimitMs, &length)) {
    return std::string();
  }
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, kSendLimitMs, &copied)) {
    return std::string();
  }
  text.resize(copied < length ? copied : length);
  return text;
}

bool SetText(HWND hwnd, const std::string& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, kSendLimitMs, &result) != 0 &&
         result != 0;
}

bool WaitForText(HWND hwnd, const std::string& text, unsigned timeout_ms) {
  return WaitUntil([&] { return GetText(hwnd) == text; }, timeout_ms);
}

bool IsChecked(HWND button) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendLimitMs, &state);
  return state == BST_CHECKED;
}

bool IsEnabled(HWND hwnd) {
  return IsWindowEnabled(hwnd) != 0;
}
bool IsVisible(HWND hwnd) {
  return IsWindowVisible(hwnd) != 0;
}

RECT WindowRect(HWND hwnd) {
  RECT r = {};
  GetWindowRect(hwnd, &r);
  return r;
}

RECT ClientRect(HWND hwnd) {
  RECT r = {};
  GetClientRect(hwnd, &r);
  return r;
}

RECT RectInParent(HWND child) {
  RECT r = WindowRect(child);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND FocusedWindow(HWND any_window_of_thread) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(any_window_of_thread, nullptr), &info)) {
    return nullptr;
  }
  return info.hwndFocus;
}

HWND ActiveWindow(HWND any_window_of_thread) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(any_window_of_thread, nullptr), &info)) {
    return nullptr;
  }
  return info.hwndActive;
}

bool WaitForFocus(HWND expected, unsigned timeout_ms) {
  return WaitUntil([&] { return FocusedWindow(expected) == expected; }, timeout_ms);
}

bool Ping(HWND hwnd, unsigned timeout_ms) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, timeout_ms, &result) != 0;
}

}  // namespace e2e
