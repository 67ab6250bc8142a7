// Setting up and driving one search window for an end-to-end test.
#include "search_window.h"

#include <cstdio>

#include "core/messages.h"
#include "index/build.h"
#include "index/in_memory_index.h"
#include "index/swap.h"

namespace norvel_e2e {

SearchWindow::SearchWindow() : dir_("window") {
  app_ = dir_.File("app");
  e2e::MakeDirectories(app_);
  e2e::MakeDirectories(data());
  e2e::MakeDirectories(index());
  e2e::CopyFileTo(e2e::ProgramDir() + "\\norvel.exe", app_ + "\\norvel.exe");
  // The engine's own log lines of the set-up go next to the program under test.
  norvel::SetLogDirectory(app_);
}

SearchWindow::SearchWindow(const std::string& existing_app) : dir_("window"), app_(existing_app) {}

SearchWindow::~SearchWindow() {
  if (process.ok() && !process.HasExited()) Exit();
}

void SearchWindow::WriteDocs(int count, const std::string& word) {
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\doc%02d.txt", i);
    char text[96];
    std::snprintf(text, sizeof text, "%s common number%02d\r\nsecond line\r\n", word.c_str(), i);
    e2e::WriteFileBytes(data() + name, text);
  }
}

std::string SearchWindow::Excerpt(int i, const std::string& word) {
  char text[96];
  std::snprintf(text, sizeof text, "%s common number%02d second line ", word.c_str(), i);
  return text;
}

void SearchWindow::WriteExclusions(const std::string& words) {
  e2e::WriteFileBytes(app_ + "\\xcludelist.ini", words);
}

void SearchWindow::WriteSettings() {
  e2e::WriteFileBytes(app_ + "\\norvel.ini",
                      "index_dir=" + index() + "\r\ndata_dir=" + data() + "\r\n");
}

void SearchWindow::BuildNew() {
  norvel::doIndex(data(), index(), app_, nullptr);
}

void SearchWindow::Index() {
  BuildNew();
  norvel::InMemoryIndex scratch;
  norvel::RenAndReloadNdx(index(), app_, &scratch, nullptr, nullptr);
}

bool SearchWindow::Start() {
  // The pointer stays off the window: a move over it would replace the status text.
  SetCursorPos(0, 0);
  process = e2e::Process::Launch(app_ + "\\norvel.exe", "", app_);
  if (!process.ok()) {
    why_ = "norvel.exe did not start: " + process.error();
    return false;
  }
  main = e2e::WaitForTopWindow(process.id(), "Norvel", "Search");
  if (!main) {
    why_ = process.HasExited() ? "norvel.exe ended with code " + std::to_string(process.ExitCode())
                               : "no search window appeared";
    return false;
  }
  // The children exist once the start has run through; wait for the last one made.
  e2e::WaitUntil([&] { return e2e::FindChild(main, 1030) != nullptr; });
  search_bar = e2e::FindChild(main, 1000);
  field = e2e::FindChild(search_bar, 300);
  button = e2e::FindChild(search_bar, 400);
  status = e2e::FindChild(main, 1040);
  vertical_bar = e2e::FindChild(main, 1020);
  horizontal_bar = e2e::FindChild(main, 1030);
  if (!(search_bar && field && button && status && vertical_bar && horizontal_bar)) {
    why_ = "a child window of the search window is missing";
    return false;
  }
  return e2e::Ping(main);
}

bool SearchWindow::Exit() {
  e2e::PostCommand(main, 2020);
  return process.WaitForExit(e2e::kDefaultTimeoutMs);
}

void SearchWindow::Command(int id) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, e2e::kDefaultTimeoutMs,
                      &result);
}

void SearchWindow::Search(const std::string& query) {
  e2e::SetText(field, query);
  e2e::ClickButton(button);
}

bool SearchWindow::WaitForStatus(const std::string& text, std::string* last) {
  return e2e::WaitForStatusText(
      status, [&](const std::string& s) { return s == text; }, last);
}

bool SearchWindow::HoverShows(int x, int y, const std::string& text, std::string* last) {
  return e2e::WaitUntil([&] {
    e2e::PostMouseMove(main, x, y);
    e2e::Ping(main);
    std::string now = Status();
    if (last) *last = now;
    return now == text;
  });
}

void SearchWindow::FollowPrevious() {
  e2e::PostKey(main, VK_NEXT);
  e2e::PostKey(main, VK_NEXT);
  e2e::PostKey(main, VK_NEXT);
  e2e::PostKey(main, VK_HOME);
  e2e::PostChar(main, ' ');
  e2e::Ping(main);
}

void SearchWindow::FollowNext() {
  e2e::PostKey(main, VK_NEXT);
  e2e::PostKey(main, VK_NEXT);
  e2e::PostKey(main, VK_NEXT);
  e2e::PostKey(main, VK_END);
  e2e::PostKey(main, VK_LEFT);  // inside "Next", clear of its edges
  e2e::PostChar(main, ' ');
  e2e::Ping(main);
}

bool SearchWindow::WaitUntilDrawn() {
  // The update region empties when the paint begins; the round trip that follows
  // returns only once that paint's handler has run through.
  // Child windows (the bars, the field, the button) paint themselves, after the main
  // window; all of them share its thread.
  return e2e::WaitUntil([&] {
           if (GetUpdateRect(main, nullptr, FALSE)) return false;
           for (HWND child : e2e::Descendants(main)) {
             if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) return false;
           }
           return true;
         }) &&
         e2e::Ping(main);
}

RECT SearchWindow::Caret() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
  return info.rcCaret;
}

}  // namespace norvel_e2e
