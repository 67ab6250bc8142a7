// The export dialog window: its controls and labels, the Tab chain, and the Get Schemas,
// Index and Done buttons. A top-level window that acts as a modal dialog: the main window
// stays disabled while it is open.
#include "app/export_dialog_win.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/job_win.h"
#include "app/main_window_win.h"
#include "app/shell_win.h"
#include "core/messages.h"
#include "export/ar_api.h"
#include "export/schema_list.h"
#include "export/secret.h"
#include "job/export_dialog.h"
#include "platform/gdi_win.h"

namespace norvel {

namespace {

constexpr int kDialogWidth = 600;
constexpr int kDialogHeight = 500;
constexpr int kQueryLimit = 1024;
constexpr size_t kConnectionFieldChars = 511;  // what Get Schemas takes of each field
constexpr int kLabelX = 5;
// The connection's control record keeps 30 characters of the user and of the password;
// the fields accept no more, so what is typed is what the server gets.
constexpr int kAccessNameLimit = static_cast<int>(sizeof(ARAccessNameType) - 1);

const DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;

struct ControlSpec {
  int id;
  const char* window_class;
  const char* text;
  DWORD style;
  DWORD ex_style;
  int x, y, width, height;
  int limit;  // characters an edit field accepts; 0 for the others
};

// In the order of creation. The Query field starts at 512 and is raised to 1024 once every
// control exists.
const ControlSpec kControls[] = {
    {kServerEditId, "Edit", "", kEditStyle, WS_EX_CLIENTEDGE, 100, 5, 150, 20, 512},
    {kUserEditId, "Edit", "", kEditStyle, WS_EX_CLIENTEDGE, 100, 27, 150, 20, kAccessNameLimit},
    {kPasswordEditId, "Edit", "", kEditStyle | ES_PASSWORD, WS_EX_CLIENTEDGE, 100, 49, 150, 20,
     kAccessNameLimit},
    {kGetSchemasButtonId, "Button", "Get Schemas", kButtonStyle, 0, 100, 76, 100, 20, 0},
    {kSchemaListId, "ListBox", "",
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_MULTIPLESEL,
     WS_EX_CLIENTEDGE, 100, 117, 450, 204, 0},
    {kQueryEditId, "Edit", "", kEditStyle, WS_EX_CLIENTEDGE, 100, 319, 450, 20, 512},
    {kMaxRecordsEditId, "Edit", "", kEditStyle, WS_EX_CLIENTEDGE, 100, 341, 154, 20, 6},
    {kDataDirEditId, "Edit", "", kEditStyle, WS_EX_CLIENTEDGE, 100, 363, 154, 20, 260},
    {kIndexDirEditId, "Edit", "", kEditStyle, WS_EX_CLIENTEDGE, 100, 385, 154, 20, 260},
    {kIndexButtonId, "Button", "Index", kButtonStyle, 0, 100, 412, 60, 20, 0},
    {kDoneButtonId, "Button", "Done", kButtonStyle, 0, 530, 450, 60, 20, 0},
};
constexpr size_t kControlCount = sizeof kControls / sizeof kControls[0];

struct Label {
  const char* text;
  int y;
};
const Label kLabels[] = {
    {"Server", 5},  {"User", 27},         {"Password", 49},  {"Schemas", 117},
    {"Query", 319}, {"Max records", 341}, {"Data dir", 363}, {"Index dir", 385},
};

// Everything here belongs to the user-interface thread.
struct DialogState {
  HWND dialog = nullptr;
  HWND remembered_focus = nullptr;            // the focus holder before the dialog opened
  std::vector<std::string> schema_names;      // the list's items, kept across openings
  WNDPROC previous_proc[kControlCount] = {};  // of each control, before FieldKeyProc
};

DialogState& Dialog() {
  static DialogState state;
  return state;
}

HWND Control(int id) {
  return GetDlgItem(Dialog().dialog, id);
}

size_t ControlIndex(int id) {
  for (size_t i = 0; i < kControlCount; ++i) {
    if (kControls[i].id == id) return i;
  }
  return kControlCount;
}

// FieldKeyProc: Tab moves the focus to the next control of the chain; the character then
// goes on to the control as every other message does.
LRESULT CALLBACK FieldKeyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const int id = GetDlgCtrlID(hwnd);
  if (msg == WM_CHAR && wp == '\t') {
    if (HWND next = Control(NextInTabChain(id))) GiveFocusTo(next);
  }
  const size_t index = ControlIndex(id);
  WNDPROC previous = index < kControlCount ? Dialog().previous_proc[index] : nullptr;
  if (!previous) return DefWindowProcA(hwnd, msg, wp, lp);
  return CallWindowProcA(previous, hwnd, msg, wp, lp);
}

bool CreateExportControls(HWND dialog) {
  DialogState& d = Dialog();
  const WPARAM font = reinterpret_cast<WPARAM>(TheShell().fonts.regular.get());
  for (size_t i = 0; i < kControlCount; ++i) {
    const ControlSpec& c = kControls[i];
    HWND control = CreateWindowExA(
        c.ex_style, c.window_class, c.text, c.style, c.x, c.y, c.width, c.height, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), TheShell().instance, nullptr);
    SendMessageA(control, WM_SETFONT, font, TRUE);
    if (c.limit > 0) SendMessageA(control, EM_LIMITTEXT, c.limit, 0);
    d.previous_proc[i] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldKeyProc)));
  }
  SendMessageA(Control(kPasswordEditId), EM_SETPASSWORDCHAR, '*', 0);
  GiveFocusTo(Control(kServerEditId));
  SendMessageA(Control(kQueryEditId), EM_LIMITTEXT, kQueryLimit, 0);
  return true;
}

