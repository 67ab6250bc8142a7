// Results by relevance: BM25 over the positions file's statistics, with the weight of
// phrases, proximity groups and query words that stand close together, and the order an
// index without positions falls back to.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "index/in_memory_index.h"
#include "query/bm25.h"
#include "query/query.h"
#include "query/ranked_list.h"

namespace norvel {

// How a search orders its results: ascending file number (the design's order) or best first.
enum class ResultOrder { kIndex, kRelevance };

// One token's documents (ascending) with its occurrences in each and their positions.
class TermPostings {
 public:
  virtual ~TermPostings() = default;
  virtual uint32_t documents() const = 0;  // how many documents hold the token
  virtual bool Next() = 0;                 // to the next (the first) document
  virtual bool SkipTo(uint32_t file) = 0;  // to the first document >= file
  virtual uint32_t doc() const = 0;
  virtual uint32_t count() const = 0;
  virtual bool Positions(std::vector<uint32_t>* out) = 0;
  // The postings' blocks, each with its last document and the (occurrences, document
  // tokens) pairs that bound its documents' scores (index/positions.h); postings without
  // them say false, and their documents are all scored.
  virtual size_t blocks() const { return 0; }
  virtual uint32_t BlockLast(size_t) const { return 0; }
  virtual bool BlockBounds(size_t, std::vector<std::pair<uint32_t, uint32_t>>*) const {
    return false;
  }
};

// What ranking reads of an index's positions (the positions file, or a table in a test).
class RankingStats {
 public:
  virtual ~RankingStats() = default;
  virtual uint32_t documents() const = 0;
  virtual uint64_t total_tokens() const = 0;
  virtual uint32_t DocumentTokens(uint32_t file) = 0;
  // Null when the token occurs nowhere.
  virtual std::unique_ptr<TermPostings> Find(std::string_view folded_token) = 0;
  // Another reader of the same statistics, for a second thread; null when there is none.
  virtual std::unique_ptr<RankingStats> Another() { return nullptr; }
};

struct RankOptions {
  Bm25Params bm25;
  bool proximity = true;  // the weight of query words that follow each other in a document
  size_t proximity_candidates = 100;  // the best documents by BM25 that it is computed for
  // From this many results on, the words are scored on two threads, each over half of
  // the result list with a reader of its own.
  size_t two_threads_from = 200000;
};

// How many of the index words a prefix matches score at most: the first in byte order.
constexpr size_t kMaxScoredPrefixWords = 1000;

// The scores of the documents of result (the query's documents, ascending): BM25 of each
// distinct AllnAny and Include word, of each index word a prefix matches (the first
// kMaxScoredPrefixWords), and of each phrase or proximity group by its own occurrences;
// plus the proximity weight for the best candidates. Exclude words do not score. Throws
// std::bad_alloc.
std::vector<Scored> ScoreByRelevance(const QueryWords& words, const InMemoryIndex& index,
                                     RankingStats* stats, const FileList& result,
                                     const RankOptions& options = RankOptions());

// The k best of result by relevance, where the query scores one word alone (no phrase,
// group or second word) and its postings carry blocks' bounds: only the blocks whose bound
// could still enter the k best are read. best: (index in result, score), best first, as
// ScoreByRelevance would rank them. False where this does not apply (the query, postings
// of one block or of a file without bounds, a result of k or fewer, damage that cuts the
// postings short): then every document is to be scored.
// Throws std::bad_alloc.
bool BestByOneWord(const QueryWords& words, const InMemoryIndex& index, RankingStats* stats,
                   const FileList& result, size_t k, const RankOptions& options,
                   std::vector<std::pair<size_t, Scored>>* best);

// Without positions: the number of distinct AllnAny and Include words and terms each
// document holds (a phrase or group counts where the document holds all its index
// words). Throws std::bad_alloc.
std::vector<Scored> ScoreByTermsHeld(const std::string& index_dir, const InMemoryIndex& index,
                                     const QueryWords& words, const FileList& result);

// The log line of a relevance search over an index without usable positions.
void LogRankingWithoutPositions();

}  // namespace norvel
