// The search window's one instance of everything: window handles, fonts, back buffer,
// settings, index, job state, result view and search session (the window procedures are in
// main_window_win.h and search_bar_win.h, the job's plug in job_hooks_win.h).
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
  kCmdOrderByRelevance = 3100,
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

}  // namespace norvel
