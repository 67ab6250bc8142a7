// A search window under test: its own application directory with norvel.exe, documents,
// an index built by the engine and the settings file naming them; the program started
// there, and its windows found.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver/e2e.h"

namespace norvel_e2e {

class SearchWindow {
 public:
  // A fresh application directory with a copy of norvel.exe.
  SearchWindow();
  // An application directory made elsewhere, with norvel.exe and its settings in it.
  explicit SearchWindow(const std::string& existing_app);
  ~SearchWindow();

  const std::string& app() const { return app_; }
  std::string data() const { return dir_.File("docs"); }
  std::string index() const { return dir_.File("index"); }

  // Documents doc00.txt ... of two short lines: "<word> common numberNN" and "second line".
  void WriteDocs(int count, const std::string& word = "alpha");
  // The text of document i as the excerpt shows it (line feeds became blanks).
  static std::string Excerpt(int i, const std::string& word = "alpha");
  void WriteExclusions(const std::string& words);
  void WriteSettings();
  // Builds the new index ("_new" names); Index() also swaps it in.
  void BuildNew();
  void Index();

  // Starts norvel.exe and finds its windows; false (with why()) when they did not appear.
  bool Start();
  const std::string& why() const { return why_; }
  // Closes the window with File > Exit and waits for the program to end.
  bool Exit();

  // A menu command, sent: it has run when this returns (for commands without boxes).
  void Command(int id);
  // Types the query into the search field and presses the Search button.
  void Search(const std::string& query);
  std::string Status() const { return e2e::GetStatusText(status); }
  bool WaitForStatus(const std::string& text, std::string* last = nullptr);
  // Moves the mouse over a client point of the main window and waits for the status text
  // the hover handling sets there.
  bool HoverShows(int x, int y, const std::string& text, std::string* last = nullptr);
  // Follows the navigation links with the keyboard: Previous at the start of the last
  // line, Next at its end; Back at the start of the document view's last line.
  void FollowPrevious();
  void FollowNext();
  void FollowBack() { FollowPrevious(); }
  // Waits until the window has no part left to paint and has finished painting.
  bool WaitUntilDrawn();
  // The caret's rectangle in the main window, from the program's thread information.
  RECT Caret() const;

  e2e::Process process;
  HWND main = nullptr;
  HWND search_bar = nullptr;
  HWND field = nullptr;
  HWND button = nullptr;
  HWND status = nullptr;
  HWND vertical_bar = nullptr;
  HWND horizontal_bar = nullptr;

 private:
  e2e::TestDir dir_;
  std::string app_;
  std::string why_;
};

}  // namespace norvel_e2e
