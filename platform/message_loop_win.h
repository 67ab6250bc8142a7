// The thread's message loop, as the search window and the setup program both run it.
// Header-only, so that the installer, which links no project library, can use it too.
#pragma once

#include <windows.h>

namespace platform {

// Translates and dispatches this thread's messages until WM_QUIT (or a GetMessage error);
// returns the quit message's code.
inline int RunMessageLoop() {
  MSG msg{};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace platform
