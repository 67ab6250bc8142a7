// Setting up the stand-in AR library beside norvel.exe and driving the export dialog.
#include "export_window.h"

namespace norvel_e2e {

namespace {

HWND Child(HWND dialog, int id) {
  return e2e::FindChild(dialog, id);
}

}  // namespace

bool ExportDialog::Find(HWND dialog) {
  window = dialog;
  server = Child(dialog, 310);
  user = Child(dialog, 320);
  password = Child(dialog, 330);
  get_schemas = Child(dialog, 410);
  list = Child(dialog, 500);
  query = Child(dialog, 340);
  max_records = Child(dialog, 350);
  data_dir = Child(dialog, 360);
  index_dir = Child(dialog, 370);
  index = Child(dialog, 420);
  done = Child(dialog, 430);
  return server && user && password && get_schemas && list && query && max_records && data_dir &&
         index_dir && index && done;
}

// List box texts cross the process boundary as wide characters under Wine, whichever
// variant of the message asks; the wide one says so.
std::vector<std::string> ExportDialog::Items() const {
  std::vector<std::string> items;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT n = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (n < 0) n = 0;
    std::wstring wide(static_cast<size_t>(n) + 1, L'\0');
    LRESULT got =
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&wide[0]));
    wide.resize(got > 0 ? static_cast<size_t>(got) : 0);
    std::string text(wide.size() * 2 + 1, '\0');
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                    &text[0], static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    items.push_back(text);
  }
  return items;
}

std::vector<int> ExportDialog::Selected() const {
  std::vector<int> selected;
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0) {
      selected.push_back(static_cast<int>(i));
    }
  }
  return selected;
}

void ExportDialog::Select(int item, bool on) const {
  SendMessageA(list, LB_SETSEL, on ? TRUE : FALSE, item);
}

void ExportDialog::Fill(const std::string& server_name, const std::string& user_name,
                        const std::string& password_text, const std::string& query_text,
                        const std::string& records, const std::string& data,
                        const std::string& index_text) const {
  e2e::SetText(server, server_name);
  e2e::SetText(user, user_name);
  e2e::SetText(password, password_text);
  e2e::SetText(query, query_text);
  e2e::SetText(max_records, records);
  e2e::SetText(data_dir, data);
  e2e::SetText(index_dir, index_text);
}

ExportWindow::ExportWindow() {
  e2e::CopyFileTo(e2e::ProgramDir() + "\\arapi51.dll", app() + "\\arapi51.dll");
  e2e::MakeDirectories(app() + "\\arsim-servers");
}

std::string ExportWindow::ServerDir(const std::string& name) const {
  return app() + "\\arsim-servers\\" + name;
}

void ExportWindow::AddDemoServer() {
  const std::string from = e2e::ProgramDir() + "\\arsim-servers\\demo";
  e2e::MakeDirectories(ServerDir("demo"));
  for (const std::string& name : FilesIn(from, "*")) {
    e2e::CopyFileTo(from + "\\" + name, ServerDir("demo") + "\\" + name);
  }
}

void ExportWindow::AddServer(const std::string& name, const std::string& server_txt,
                             const std::vector<std::pair<std::string, std::string>>& schemas) {
  e2e::MakeDirectories(ServerDir(name));
  e2e::WriteFileBytes(ServerDir(name) + "\\server.txt", server_txt);
  for (const auto& schema : schemas) {
    e2e::WriteFileBytes(ServerDir(name) + "\\" + schema.first, schema.second);
  }
}

void ExportWindow::WriteSettingsText(const std::string& text) {
  e2e::WriteFileBytes(SettingsPath(), text);
}

std::string ExportWindow::StatusNow() const {
  const std::string text = Status();
  return text.substr(0, text.find('\0'));
}

bool ExportWindow::OpenDialog() {
  e2e::PostCommand(main, 2000);
  HWND window = e2e::WaitForTopWindow(process.id(), "NorvelDB", "Index");
  if (!window) {
    e2e::MessageBoxInfo box = e2e::FindMessageBox(process.id());
    dialog_why_ = box.hwnd ? "a box instead of the dialog: " + box.text : "no dialog appeared";
    return false;
  }
  if (!dialog.Find(window)) {
    dialog_why_ = "a control of the dialog is missing";
    return false;
  }
  return e2e::Ping(window);
}

bool ExportWindow::DialogClosed() const {
  return e2e::WaitForNoTopWindow(process.id(), "NorvelDB");
}

std::string ExportWindow::ExpectBox(const std::string& caption, const std::string& text,
                                    int answer) const {
  e2e::MessageBoxInfo box = e2e::WaitForMessageBox(process.id());
  if (!box.hwnd) return "no box appeared (expected \"" + text + "\")";
  std::string problem;
  if (box.caption != caption || box.text != text) {
    problem = "box \"" + box.caption + "\": \"" + box.text + "\", expected \"" + caption +
              "\": \"" + text + "\"";
  }
  if (!e2e::AnswerMessageBox(box.hwnd, answer)) problem += " (the box did not close)";
  return problem;
}

std::string ExportWindow::HeldFile(const std::string& server, const std::string& call) const {
  return ServerDir(server) + "\\" + call + ".held";
}

bool ExportWindow::WaitUntilHeld(const std::string& server, const std::string& call) const {
  return e2e::WaitUntil([&] { return e2e::FileExists(HeldFile(server, call)); });
}

void ExportWindow::Release(const std::string& server, const std::string& call) const {
  e2e::RemoveTree(HeldFile(server, call));
}

bool ExportWindow::WaitForMarkerFree() const {
  const std::string marker = app() + "\\isndxng.dat";
  return e2e::WaitUntil([&] {
    HANDLE h = CreateFileA(marker.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool free = LockFile(h, 0, 0, 1, 0) != 0;
    if (free) UnlockFile(h, 0, 0, 1, 0);
    CloseHandle(h);
    return free;
  });
}

std::vector<std::string> ExportWindow::FilesIn(const std::string& dir, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "\\" + pattern).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

}  // namespace norvel_e2e
