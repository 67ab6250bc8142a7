// The Norvel side of the benchmark, inside one process like the application:
//   norvel_bench build DATA_DIR INDEX_DIR APP_DIR [international] [no-positions]
//                                 -> "files bytes seconds peak_kb cpu_seconds"
//   norvel_bench floor DATA_DIR -> the same for listing, opening, reading and closing every
//   document on the build's threads, with no other work: the least a build can take
//   norvel_bench query INDEX_DIR APP_DIR REPEAT QUERY... -> per query: "results ms ms ..." (one
//   time per repeat)
//   norvel_bench phrase INDEX_DIR APP_DIR DATA_DIR REPEAT QUERY... -> the same, for queries
//   whose phrases are confirmed by reading the documents of DATA_DIR
// The build is doIndex followed by the swap of its "_new" files into place.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/timing.h"
#include "core/job_progress.h"
#include "core/messages.h"
#include "index/build.h"
#include "index/in_memory_index.h"
#include "index/load.h"
#include "index/parallel.h"
#include "index/swap.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/memory_pages.h"
#include "platform/path.h"
#include "query/query.h"

namespace {

uint64_t CorpusBytes(const std::string& data_dir, int* files) {
  std::vector<std::string> names;
  platform::ListDirectory(data_dir, "*.txt", &names);
  uint64_t bytes = 0;
  *files = 0;
  for (const auto& n : names) {
    platform::FileStatus st;
    if (platform::GetFileStatus(platform::JoinPath(data_dir, n), &st) && st.size > 0) {
      bytes += st.size;
      ++*files;
    }
  }
  return bytes;
}

int Build(const std::string& data_dir, const std::string& index_dir, const std::string& app_dir,
          std::optional<norvel::WordRules> rules, bool positions) {
  norvel::SetLogDirectory(app_dir);
  int files = 0;
  uint64_t bytes = CorpusBytes(data_dir, &files);
  norvel::JobProgress progress;
  double start = bench::NowSeconds(), cpu = bench::CpuSeconds();
  norvel::BuildTuning tuning;
  tuning.positions = positions;
  if (norvel::doIndex(data_dir, index_dir, app_dir, &progress, tuning, rules) != 0) {
    std::fprintf(stderr, "norvel_bench: the build failed, see %s\n", app_dir.c_str());
    return 1;
  }
  norvel::InMemoryIndex index;
  norvel::RenAndReloadNdx(index_dir, app_dir, &index, nullptr, &progress);
  double seconds = bench::NowSeconds() - start;
  if (!index.loaded()) return 1;
  std::printf("%d %llu %.3f %ld %.3f\n", files, static_cast<unsigned long long>(bytes), seconds,
              bench::PeakRssKb(), bench::CpuSeconds() - cpu);
  return 0;
}

// What a build cannot do without: the listing, then every document opened, read whole with
// one call more than its size needs (as the build reads it) and closed, on as many threads
// as the build takes, sharing the documents out in small runs so that no thread waits.
int Floor(const std::string& data_dir) {
  double start = bench::NowSeconds(), cpu = bench::CpuSeconds();
  platform::DirListing entries;
  if (!platform::ListDirectory(data_dir, "*.txt", &entries) || entries.empty()) return 1;
  unsigned threads = std::min(std::max(std::thread::hardware_concurrency(), 1u), 4u);
  constexpr size_t kRun = 64;
  std::atomic<size_t> next{0};
  std::atomic<uint64_t> bytes{0};
  std::atomic<int> files{0};
  norvel::OnThreads(threads, [&](size_t) {
    platform::ListedFileReader reader(data_dir);
    std::vector<char> buf;
    uint64_t mine = 0;
    int read = 0;
    for (size_t b; (b = next.fetch_add(kRun)) < entries.size();) {
      for (size_t i = b; i < std::min(b + kRun, entries.size()); ++i) {
        uint64_t size = 0;
        if (reader.Open(entries, i, &size) != platform::ListedFileReader::Result::kOk) continue;
        if (size == 0) continue;
        if (buf.size() < size + 1) buf.resize(size + 1);
        // A read short of the one byte more asked for is the end: no second call.
        for (uint64_t total = 0; total < size + 1;) {
          size_t got = reader.Read(buf.data(), size + 1);
          mine += got;
          total += got;
          if (got == 0 || total >= size) break;
        }
        reader.Close();
        ++read;
      }
    }
    bytes += mine;
    files += read;
  });
  double seconds = bench::NowSeconds() - start;
  std::printf("%d %llu %.3f %ld %.3f\n", files.load(),
              static_cast<unsigned long long>(bytes.load()), seconds, bench::PeakRssKb(),
              bench::CpuSeconds() - cpu);
  return 0;
}

int Query(const std::string& index_dir, const std::string& app_dir, const std::string& data_dir,
          int repeat, int argc, char** argv) {
  norvel::SetLogDirectory(app_dir);
  norvel::InMemoryIndex index;
  if (norvel::readIndexIntoMem(index_dir, app_dir, &index) != 0) return 1;
  for (int i = 0; i < argc; ++i) {
    std::vector<double> ms;
    uint32_t results = 0;
    for (int r = 0; r < repeat; ++r) {
      norvel::QueryWords words;
      norvel::FileList list;
      double t0 = bench::NowSeconds();
      results = norvel::runQuery(argv[i], index_dir, index, &words, &list, data_dir);
      ms.push_back((bench::NowSeconds() - t0) * 1000);
    }
    std::printf("%u", results);
    for (double v : ms) std::printf(" %.4f", v);
    std::printf("\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  platform::KeepLargeBlocksMapped();  // as norvel-cli does
  // "build DATA INDEX APP [international] [no-positions]": the word rules of the index
  // built, and a build without the positions file (the cost of positions is the difference).
  if (argc >= 5 && std::string(argv[1]) == "build") {
    bool intl = false, positions = true;
    for (int i = 5; i < argc; ++i) {
      intl = intl || std::string(argv[i]) == "international";
      positions = positions && std::string(argv[i]) != "no-positions";
    }
    return Build(
        argv[2], argv[3], argv[4],
        intl ? std::optional<norvel::WordRules>(norvel::WordRules::kInternational) : std::nullopt,
        positions);
  }
  if (argc >= 3 && std::string(argv[1]) == "floor") return Floor(argv[2]);
  if (argc >= 6 && std::string(argv[1]) == "query")
    return Query(argv[2], argv[3], "", std::atoi(argv[4]), argc - 5, argv + 5);
  if (argc >= 7 && std::string(argv[1]) == "phrase")
    return Query(argv[2], argv[3], argv[4], std::atoi(argv[5]), argc - 6, argv + 6);
  std::fprintf(
      stderr,
      "usage: norvel_bench build DATA_DIR INDEX_DIR APP_DIR [international] [no-positions]\n"
      "       norvel_bench floor DATA_DIR\n"
      "       norvel_bench query INDEX_DIR APP_DIR REPEAT QUERY...\n"
      "       norvel_bench phrase INDEX_DIR APP_DIR DATA_DIR REPEAT QUERY...\n");
  return 2;
}
