// norvel.exe: program entry, window classes, the message sink of the application, and the
// message loop.
// clang-format off
#include <windows.h>  // first: commctrl.h needs its types
#include <commctrl.h>
// clang-format on

#include <string>

#include "app/job_hooks_win.h"
#include "app/job_win.h"
#include "app/main_window_win.h"
#include "app/search_bar_win.h"
#include "app/shell_win.h"
#include "core/messages.h"
#include "platform/message_loop_win.h"

namespace norvel {

namespace {

// Message boxes owned by the main window and the status bar's text, both shown by the
// window's thread whichever thread asks (the job's comes through RunOnWindowThread).
class WinUserInterface : public UserInterface {
 public:
  BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxStyle style,
                    bool owned_by_main) override {
    UINT flags = MB_OK;
    if (style == BoxStyle::kInfoOk) flags = MB_OK | MB_ICONINFORMATION;
    if (style == BoxStyle::kPlainOkCancel) flags = MB_OKCANCEL;
    int answer = IDOK;
    RunOnWindowThread([&] {
      HWND owner = owned_by_main ? TheShell().main : nullptr;
      answer = MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    });
    return answer == IDCANCEL ? BoxAnswer::kCancel : BoxAnswer::kOk;
  }
  void SetStatusText(const std::string& text) override {
    RunOnWindowThread([&] {
      if (HWND status = TheShell().status_bar) {
        SendMessageA(status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
      }
    });
  }
};

LRESULT CALLBACK ExportDialogPlaceholder(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// All three classes share these settings; only the procedure differs.
bool RegisterWindowClass(const char* name, WNDPROC proc) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = TheShell().instance;
  wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(kIconResource));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = name;
  return RegisterClassExA(&wc) != 0;
}

void CentreMainWindow() {
  RECT desk{};
  GetWindowRect(GetDesktopWindow(), &desk);
  const int x = desk.left + (desk.right - desk.left - kMainWidth) / 2;
  const int y = desk.top + (desk.bottom - desk.top - kMainHeight) / 2;
  SetWindowPos(TheShell().main, nullptr, x, y, kMainWidth, kMainHeight,
               SWP_NOZORDER | SWP_NOREDRAW);
}

int Run(HINSTANCE instance, int show) {
  Shell& s = TheShell();
  s.instance = instance;
  if (JobProgress* job = TheJobHooks().progress) s.session.set_job(job);
  WinUserInterface ui;
  InstallUserInterface(&ui);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);

  if (!RegisterWindowClass(kMainClass, MainWndProc)) return 0;
  // The creation handler runs the start-up sequence before this returns.
  HWND main =
      CreateWindowExA(0, kMainClass, "Search", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      kMainWidth, kMainHeight, nullptr, nullptr, instance, nullptr);
  if (!main) return 0;
  if (!s.back_buffer.Create(main, s.fonts.regular.get())) {
    DestroyWindow(main);
    UnregisterClassA(kMainClass, instance);
    return 1;
  }
  s.metrics.Refresh(s.back_buffer, s.fonts);
  CentreMainWindow();
  ShowWindow(main, show);

  WNDPROC dialog = TheJobHooks().export_dialog_proc;
  if (!RegisterWindowClass(kSearchBarClass, SearchBarProc) ||
      !RegisterWindowClass(kExportDialogClass, dialog ? dialog : ExportDialogPlaceholder)) {
    return 0;
  }
  if (!CreateChildWindows()) return 0;
  HandleResize(SIZE_RESTORED);
  s.view.ResetCaret();
  s.view.UpdateCaret();
  int code = platform::RunMessageLoop();
  InstallUserInterface(nullptr);
  return code;
}

}  // namespace

}  // namespace norvel

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  // The job's menu commands, timer, thread and export dialog plug into the window before
  // it is made.
  norvel::InstallJobWindow();
  return norvel::Run(instance, show);
}
