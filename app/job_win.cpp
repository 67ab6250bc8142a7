// The background job as the search window runs it: Index and Cancel from the File menu,
// the progress timer, the job's thread and the shutdown wait.
#include "app/job_win.h"

#include "app/export_dialog_win.h"
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
KernelHandle g_job_thread;

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

DWORD WINAPI JobThreadMain(LPVOID) {
  MainJobWindow window;
  return static_cast<DWORD>(IndexJob(&TheJobState(), &window));
}

void OnIndexCommand() {
  Shell& s = TheShell();
  if (!BeginIndexCommand(&TheJobState(), s.settings.app_dir)) return;
  // A job releases the marker a moment before its thread ends, and a failed one only
  // after its last box has been answered: the next job must not start beside it.
  if (g_job_thread) WaitWithMessages(g_job_thread.get());
  EnableWindow(s.main, FALSE);
  if (!OpenExportDialog(s.focus_holder)) {
    // Without a dialog nothing could ever give the window back or start a job.
    EnableWindow(s.main, TRUE);
    UnlockMarker();
    ShowSystemError();
  }
}

void OnCancelCommand() {
  CancelJob(&TheJobState(), [] {
    if (g_job_thread) WaitWithMessages(g_job_thread.get());
  });
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
  DWORD id = 0;
  g_job_thread.reset(CreateThread(nullptr, 0, JobThreadMain, nullptr, 0, &id));
  return id != 0;
}

void InstallJobWindow() {
  JobHooks& hooks = TheJobHooks();
  hooks.progress = &TheJobState().progress;
  hooks.index_command = OnIndexCommand;
  hooks.cancel_command = OnCancelCommand;
  hooks.timer = OnTimerTick;
  hooks.export_dialog_proc = ExportDialogProc;
  hooks.job_thread = JobThreadForShutdown;
  hooks.release = ReleaseAtShutdown;
}

// The shell reads the hooks as it starts, so they are filled before the program runs.
const bool g_job_window_installed = (InstallJobWindow(), true);

}  // namespace norvel
