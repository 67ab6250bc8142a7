// A search window set up for exports: norvel.exe with the stand-in arapi51.dll and its
// server fixtures beside it, and the export dialog's controls once File > Index opened it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver/e2e.h"
#include "tests/e2e/window/search_window.h"

namespace norvel_e2e {

// The export dialog's window and controls.
struct ExportDialog {
  HWND window = nullptr;
  HWND server = nullptr;
  HWND user = nullptr;
  HWND password = nullptr;
  HWND get_schemas = nullptr;
  HWND list = nullptr;
  HWND query = nullptr;
  HWND max_records = nullptr;
  HWND data_dir = nullptr;
  HWND index_dir = nullptr;
  HWND index = nullptr;
  HWND done = nullptr;

  // Every control of the dialog window, by its id; false when one is missing.
  bool Find(HWND dialog);
  std::vector<std::string> Items() const;
  std::vector<int> Selected() const;
  void Select(int item, bool on = true) const;
  // Fills the fields the export needs.
  void Fill(const std::string& server, const std::string& user, const std::string& password,
            const std::string& query, const std::string& max_records, const std::string& data_dir,
            const std::string& index_dir) const;
};

class ExportWindow : public SearchWindow {
 public:
  // norvel.exe and arapi51.dll in a fresh application directory; no servers yet.
  ExportWindow();

  // The bundled demo server (login demo / demo) as server "demo".
  void AddDemoServer();
  // A server of its own: server.txt and schema files (name, text).
  void AddServer(const std::string& name, const std::string& server_txt,
                 const std::vector<std::pair<std::string, std::string>>& schemas);
  std::string ServerDir(const std::string& name) const;

  std::string SettingsPath() const { return app() + "\\norvel.ini"; }
  void WriteSettingsText(const std::string& text);
  std::string SettingsText() const { return e2e::ReadFileBytes(SettingsPath()); }
  std::string LogText() const { return e2e::ReadFileBytes(app() + "\\norvel_log.txt"); }

  // The status bar's text. The driver reads its length and then its text: a text that
  // changes in between comes back padded with NULs up to the old length, which this cuts.
  std::string StatusNow() const;

  // File > Index, then waits for the dialog; false (with why()) when it did not open.
  bool OpenDialog();
  // Presses a button of the dialog whose handler may open a box (posted).
  void Press(HWND button) const { e2e::ClickButton(button); }
  // True once the dialog has gone.
  bool DialogClosed() const;
  // Waits for a box of the program, checks caption and text, answers it; a failure
  // message otherwise (empty on success).
  std::string ExpectBox(const std::string& caption, const std::string& text,
                        int answer = IDOK) const;
  // The hold directive's file of server `server` for the call: present while the call
  // waits, and the call goes on once it is deleted.
  std::string HeldFile(const std::string& server, const std::string& call) const;
  bool WaitUntilHeld(const std::string& server, const std::string& call) const;
  void Release(const std::string& server, const std::string& call) const;
  // True once no program holds the indexing marker of this directory (polled). A job that
  // ends after a box frees it only after the box has gone.
  bool WaitForMarkerFree() const;
  // Files of a directory whose names match the wildcard.
  static std::vector<std::string> FilesIn(const std::string& dir, const std::string& pattern);

  const std::string& dialog_why() const { return dialog_why_; }

  ExportDialog dialog;

 private:
  std::string dialog_why_;
};

}  // namespace norvel_e2e
