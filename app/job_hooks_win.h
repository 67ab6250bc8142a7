// Where the background job plugs into the window, and the one route from another thread to
// the window's thread.
#pragma once

#include <windows.h>

#include <functional>

#include "core/job_progress.h"

namespace norvel {

// The background job and the export dialog plug in here before the window is made
// (WinMain installs them first): the File menu's Index and Cancel, the
// progress timer, the end of the job's thread, the NorvelDB window procedure, the job's
// thread for the shutdown wait, the release of the dialog's data at shutdown, and the
// job's shared flags, whose ready flag the search command and the start-up swap act on. Unset
// entries do nothing (NorvelDB then gets the default procedure; the flags are the shell's own).
struct JobHooks {
  JobProgress* progress = nullptr;
  void (*index_command)() = nullptr;
  void (*cancel_command)() = nullptr;
  void (*timer)(UINT_PTR id) = nullptr;
  void (*job_ended)(DWORD thread_id) = nullptr;
  WNDPROC export_dialog_proc = nullptr;
  HANDLE (*job_thread)() = nullptr;
  void (*release)() = nullptr;
};
JobHooks& TheJobHooks();

// The one route from another thread (the background job's) to the window: the task runs
// on the main window's thread, and the call returns once it has run. Called on that thread
// itself, or before the main window exists, the task runs at once. Boxes, status texts and
// the progress timer all come this way, so the job never calls into a window itself.
void RunOnWindowThread(const std::function<void()>& task);
// The main window's message that carries such a task (LPARAM: the std::function), and its
// handling on the window's thread.
constexpr UINT kRunTaskMessage = WM_APP + 1;
void RunTaskOfAnotherThread(LPARAM task);
// True while the window's thread runs a task of another thread, which waits for it (a box
// the job shows, and whatever the box's own message loop dispatches meanwhile): waiting
// for that thread now would never end.
bool InTaskOfAnotherThread();
// Posted by the job's thread as its last act (WPARAM: its thread id), so the window's
// thread learns of its end whatever loop it runs.
constexpr UINT kJobEndedMessage = WM_APP + 2;

// Waits for the handle without a time limit while handling this thread's messages, so
// that the job's status texts, timer ticks and message boxes, which all need this
// thread, keep flowing. A quit message seen meanwhile is posted again afterwards.
void WaitWithMessages(HANDLE handle);

}  // namespace norvel
