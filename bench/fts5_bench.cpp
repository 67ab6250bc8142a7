// The SQLite FTS5 side of the benchmark: a contentless, detail=none index of the same
// documents with the same word characters, and the same queries run inside one process.
//   fts5_bench build DATA_DIR DB          -> "files bytes seconds peak_kb cpu_seconds"
//   fts5_bench build-positions DATA_DIR DB -> the same with token positions (detail=full),
//                                            which phrase queries need
//   fts5_bench query DB REPEAT QUERY...   -> per query: "results ms ms ..." (one time per repeat)
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "platform/dir.h"
#include "platform/file.h"
#include "platform/path.h"

namespace {

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(2);
  }
}

// Documents are read as the Windows text mode reads them, like the index build does.
std::string ReadText(const std::string& path) {
  platform::TextReader r;
  std::string text;
  if (!r.Open(path)) return text;
  char buf[65536];
  size_t n;
  while ((n = r.Read(buf, sizeof buf)) > 0) text.append(buf, n);
  return text;
}

int Build(const std::string& data_dir, const std::string& db_path, bool positions) {
  std::remove(db_path.c_str());
  sqlite3* db = nullptr;
  Check(sqlite3_open(db_path.c_str(), &db), db, "open");
  double start = bench::NowSeconds(), cpu = bench::CpuSeconds();
  Check(sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr,
                     nullptr),
        db, "pragma");
  std::string create = std::string("CREATE VIRTUAL TABLE docs USING fts5(body, content='', ") +
                       (positions ? "detail=full" : "detail=none") +
                       ", tokenize=\"ascii tokenchars '-_'\")";
  Check(sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr), db, "create");
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  sqlite3_stmt* ins = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO docs(rowid, body) VALUES(?, ?)", -1, &ins, nullptr), db,
        "prepare");
  std::vector<std::string> names;
  platform::ListDirectory(data_dir, "*.txt", &names);
  long long bytes = 0;
  int files = 0;
  for (const auto& name : names) {
    std::string text = ReadText(platform::JoinPath(data_dir, name));
    if (text.empty()) continue;
    bytes += static_cast<long long>(text.size());
    sqlite3_bind_int64(ins, 1, ++files);
    sqlite3_bind_text(ins, 2, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    Check(sqlite3_step(ins), db, "insert");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  Check(sqlite3_exec(db, "INSERT INTO docs(docs) VALUES('optimize')", nullptr, nullptr, nullptr),
        db, "optimize");
  sqlite3_close(db);
  double seconds = bench::NowSeconds() - start;
  std::printf("%d %lld %.3f %ld %.3f\n", files, bytes, seconds, bench::PeakRssKb(),
              bench::CpuSeconds() - cpu);
  return 0;
}

int Query(const std::string& db_path, int repeat, int argc, char** argv) {
  sqlite3* db = nullptr;
  Check(sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db, "open");
  sqlite3_stmt* q = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT rowid FROM docs WHERE docs MATCH ?", -1, &q, nullptr), db,
        "prepare");
  for (int i = 0; i < argc; ++i) {
    std::vector<double> ms;
    long results = 0;
    for (int r = 0; r < repeat; ++r) {
      double t0 = bench::NowSeconds();
      sqlite3_bind_text(q, 1, argv[i], -1, SQLITE_STATIC);
      results = 0;
      int rc;
      while ((rc = sqlite3_step(q)) == SQLITE_ROW) ++results;
      Check(rc, db, "query");
      sqlite3_reset(q);
      ms.push_back((bench::NowSeconds() - t0) * 1000);
    }
    std::printf("%ld", results);
    for (double v : ms) std::printf(" %.4f", v);
    std::printf("\n");
  }
  sqlite3_finalize(q);
  sqlite3_close(db);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "build") return Build(argv[2], argv[3], false);
  if (argc >= 4 && std::string(argv[1]) == "build-positions") return Build(argv[2], argv[3], true);
  if (argc >= 5 && std::string(argv[1]) == "query")
    return Query(argv[2], std::atoi(argv[3]), argc - 4, argv + 4);
  std::fprintf(stderr,
               "usage: fts5_bench build|build-positions DATA_DIR DB | query DB REPEAT QUERY...\n");
  return 2;
}