std::string FieldText(int id, size_t limit = std::string::npos) {
  HWND control = Control(id);
  std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(
      static_cast<size_t>(GetWindowTextA(control, &text[0], static_cast<int>(text.size()))));
  if (text.size() > limit) text.resize(limit);
  return text;
}

// The password goes through a buffer of its own that is wiped at once.
void ReadPassword(SecretText* out) {
  char buffer[kConnectionFieldChars + 1] = {0};
  int n = GetWindowTextA(Control(kPasswordEditId), buffer, sizeof buffer);
  out->Assign(buffer, static_cast<size_t>(n > 0 ? n : 0));
  WipeMemory(buffer, sizeof buffer);
}

void SetField(int id, const std::string& text) {
  SetWindowTextA(Control(id), text.c_str());
}

// Fills the list, selects what is marked and widens its scroll range to the widest name.
void FillSchemaList(const std::vector<std::string>& names, const std::vector<bool>& selected) {
  HWND list = Control(kSchemaListId);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  int widest = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i].c_str()));
    if (i < selected.size() && selected[i])
      SendMessageA(list, LB_SETSEL, TRUE, static_cast<LPARAM>(i));
    widest = std::max(widest, TheShell().metrics.TextWidth(names[i]));
  }
  SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 5), 0);
}

// The indexes of the selected items, at most one per schema name the dialog holds.
std::vector<int> SelectedItems() {
  const std::vector<std::string>& names = Dialog().schema_names;
  HWND list = Control(kSchemaListId);
  LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
  if (count <= 0 || names.empty()) return {};
  std::vector<int> items(std::min(static_cast<size_t>(count), names.size()));
  LRESULT got = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(items.size()),
                             reinterpret_cast<LPARAM>(items.data()));
  items.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return items;
}

ExportDialogTexts ReadTexts() {
  ExportDialogTexts texts;
  texts.server = FieldText(kServerEditId);
  texts.user = FieldText(kUserEditId);
  texts.query = FieldText(kQueryEditId);
  texts.max_records = FieldText(kMaxRecordsEditId);
  texts.data_dir = FieldText(kDataDirEditId);
  texts.index_dir = FieldText(kIndexDirEditId);
  texts.schemas = Dialog().schema_names;
  texts.selected.assign(texts.schemas.size(), false);
  for (int i : SelectedItems()) {
    if (i >= 0 && static_cast<size_t>(i) < texts.selected.size()) texts.selected[i] = true;
  }
  return texts;
}

// Creation: the controls, then the fields from the settings file. The settings are read
// into a copy, so that a file that cannot be read leaves the window's directories alone.
void OnCreate(HWND hwnd) {
  DialogState& d = Dialog();
  d.dialog = hwnd;
  CreateExportControls(hwnd);
  std::vector<std::string>().swap(d.schema_names);
  Settings read;
  read.app_dir = TheShell().settings.app_dir;
  const bool read_ok = ReadProperties(&read) == 0;
  ExportDialogTexts texts = DialogTextsFromSettings(read, read_ok);
  SetField(kServerEditId, texts.server);
  SetField(kUserEditId, texts.user);
  SetField(kPasswordEditId, "");
  SetField(kQueryEditId, texts.query);
  SetField(kMaxRecordsEditId, texts.max_records);
  SetField(kDataDirEditId, texts.data_dir);
  SetField(kIndexDirEditId, texts.index_dir);
  if (read_ok) FillSchemaList(texts.schemas, texts.selected);
  d.schema_names.swap(texts.schemas);
}

void DestroyDialog() {
  DialogState& d = Dialog();
  HWND dialog = d.dialog;
  d.dialog = nullptr;
  if (dialog) DestroyWindow(dialog);
}

