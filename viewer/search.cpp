// The search command's portable part.
#include "viewer/search.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "core/messages.h"
#include "index/positions.h"
#include "platform/clock.h"
#include "query/positions_stats.h"

namespace norvel {

namespace {

constexpr uint32_t kDocumentsPerPage = 10;

}  // namespace

void OrderByRelevance(const PageSources& sources, SearchState* state, const RankOptions& options,
                      size_t wanted) {
  std::vector<Scored> scored;
  PositionsReader positions;
  FileList& result = state->result_list;
  if (state->ranking.partial()) {
    // A page past the best ranked at first: the list is made whole again, ascending.
    std::sort(result.begin(), result.end());
    state->ranking.Clear();
  }
  if (positions.Open(sources.index_dir, *sources.index)) {
    PositionsStats stats(&positions, sources.index_dir, *sources.index);
    std::vector<std::pair<size_t, Scored>> best;
    size_t k = std::max(wanted, kFirstRanked);
    if (BestByOneWord(state->words, *sources.index, &stats, result, k, options, &best)) {
      state->ranking.AssignBest(best, &result);
      return;
    }
    scored = ScoreByRelevance(state->words, *sources.index, &stats, result, options);
  } else {
    LogRankingWithoutPositions();  // after the reader's line saying why
    scored = ScoreByTermsHeld(sources.index_dir, *sources.index, state->words, result);
  }
  state->ranking.Assign(std::move(scored), &result);
}

std::string QueryFromField(const std::string& field_text) {
  std::string query = field_text.substr(0, kMaxQueryLength);
  size_t nul = query.find('\0');
  if (nul != std::string::npos) query.resize(nul);
  return query;
}

void ReleaseSearch(SearchState* state) {
  std::vector<std::string>().swap(state->page_file_names);
  std::vector<std::string>().swap(state->page_excerpts);
  state->words.Clear();
  state->query_words.Clear();
  state->prefix_marks.Clear();
  FileList().swap(state->result_list);
  state->ranking.Clear();
  state->result_total = 0;
  state->page_start = 0;
  state->page_end = 0;
  state->document_view = false;
}

int RunSearch(const char* query, const PageSources& sources, SearchState* state,
              const std::string& status_note, uint32_t page) {
  ReleaseSearch(state);
  if (!sources.index) return -1;
  std::string text = QueryFromField(query ? query : "");
  platform::WallTime start = platform::NowWall();
  HeldLock held{sources.reading};
  uint32_t total = runQuery(text.c_str(), sources.index_dir, *sources.index, &state->words,
                            &state->result_list, sources.data_dir, &held);
  if (held.lost || held.replaced) {
    // The documents were read with the lock let go: the result is of files now gone.
    ReleaseSearch(state);
    if (held.lost) {
      SetStatusText("");
      ShowMessage(kInfo, 0, "Please try later.");
    } else {
      SetStatusText("Files reindexed. Please search again.");
    }
    return -1;
  }
  state->words.exclude.clear();  // Exclude words live only during the search
  state->words.exclude_terms.clear();
  if (total > 0 && sources.order == ResultOrder::kRelevance) {
    try {
      OrderByRelevance(sources, state);
    } catch (const std::bad_alloc&) {
      ReleaseSearch(state);
      ShowMessage(kInfo, 10, "Query Ranks");
      return -1;
    }
  }
  if (total == 0) {
    ReleaseSearch(state);
    SetStatusText("");
    ShowBox("No results.", "Info", BoxStyle::kPlainOk);
    return -1;
  }
  state->result_total = total;
  platform::WallTime end = platform::NowWall();
  double seconds =
      static_cast<double>((end.seconds - start.seconds) * 1000 + (end.millis - start.millis)) /
      1000;
  char status[256];
  std::snprintf(status, sizeof status, "%4.6f seconds|Total=%u", seconds, total);
  SetStatusText(status_note + status);
  try {
    state->query_words = MakeQueryWordTable(state->words, *sources.index);
    state->prefix_marks = MakePrefixMarks(state->words, *sources.index);
  } catch (const std::bad_alloc&) {
    ReleaseSearch(state);
    ShowMessage(kInfo, 10, "Query Words");
    return -1;
  }
  state->document_view = false;
  // Only the page shown opens its documents (for the excerpts).
  uint64_t first = uint64_t{page > 0 ? page - 1 : 0} * kDocumentsPerPage;
  state->page_start = first < total ? static_cast<uint32_t>(first) : 0;
  state->page_end = std::min(state->page_start + kDocumentsPerPage, total);
  if (GetNextPage(state, sources) != 0) ReleaseSearch(state);
  return 0;
}

}  // namespace norvel
