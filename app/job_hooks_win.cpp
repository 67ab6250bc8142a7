// Where the background job plugs into the window, and the wait that keeps the window's
// thread answering while it waits for the job.
#include "app/shell_win.h"

namespace norvel {

JobHooks& TheJobHooks() {
  static JobHooks hooks;
  return hooks;
}

void WaitWithMessages(HANDLE handle) {
  bool quit = false;
  WPARAM quit_code = 0;
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT);
    if (r != WAIT_OBJECT_0 + 1) break;  // the handle is signalled, or the wait failed
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quit_code = msg.wParam;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
}

}  // namespace norvel
