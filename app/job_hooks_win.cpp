// Where the background job plugs into the window, the one route by which its thread
// reaches the window, and the wait that keeps the window's thread answering meanwhile.
#include "app/job_hooks_win.h"

#include "app/shell_win.h"

namespace norvel {

JobHooks& TheJobHooks() {
  static JobHooks hooks;
  return hooks;
}

void RunOnWindowThread(const std::function<void()>& task) {
  HWND main = TheShell().main;
  if (!main || GetWindowThreadProcessId(main, nullptr) == GetCurrentThreadId()) {
    task();
    return;
  }
  // Sent, not posted: the job waits for a box's answer, and its next status text comes
  // after the previous one. The window's thread runs the task whenever it takes messages,
  // in its message loop, in a modal loop, or in WaitWithMessages.
  SendMessageA(main, kRunTaskMessage, 0, reinterpret_cast<LPARAM>(&task));
}

namespace {
int g_task_depth = 0;  // tasks of another thread running on the window's thread
}  // namespace

void RunTaskOfAnotherThread(LPARAM task) {
  ++g_task_depth;
  (*reinterpret_cast<const std::function<void()>*>(task))();
  --g_task_depth;
}

bool InTaskOfAnotherThread() {
  return g_task_depth > 0;
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
