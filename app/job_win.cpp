// The background job as the search window runs it: Index and Cancel from the File menu,
// the progress timer, the job's thread and the shutdown wait.
#include "app/job_win.h"

#include "app/export_dialog_win.h"
#include "app/job_hooks_win.h"
#include "app/shell_win.h"
#include "core/messages.h"
#include "index/marker.h"
#include "platform/handle_win.h"

namespace norvel {

namespace {

constexpr UINT_PTR kProgressTimerId = 4000;
constexpr UINT kProgressTimerMillis = 500;

// The last job's thread, kept after it ended so that the next job and the shutdown can
// wait for it; closed when the next job starts or at shutdown.
platform::KernelHandle g_job_thread;

// A timer belongs to the thread of its window: the job has the window's thread start and
// stop it, through the same route as its boxes and status texts, so that the job's later
// status texts come after the timer has stopped.
class MainJobWindow : public JobWindow {
 public:
  void StartProgressTimer() override {
    RunOnWindowThread([] {
      if (HWND main = TheShell().main) {
        SetTimer(main, kProgressTimerId, kProgressTimerMillis, nullptr);
      }
    });
  }
  void StopProgressTimer() override {
    RunOnWindowThread([] {
      if (HWND main = TheShell().main) KillTimer(main, kProgressTimerId);
    });
  }
};

DWORD g_job_thread_id = 0;
// Work of the window's thread that waits for the job's thread to end (see OnJobEnded).
bool g_dialog_when_job_ends = false;
bool g_cancel_when_job_ends = false;

DWORD WINAPI JobThreadMain(LPVOID) {
  MainJobWindow window;
  IndexJob(&TheJobState(), &window);
  if (HWND main = TheShell().main) {
    PostMessageA(main, kJobEndedMessage, GetCurrentThreadId(), 0);
  }
  return 0;
}

bool JobThreadRunning() {
  return g_job_thread && WaitForSingleObject(g_job_thread.get(), 0) == WAIT_TIMEOUT;
}

void OpenDialog() {
  Shell& s = TheShell();
  EnableWindow(s.main, FALSE);
  if (!OpenExportDialog(s.focus_holder)) {
    // Without a dialog nothing could ever give the window back or start a job.
    EnableWindow(s.main, TRUE);
    UnlockMarker();
    ShowSystemError();
  }
}

void OnIndexCommand() {
  if (!BeginIndexCommand(&TheJobState(), TheShell().settings.app_dir)) return;
  // A job releases the marker a moment before its thread ends, and a failed one only
  // after its last box has been answered: the next job must not start beside it. The
  // window's thread does not wait here, since the job may be waiting for it (a box).
  if (JobThreadRunning()) {
    g_dialog_when_job_ends = true;
    return;
  }
  OpenDialog();
}

void OnCancelCommand() {
  if (InTaskOfAnotherThread()) {
    // The job waits for a box of ours: stop it now and end the Cancel when it has ended.
    TheJobState().progress.stop = true;
    g_cancel_when_job_ends = true;
    return;
  }
  CancelJob(&TheJobState(), [] {
    if (g_job_thread) WaitWithMessages(g_job_thread.get());
  });
}

// The job's thread has made its last call into the window: finish what waited for it.
void OnJobEnded(DWORD thread_id) {
  if (thread_id != g_job_thread_id) return;  // an earlier job's late news
  WaitForSingleObject(g_job_thread.get(), INFINITE);
  if (g_cancel_when_job_ends) {
    g_cancel_when_job_ends = false;
    CancelJob(&TheJobState(), nullptr);
  }
  if (g_dialog_when_job_ends) {
    g_dialog_when_job_ends = false;
    OpenDialog();
  }
}

void OnTimerTick(UINT_PTR) {
  OnProgressTimer(&TheJobState());
}

HANDLE JobThreadForShutdown() {
  return g_job_thread.get();
}

void ReleaseAtShutdown() {
  ReleaseExportDialog();
  g_job_thread.reset();
}

}  // namespace

JobState& TheJobState() {
  static JobState state;
  return state;
}

bool StartJobThread() {
  g_job_thread.reset();  // ended: the Index command waited for it
  g_job_thread_id = 0;
  g_job_thread.reset(CreateThread(nullptr, 0, JobThreadMain, nullptr, 0, &g_job_thread_id));
  return g_job_thread_id != 0;
}

void InstallJobWindow() {
  JobHooks& hooks = TheJobHooks();
  hooks.progress = &TheJobState().progress;
  hooks.index_command = OnIndexCommand;
  hooks.cancel_command = OnCancelCommand;
  hooks.timer = OnTimerTick;
  hooks.job_ended = OnJobEnded;
  hooks.export_dialog_proc = ExportDialogProc;
  hooks.job_thread = JobThreadForShutdown;
  hooks.release = ReleaseAtShutdown;
}

}  // namespace norvel
