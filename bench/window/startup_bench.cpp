// Start-up of the search window under Wine on an index made elsewhere: from launching
// norvel.exe to its window ready (the index is loaded before the window shows), and the
// program's memory then; a search proves the index is in. Prints; asserts nothing.
// Usage: startup_bench APP_DIR INDEX_DIR QUERY [REPEAT]
//   APP_DIR is made (norvel.exe copied in, norvel.ini naming INDEX_DIR) if need be.
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/window/search_window.h"

namespace {

double NowMs() {
  LARGE_INTEGER f, now;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(f.QuadPart);
}

double Mb(SIZE_T bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: startup_bench APP_DIR INDEX_DIR QUERY [REPEAT]\n");
    return argc < 4 ? 2 : 0;
  }
  const std::string app = argv[1], index = argv[2], query = argv[3];
  const int repeat = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
  e2e::MakeDirectories(app);
  e2e::CopyFileTo(e2e::ProgramDir() + "\\norvel.exe", app + "\\norvel.exe");
  e2e::WriteFileBytes(app + "\\norvel.ini",
                      "index_dir=" + index + "\r\ndata_dir=" + index + "\r\n");
  std::vector<double> ms;
  PROCESS_MEMORY_COUNTERS mem = {};
  std::string status;
  for (int i = 0; i < repeat; ++i) {
    norvel_e2e::SearchWindow w(app);
    const double t0 = NowMs();
    if (!w.Start()) {
      std::fprintf(stderr, "startup_bench: %s\n", w.why().c_str());
      return 1;
    }
    ms.push_back(NowMs() - t0);
    mem.cb = sizeof mem;
    if (!GetProcessMemoryInfo(w.process.handle(), &mem, sizeof mem)) mem = {};
    w.Search(query);
    e2e::WaitForStatusText(
        w.status, [](const std::string& s) { return s.find("Total=") != std::string::npos; },
        &status);
    w.Exit();
  }
  std::sort(ms.begin(), ms.end());
  std::printf("start-up to window ready: median %.0f ms (min %.0f, max %.0f, %zu runs)\n",
              ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
  std::printf("memory after start-up: working set %.0f MB (peak %.0f MB), private %.0f MB\n",
              Mb(mem.WorkingSetSize), Mb(mem.PeakWorkingSetSize), Mb(mem.PagefileUsage));
  std::printf("search \"%s\": %s\n", query.c_str(), status.c_str());
  return 0;
}