// "Done": the focus goes back where it was, the settings are saved, the dialog goes.
void CloseThroughDone() {
  DialogState& d = Dialog();
  Shell& s = TheShell();
  const ExportDialogTexts texts = ReadTexts();
  s.focus_holder = d.remembered_focus;
  EnableWindow(s.main, TRUE);
  SetFocus(d.remembered_focus);
  SaveProperties(SettingsFieldsFrom(texts), &s.settings);
  DestroyDialog();
}

// The close box: nothing is saved. The focus still goes back to where it was: the dialog
// is about to go, and a focus holder naming a destroyed window would leave the keyboard
// nowhere when the main window is next activated.
void CloseWithoutSaving() {
  DialogState& d = Dialog();
  Shell& s = TheShell();
  EnableWindow(s.main, TRUE);
  s.focus_holder = d.remembered_focus;
  SetFocus(d.remembered_focus);
  DestroyDialog();
}

void DoGetSchemas() {
  DialogState& d = Dialog();
  SchemaListUpdate update;
  {
    SecretText password;
    ReadPassword(&password);
    if (!FetchSchemaList(FieldText(kServerEditId, kConnectionFieldChars),
                         FieldText(kUserEditId, kConnectionFieldChars), password.str(),
                         d.schema_names, &update)) {
      return;
    }
  }
  FillSchemaList(update.items, update.selected);
  d.schema_names.swap(update.items);
}

void DoExportData() {
  DialogState& d = Dialog();
  JobState& job = TheJobState();
  {
    SecretText password;
    ReadPassword(&password);
    CopyFieldsToJob(ReadTexts(), password.str(), &job.settings);
  }
  job.settings.app_dir = TheShell().settings.app_dir;
  if (FieldProblem problem = ValidateExportFields(job.settings)) {
    job.settings.password.Clear();
    MessageBoxA(d.dialog, problem.message, "Error", MB_OK | MB_ICONINFORMATION);
    SetFocus(Control(problem.control));
    return;
  }
  std::vector<int> selected;
  bool collected = true;
  try {
    selected = SelectedItems();
  } catch (const std::bad_alloc&) {
    collected = false;
    job.settings.password.Clear();
    ShowMessage(kInfo, 10, "doExportData():Number of List Box Items");
  }
  if (collected) StartExportJob(d.schema_names, selected, &job, StartJobThread);
  SendMessageA(d.dialog, WM_COMMAND, MAKEWPARAM(kDoneButtonId, 0),
               reinterpret_cast<LPARAM>(d.dialog));
}

void PaintLabels(HWND hwnd) {
  platform::PaintScope paint(hwnd);
  platform::SelectedObject font(paint.dc(), TheShell().fonts.regular.get());
  SetBkMode(paint.dc(), TRANSPARENT);
  for (const Label& label : kLabels) {
    TextOutA(paint.dc(), kLabelX, label.y, label.text, static_cast<int>(std::strlen(label.text)));
  }
}

void OnCommand(WPARAM wp) {
  if (HIWORD(wp) != 0) return;  // button clicks only
  switch (LOWORD(wp)) {
    case kGetSchemasButtonId:
      DoGetSchemas();
      break;
    case kIndexButtonId:
      DoExportData();
      break;
    case kDoneButtonId:
      CloseThroughDone();
      break;
    default:
      break;
  }
}

}  // namespace

LRESULT CALLBACK ExportDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      OnCreate(hwnd);
      return 0;
    case WM_PAINT:
      PaintLabels(hwnd);
      return 0;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd, &client);
      FillRect(reinterpret_cast<HDC>(wp), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_COMMAND:
      OnCommand(wp);
      return 0;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) != SC_CLOSE) break;
      CloseWithoutSaving();
      return 0;
    case WM_SIZE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool OpenExportDialog(HWND remembered) {
  DialogState& d = Dialog();
  Shell& s = TheShell();
  d.remembered_focus = remembered;
  HWND dialog = CreateWindowExA(WS_EX_DLGMODALFRAME, kExportDialogClass, "Index",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0,
                                kDialogWidth, kDialogHeight, nullptr, nullptr, s.instance, nullptr);
  if (!dialog) return false;
  RECT desk{};
  GetWindowRect(GetDesktopWindow(), &desk);
  const int x = desk.left + (desk.right - desk.left - kDialogWidth) / 2;
  const int y = desk.top + (desk.bottom - desk.top - kDialogHeight) / 2;
  SetWindowPos(dialog, nullptr, x, y, kDialogWidth, kDialogHeight, SWP_NOZORDER);
  s.focus_holder = dialog;
  ShowWindow(dialog, SW_SHOW);
  return true;
}

void ReleaseExportDialog() {
  std::vector<std::string>().swap(Dialog().schema_names);
}

}  // namespace norvel
