// Speed of the search window under Wine, as the user sees it: from the Search command to
// the first result page drawn, and from a click on Next to the next page drawn. The
// driver clicks and watches the real window; nothing here asserts a time.
// Usage: window_bench CORPUS_DIR [QUERY] [REPEAT]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "index/build.h"
#include "index/in_memory_index.h"
#include "index/swap.h"
#include "tests/e2e/window/search_window.h"

namespace {

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Polls without the driver's 15 ms step, which would swamp what is measured.
template <class Pred>
bool Spin(Pred pred, double limit_ms = 30000) {
  const double start = NowMs();
  while (!pred()) {
    if (NowMs() - start > limit_ms) return false;
    Sleep(0);
  }
  return true;
}

bool NothingToPaint(HWND main) {
  if (GetUpdateRect(main, nullptr, FALSE)) return false;
  for (HWND child : e2e::Descendants(main)) {
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) return false;
  }
  return true;
}

// Waits for the paint that follows a change: the update region empties when it begins,
// and the round trip after it returns once it has run through.
bool Drawn(HWND main) {
  return Spin([&] { return NothingToPaint(main); }) && e2e::Ping(main);
}

struct Stats {
  std::vector<double> ms;
  void Print(const char* what, double baseline) const {
    std::vector<double> s = ms;
    std::sort(s.begin(), s.end());
    if (s.empty()) return;
    const double median = s[s.size() / 2];
    std::printf("%-34s median %7.2f ms  min %7.2f  max %7.2f  (%zu runs, %.1fx a round trip)\n",
                what, median, s.front(), s.back(), s.size(), median / baseline);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_bench CORPUS_DIR [QUERY] [REPEAT]\n");
    return 2;
  }
  const std::string corpus = argv[1];
  const std::string query = argc > 2 ? argv[2] : "kernel";
  const int repeat = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;

  norvel_e2e::SearchWindow w;
  const double build_start = NowMs();
  if (norvel::doIndex(corpus, w.index(), w.app(), nullptr) != 0) {
    std::fprintf(stderr, "window_bench: indexing %s failed\n", corpus.c_str());
    return 1;
  }
  {
    norvel::InMemoryIndex scratch;
    norvel::RenAndReloadNdx(w.index(), w.app(), &scratch, nullptr, nullptr);
  }
  std::printf("indexed %s in %.1f s\n", corpus.c_str(), (NowMs() - build_start) / 1000);
  e2e::WriteFileBytes(w.app() + "\\norvel.ini",
                      "index_dir=" + w.index() + "\r\ndata_dir=" + corpus + "\r\n");
  if (!w.Start()) {
    std::fprintf(stderr, "window_bench: %s\n", w.why().c_str());
    return 1;
  }
  e2e::BringToFront(w.main);

  Stats round_trip, search, next;
  std::string total;
  for (int i = 0; i < repeat; ++i) {
    // A hover text first, so the search's timing text is a change to wait for.
    e2e::PostMouseMove(w.main, 600, 40);
    Spin([&] { return w.Status().find(" seconds|") == std::string::npos; });
    e2e::SetText(w.field, query);
    e2e::Ping(w.main);
    double t0 = NowMs();
    e2e::Ping(w.main);
    round_trip.ms.push_back(NowMs() - t0);

    t0 = NowMs();
    e2e::ClickButton(w.button);
    bool ok = Spin([&] { return w.Status().find(" seconds|Total=") != std::string::npos; });
    ok = ok && Drawn(w.main);
    if (!ok) {
      std::fprintf(stderr, "window_bench: the search did not show a page\n");
      return 1;
    }
    search.ms.push_back(NowMs() - t0);
    total = w.Status();

    // The caret onto Next (inside the word, at the end of the last line); then the space
    // bar follows it, as a click does. The hover text that follows names the new page
    // once the link has been followed; the page is drawn when nothing is left to paint.
    e2e::PostLeftClick(w.main, 600, 40);
    for (int k = 0; k < 20; ++k) e2e::PostKey(w.main, VK_NEXT);
    e2e::PostKey(w.main, VK_END);
    e2e::PostKey(w.main, VK_LEFT);
    e2e::PostMouseMove(w.main, 600, 40);
    Spin([&] { return w.Status().rfind("Page=1/", 0) == 0; });
    Drawn(w.main);
    t0 = NowMs();
    e2e::PostChar(w.main, ' ');
    e2e::PostMouseMove(w.main, 600, 40);
    ok = Spin([&] { return w.Status().rfind("Page=2/", 0) == 0; }) && Drawn(w.main);
    if (!ok) {
      std::fprintf(stderr, "window_bench: Next did not show a page (%s)\n", w.Status().c_str());
      return 1;
    }
    next.ms.push_back(NowMs() - t0);
  }
  std::printf("query \"%s\": %s\n", query.c_str(), total.c_str());
  std::vector<double> rt = round_trip.ms;
  std::sort(rt.begin(), rt.end());
  const double baseline = std::max(rt[rt.size() / 2], 0.001);
  round_trip.Print("round trip to the window", baseline);
  search.Print("Search to first page drawn", baseline);
  next.Print("Next to next page drawn", baseline);
  w.Exit();
  return 0;
}
