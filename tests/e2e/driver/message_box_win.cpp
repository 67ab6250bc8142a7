// Reading and answering message boxes of another process.
#include "input.h"
#include "message_box.h"
#include "window.h"

namespace e2e {

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.hwnd = box;
  info.owner = GetWindow(box, GW_OWNER);
  info.caption = GetText(box);
  for (HWND child : Descendants(box)) {
    std::string cls = ClassName(child);
    LONG style = Style(child);
    if (lstrcmpiA(cls.c_str(), "Static") == 0) {
      // The icon is a static too; the message is the static that holds text.
      if ((style & SS_TYPEMASK) == SS_ICON) continue;
      std::string text = GetText(child);
      if (!text.empty() && info.text.empty()) info.text = text;
    } else if (lstrcmpiA(cls.c_str(), "Button") == 0 && IsWindowVisible(child)) {
      info.buttons.push_back(GetText(child));
    }
  }
  return info;
}

MessageBoxInfo FindMessageBox(DWORD pid) {
  for (HWND hwnd : TopWindows(pid)) {
    if (ClassName(hwnd) == "#32770") return ReadMessageBox(hwnd);
  }
  return MessageBoxInfo();
}

MessageBoxInfo WaitForMessageBox(DWORD pid, unsigned timeout_ms) {
  MessageBoxInfo info;
  // The box's text arrives a moment after its window; wait for both.
  WaitUntil(
      [&] {
        info = FindMessageBox(pid);
        return info.hwnd != nullptr && !info.text.empty();
      },
      timeout_ms);
  return info;
}

bool AnswerMessageBox(HWND box, int button_id, unsigned timeout_ms) {
  HWND button = GetDlgItem(box, button_id);
  PostCommand(box, button_id, BN_CLICKED, button);
  return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeout_ms);
}

}  // namespace e2e
