// Shows the search window at work where no one can look at it: starts norvel.exe in an
// application directory, searches, and saves a screenshot of the result page.
// Usage: window_demo APP_DIR QUERY SCREENSHOT.png
#include <cstdio>
#include <string>

#include "search_window.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: window_demo APP_DIR QUERY SCREENSHOT.png\n");
    return 2;
  }
  norvel_e2e::SearchWindow w(argv[1]);
  if (!w.Start()) {
    std::fprintf(stderr, "window_demo: %s\n", w.why().c_str());
    return 1;
  }
  w.Search(argv[2]);
  std::string status;
  bool found = e2e::WaitForStatusText(
      w.status, [](const std::string& s) { return s.find("|Total=") != std::string::npos; },
      &status);
  if (!found) {
    e2e::MessageBoxInfo box = e2e::FindMessageBox(w.process.id());
    std::fprintf(stderr, "window_demo: no results (%s)\n", box.hwnd ? box.text.c_str() : "");
    return 1;
  }
  e2e::BringToFront(w.main);
  w.WaitUntilDrawn();
  e2e::Image image;
  bool saved = e2e::CaptureWindow(w.main, &image) && e2e::SavePng(image, argv[3]);
  std::printf("Searched \"%s\": %s\n", argv[2], status.c_str());
  w.Exit();
  return saved ? 0 : 1;
}
