// The ranking benchmark's Norvel side, inside one process like the application:
//   rank_bench run INDEX_DIR APP_DIR QUERIES ORDER [DEPTH]
//     QUERIES: lines of "id<TAB>query"; ORDER: index, bm25 (no proximity weight) or
//     relevance. Prints a TREC run: "id Q0 name rank score ORDER", the first DEPTH
//     (default 1000) documents of each query. The query is taken whole (not cut to 255
//     characters as the search field cuts it).
//   rank_bench first-page INDEX_DIR APP_DIR DATA_DIR REPEAT QUERY
//     The search command's first page (query, order, ten names and excerpts) in index
//     order and by relevance, alternately REPEAT times: "results index_ms relevance_ms"
//     (medians).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "core/messages.h"
#include "index/in_memory_index.h"
#include "index/load.h"
#include "viewer/pages.h"
#include "viewer/search.h"

namespace {

constexpr uint32_t kPage = 10;

// The documents of one query in the order asked for, by name, at most depth of them.
std::vector<std::pair<std::string, float>> Ranked(const std::string& query,
                                                  const norvel::PageSources& sources,
                                                  const std::string& order, size_t depth) {
  norvel::SearchState state;
  uint32_t total = norvel::runQuery(query.c_str(), sources.index_dir, *sources.index, &state.words,
                                    &state.result_list, sources.data_dir);
  std::vector<std::pair<std::string, float>> out;
  if (total == 0) return out;
  state.result_total = total;
  size_t shown = std::min<size_t>(depth, total);
  if (order != "index") {
    norvel::RankOptions options;
    options.proximity = order == "relevance";
    norvel::OrderByRelevance(sources, &state, options, shown);
    state.ranking.Extend(shown, &state.result_list);
  }
  for (uint32_t start = 0; start < shown; start += kPage) {
    state.page_start = start;
    state.page_end = std::min<uint32_t>(start + kPage, static_cast<uint32_t>(shown));
    if (norvel::GetFileName(&state, sources) != 0) break;
    for (size_t j = 0; j < state.page_file_names.size(); ++j) {
      float score = state.ranking.empty() ? 0.0f : state.ranking.ScoreAt(start + j);
      out.emplace_back(state.page_file_names[j], score);
    }
  }
  return out;
}

int Run(const norvel::PageSources& sources, const std::string& queries, const std::string& order,
        size_t depth) {
  std::ifstream in(queries);
  std::string line;
  while (std::getline(in, line)) {
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::string id = line.substr(0, tab);
    auto ranked = Ranked(line.substr(tab + 1), sources, order, depth);
    for (size_t r = 0; r < ranked.size(); ++r) {
      std::string name = ranked[r].first;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
        name.resize(name.size() - 4);
      std::printf("%s Q0 %s %zu %.6f %s\n", id.c_str(), name.c_str(), r + 1,
                  static_cast<double>(ranked[r].second), order.c_str());
    }
  }
  return 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

int FirstPage(norvel::PageSources sources, int repeat, const std::string& query) {
  std::vector<double> index_ms, relevance_ms;
  uint32_t results = 0;
  for (int r = 0; r < repeat; ++r) {
    for (auto order : {norvel::ResultOrder::kIndex, norvel::ResultOrder::kRelevance}) {
      sources.order = order;
      norvel::SearchState state;
      double t0 = bench::NowSeconds();
      norvel::RunSearch(query.c_str(), sources, &state);
      double ms = (bench::NowSeconds() - t0) * 1000;
      results = state.result_total;
      (order == norvel::ResultOrder::kIndex ? index_ms : relevance_ms).push_back(ms);
    }
  }
  std::printf("%u %.3f %.3f\n", results, Median(index_ms), Median(relevance_ms));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6) {
    std::string mode = argv[1];
    norvel::SetLogDirectory(argv[3]);
    norvel::InMemoryIndex index;
    if (norvel::readIndexIntoMem(argv[2], argv[3], &index) != 0) {
      std::fprintf(stderr, "rank_bench: the index of %s cannot be loaded\n", argv[2]);
      return 1;
    }
    norvel::RecordIndexTime(argv[2], &index);
    norvel::PageSources sources{"", argv[2], &index};
    if (mode == "run") {
      return Run(sources, argv[4], argv[5], argc >= 7 ? std::strtoul(argv[6], nullptr, 10) : 1000);
    }
    if (mode == "first-page" && argc >= 7) {
      sources.data_dir = argv[4];
      return FirstPage(sources, std::atoi(argv[5]), argv[6]);
    }
  }
  std::fprintf(stderr,
               "usage: rank_bench run INDEX_DIR APP_DIR QUERIES index|bm25|relevance [DEPTH]\n"
               "       rank_bench first-page INDEX_DIR APP_DIR DATA_DIR REPEAT QUERY\n");
  return 2;
}
