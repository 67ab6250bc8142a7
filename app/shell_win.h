// The search window's one instance of everything: window handles, fonts, back buffer,
// settings, index, job state, result view and search session, and the procedures that
// the window classes and the start-up share.
#pragma once

#include <windows.h>

#include <functional>

#include "app/search_view.h"
#include "core/job_progress.h"
#include "export/settings.h"
#include "index/in_memory_index.h"
#include "viewer/result_view.h"
#include "viewer/view_host_win.h"
#include "viewer/view_surface_win.h"

namespace norvel {

enum ControlId : int {
  kSearchFieldId = 300,
  kSearchButtonId = 400,
  kSearchBarId = 1000,
  kVerticalBarId = 1020,
  kHorizontalBarId = 1030,
  kStatusBarId = 1040,
};

enum CommandId : int {
  kCmdIndex = 2000,
  kCmdCancel = 2010,
  kCmdExit = 2020,
  kCmdCopy = 3000,
  kCmdSelectAll = 3010,
};

constexpr int kSearchBarHeight = 30;
constexpr int kMainWidth = 700;
constexpr int kMainHeight = 600;
constexpr int kIconResource = 100;
constexpr int kSearchFieldLimit = 512;
constexpr char kMainClass[] = "Norvel";
constexpr char kSearchBarClass[] = "NorvelToolbar";
constexpr char kExportDialogClass[] = "NorvelDB";

struct Shell {
  HINSTANCE instance = nullptr;
  HWND main = nullptr;
  HWND search_bar = nullptr;
  HWND search_field = nullptr;
  HWND search_button = nullptr;
  HWND status_bar = nullptr;
  HWND vertical_bar = nullptr;
  HWND horizontal_bar = nullptr;
  // Receives the keyboard focus whenever the main window passes it on.
  HWND focus_holder = nullptr;
  HCURSOR hand = nullptr;
  HCURSOR arrow = nullptr;
  HMENU menu = nullptr;
  WNDPROC edit_proc = nullptr;
  WNDPROC button_proc = nullptr;

  ViewFonts fonts;
  BackBuffer back_buffer;
  GdiMetrics metrics;
  WinViewHost host;

  Settings settings;
  InMemoryIndex index;
  JobProgress job;  // the job's flags until a job plugs in its own (JobHooks::progress)
  ResultView view{&metrics, &host};
  SearchSession session{&settings, &index, &job, &view};
};

Shell& TheShell();

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK SearchBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Creates the search bar (with its field and button), the status bar and the two scroll
// bars and places them; false as soon as one cannot be created.
bool CreateChildWindows();
// The layout rule: the search bar across the top, 30 high; the status bar at the bottom;
// the vertical bar at the right between them; the horizontal bar above the status bar.
void ApplyLayoutRule();
// The main window's resize handling; false when the back buffer could not be made again.
bool HandleResize(UINT kind);
// Makes the window the focus holder and gives it the focus.
void GiveFocusTo(HWND holder);

// The background job and the export dialog plug in here, before the program starts (a
// static initialiser of their own file will do): the File menu's Index and Cancel, the
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
