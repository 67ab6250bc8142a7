// The background job as the search window runs it: Index and Cancel from the File menu,
// the progress timer, the job's thread and the shutdown wait.
#include "app/job_win.h"

#include "app/messages.h"
#include "app/shell_win.h"
#include "export/export_dialog_win.h"
#include "index/marker.h"

namespace norvel {

namespace {

constexpr UINT_PTR kProgressTimerId = 4000;
constexpr UINT kProgressTimerMillis = 500;

// A timer belongs to the thread of its window, so the job thread cannot start or stop the
// main window's timer itself: it asks this message-only window of the user-interface
// thread to do it. The ask is sent, not posted, so that the job's later status texts come
// after the timer has stopped.
constexpr char kRelayClass[] = "NorvelJobRelay";
constexpr UINT kStartTimerRequest = WM_APP + 1;
constexpr UINT kStopTimerRequest = WM_APP + 2;

HANDLE g_job_thread = nullptr;
HWND g_relay = nullptr;

LRESULT CALLBACK RelayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  HWND main = TheShell().main;
  if (msg == kStartTimerRequest) {
    if (main) SetTimer(main, kProgressTimerId, kProgressTimerMillis, nullptr);
    return 0;
  }
  if (msg == kStopTimerRequest) {
    if (main) KillTimer(main, kProgressTimerId);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

class RelayedJobWindow : public JobWindow {
 public:
  void StartProgressTimer() override { SendMessageA(g_relay, kStartTimerRequest, 0, 0); }
  void StopProgressTimer() override { SendMessageA(g_relay, kStopTimerRequest, 0, 0); }
};

// Made on the user-interface thread, before the first job can ask anything of it.
void CreateRelay() {
  if (g_relay) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = RelayProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kRelayClass;
  RegisterClassExA(&wc);
  g_relay = CreateWindowExA(0, kRelayClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                            nullptr);
}

DWORD WINAPI JobThreadMain(LPVOID) {
  RelayedJobWindow window;
  return static_cast<DWORD>(IndexJob(&TheJobState(), &window));
}

void OnIndexCommand() {
  Shell& s = TheShell();
  if (!BeginIndexCommand(&TheJobState(), s.settings.app_dir)) return;
  // A job releases the marker a moment before its thread ends, and a failed one only
  // after its last box has been answered: the next job must not start beside it.
  if (g_job_thread) WaitWithMessages(g_job_thread);
  CreateRelay();
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
    if (g_job_thread) WaitWithMessages(g_job_thread);
  });
}

void OnTimerTick(UINT_PTR) {
  OnProgressTimer(&TheJobState());
}

HANDLE JobThreadForShutdown() {
  return g_job_thread;
}

void ReleaseAtShutdown() {
  ReleaseExportDialog();
  if (g_job_thread) CloseHandle(g_job_thread);
  g_job_thread = nullptr;
  if (g_relay) DestroyWindow(g_relay);
  g_relay = nullptr;
}

}  // namespace

JobState& TheJobState() {
  static JobState state;
  return state;
}

bool StartJobThread() {
  if (g_job_thread) CloseHandle(g_job_thread);  // ended: the Index command waited for it
  DWORD id = 0;
  g_job_thread = CreateThread(nullptr, 0, JobThreadMain, nullptr, 0, &id);
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
