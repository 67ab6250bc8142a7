// Scoring the documents of a query: one pass per term over its postings, aligned with the
// result list through a table from file number to result slot.
#include "query/rank.h"

#include <algorithm>
#include <atomic>
#include <set>

#include "core/messages.h"
#include "index/index_files.h"
#include "index/parallel.h"
#include "query/terms.h"

namespace norvel {

namespace {

constexpr uint32_t kNoSlot = 0xFFFFFFFFu;

// A phrase or proximity group: its tokens and its slop (below 0 for a phrase).
struct Group {
  const std::vector<std::string>* tokens;
  int slop;
};

// The terms that score, each once: plain and + words, the words prefixes mark, groups.
struct ScoringTerms {
  std::vector<std::string> words;  // query words first, in query order
  size_t query_words = 0;          // how many of words were typed (not from a prefix)
  std::vector<Group> groups;
};

ScoringTerms CollectTerms(const QueryWords& q, const InMemoryIndex& index) {
  ScoringTerms out;
  std::set<std::string> seen;
  for (const auto* group : {&q.all_n_any, &q.include}) {
    for (const std::string& w : *group) {
      if (seen.insert(w).second) out.words.push_back(w);
    }
  }
  out.query_words = out.words.size();
  for (const auto* terms : {&q.any_terms, &q.include_terms}) {
    for (const QueryTerm& t : *terms) {
      if (t.kind != QueryTerm::Kind::kPrefix) {
        int slop = t.kind == QueryTerm::Kind::kNear ? static_cast<int>(t.slack) : -1;
        out.groups.push_back(Group{&t.tokens, slop});
        continue;
      }
      // Bounded: the first words in byte order.
      size_t taken = 0;
      ForEachPrefixWord(index, t.tokens[0], [&](size_t e) {
        std::string w(index.words.Text(e));
        if (seen.insert(w).second) out.words.push_back(std::move(w));
        return ++taken < kMaxScoredPrefixWords;
      });
    }
  }
  return out;
}

// The first index at or after i whose file number is at least n (result is ascending):
// galloping, so that a walk over a list as long as the result costs a step or two a
// document, and one over a short list a few halvings.
size_t Seek(const FileList& result, size_t i, uint32_t n) {
  if (i >= result.size() || result[i] >= n) return i;
  size_t step = 1;
  while (i + step < result.size() && result[i + step] < n) step *= 2;
  auto from = result.begin() + static_cast<long>(i + step / 2);
  auto to = result.begin() + static_cast<long>(std::min(i + step + 1, result.size()));
  return static_cast<size_t>(std::lower_bound(from, to, n) - result.begin());
}

// Walks a token's postings over the documents of result[lo, hi), calling on_doc(index,
// count).
template <typename OnDoc>
void Walk(TermPostings* p, const FileList& result, size_t lo, size_t hi, OnDoc&& on_doc) {
  if (lo >= hi) return;
  if (p->documents() / 4 > hi - lo) {
    // A few results and a long list: jump to each result.
    for (size_t i = lo; i < hi; ++i) {
      if (!p->SkipTo(result[i])) return;
      if (p->doc() == result[i]) on_doc(i, p->count());
    }
    return;
  }
  if (!p->SkipTo(result[lo])) return;
  size_t i = lo;
  do {
    uint32_t d = p->doc();
    i = Seek(result, i, d);
    if (i >= hi) return;
    if (result[i] == d) on_doc(i, p->count());
  } while (p->Next());
}

// The scores are summed in the list that the pages rank. The documents' length norms are
// read first, in one pass of their own: the token counts and a token's documents lie in
// different parts of the positions file, and reading them in turn would move the file's
// position back and forth at every block.
class Scorer {
 public:
  Scorer(RankingStats* stats, const FileList& result, const RankOptions& options, size_t terms)
      : stats_(stats),
        result_(result),
        options_(options),
        bm25_(stats->documents(), stats->total_tokens(), options.bm25),
        scored_(result.size()) {
    for (size_t i = 0; i < result.size(); ++i) scored_[i].file = result[i];
    if (terms > 0) norm_.resize(result.size());
  }

  // The words' weights in the documents of result[lo, hi), read through stats (a reader
  // of the calling thread's own); two calls over disjoint ranges may run at once.
  void AddWords(RankingStats* stats, const std::vector<std::string>& words, size_t lo, size_t hi) {
    if (!norm_.empty()) {
      for (size_t i = lo; i < hi; ++i) norm_[i] = ReadNorm(stats, i);
    }
    for (const std::string& word : words) {
      std::unique_ptr<TermPostings> p = stats->Find(word);
      if (!p) continue;
      const double idf = bm25_.Idf(p->documents());
      Walk(p.get(), result_, lo, hi,
           [&](size_t i, uint32_t tf) { Add(i, bm25_.Weight(tf, Norm(stats, i), idf)); });
    }
  }

  void AddGroup(const Group& g) {
    std::vector<std::unique_ptr<TermPostings>> cursors;
    for (const std::string& token : *g.tokens) {
      cursors.push_back(stats_->Find(token));
      if (!cursors.back()) return;  // a token that occurs nowhere: the group nowhere
    }
    std::vector<std::pair<size_t, uint32_t>> held;  // (index, occurrences)
    std::vector<std::vector<uint32_t>> positions(cursors.size());
    for (size_t i = 0; i < result_.size(); ++i) {
      if (!AllAt(cursors, result_[i])) continue;
      for (size_t t = 0; t < cursors.size(); ++t) cursors[t]->Positions(&positions[t]);
      uint32_t n = CountGroupOccurrences(positions, g.slop);
      if (n > 0) held.emplace_back(i, n);
    }
    // The group's documents as far as the query's documents show them.
    const double idf = bm25_.Idf(static_cast<uint32_t>(held.size()));
    for (const auto& [i, n] : held) Add(i, bm25_.Weight(n, Norm(stats_, i), idf));
  }

  // The proximity weight for the best documents so far.
  void AddProximity(const std::vector<std::string>& words) {
    if (words.size() < 2 || options_.proximity_candidates == 0) return;
    std::vector<size_t> best = BestOf(scored_, 0, options_.proximity_candidates);
    std::sort(best.begin(), best.end());  // ascending file numbers, for the cursors
    std::vector<std::unique_ptr<TermPostings>> cursors;
    std::vector<double> idf;
    for (const std::string& w : words) {
      cursors.push_back(stats_->Find(w));
      idf.push_back(cursors.back() ? bm25_.Idf(cursors.back()->documents()) : 0.0);
    }
    std::vector<std::vector<uint32_t>> positions(words.size());
    std::vector<const std::vector<uint32_t>*> present(words.size());
    for (size_t i : best) {
      size_t held = 0;
      for (size_t t = 0; t < cursors.size(); ++t) {
        present[t] = nullptr;
        TermPostings* p = cursors[t].get();
        if (!p) continue;
        if (!p->SkipTo(result_[i])) {
          cursors[t].reset();  // at its end
        } else if (p->doc() == result_[i] && p->Positions(&positions[t])) {
          present[t] = &positions[t];
          ++held;
        }
      }
      if (held >= 2) Add(i, ProximityWeight(present, idf, Norm(stats_, i), bm25_.k1()));
    }
  }

  std::vector<Scored> Take() { return std::move(scored_); }

 private:
  static bool AllAt(std::vector<std::unique_ptr<TermPostings>>& cursors, uint32_t n) {
    for (auto& c : cursors) {
      if (!c->SkipTo(n) || c->doc() != n) return false;
    }
    return true;
  }
  float ReadNorm(RankingStats* stats, size_t i) {
    return static_cast<float>(bm25_.LengthNorm(stats->DocumentTokens(result_[i])));
  }
  float Norm(RankingStats* stats, size_t i) {
    return norm_.empty() ? ReadNorm(stats, i) : norm_[i];
  }
  void Add(size_t i, double weight) {
    scored_[i].score = static_cast<float>(scored_[i].score + weight);
  }

  RankingStats* stats_;
  const FileList& result_;
  const RankOptions& options_;
  Bm25 bm25_;
  std::vector<Scored> scored_;
  std::vector<float> norm_;
};

// A long result list is scored in two halves at once, the second with a reader of its own
// (opened on that thread); without one, the calling thread scores it all.
void AddWordsOnThreads(Scorer* scorer, RankingStats* stats, const std::vector<std::string>& words,
                       size_t count, const RankOptions& options) {
  if (count < options.two_threads_from || words.empty()) {
    scorer->AddWords(stats, words, 0, count);
    return;
  }
  const size_t half = count / 2;
  std::atomic<bool> second_done{false}, out_of_memory{false};
  OnThreads(2, [&](size_t t) {
    try {
      if (t == 0) {
        scorer->AddWords(stats, words, 0, half);
      } else if (std::unique_ptr<RankingStats> own = stats->Another()) {
        scorer->AddWords(own.get(), words, half, count);
        second_done = true;
      }
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
  });
  if (out_of_memory) throw std::bad_alloc();
  if (!second_done) scorer->AddWords(stats, words, half, count);
}

}  // namespace

std::vector<Scored> ScoreByRelevance(const QueryWords& words, const InMemoryIndex& index,
                                     RankingStats* stats, const FileList& result,
                                     const RankOptions& options) {
  ScoringTerms terms = CollectTerms(words, index);
  Scorer scorer(stats, result, options, terms.words.size() + terms.groups.size());
  AddWordsOnThreads(&scorer, stats, terms.words, result.size(), options);
  for (const Group& g : terms.groups) scorer.AddGroup(g);
  if (options.proximity) {
    scorer.AddProximity(std::vector<std::string>(
        terms.words.begin(), terms.words.begin() + static_cast<long>(terms.query_words)));
  }
  return scorer.Take();
}

bool BestByOneWord(const QueryWords& words, const InMemoryIndex& index, RankingStats* stats,
                   const FileList& result, size_t k, const RankOptions& options,
                   std::vector<std::pair<size_t, Scored>>* best) {
  best->clear();
  if (k == 0 || result.size() <= k || options.bm25.k1 < 0 || options.bm25.b < 0) return false;
  ScoringTerms terms = CollectTerms(words, index);
  if (terms.words.size() != 1 || !terms.groups.empty()) return false;
  std::unique_ptr<TermPostings> p = stats->Find(terms.words[0]);
  if (!p || p->blocks() < 2) return false;
  const Bm25 bm25(stats->documents(), stats->total_tokens(), options.bm25);
  const double idf = bm25.Idf(p->documents());
  // Exactly as the Scorer sums it: the length norm as a float, the weight added to 0.
  auto score = [&](uint32_t tf, uint32_t tokens) {
    float norm = static_cast<float>(bm25.LengthNorm(tokens));
    return static_cast<float>(0.0f + bm25.Weight(tf, norm, idf));
  };
  std::vector<std::pair<size_t, Scored>> heap;  // the worst of the best so far on top
  auto worse_on_top = [](const std::pair<size_t, Scored>& a, const std::pair<size_t, Scored>& b) {
    return RanksBefore(a.second, b.second);
  };
  std::vector<std::pair<uint32_t, uint32_t>> bounds;
  size_t i = 0;  // in result
  for (size_t b = 0; b < p->blocks() && i < result.size(); ++b) {
    const uint32_t first = b == 0 ? 1 : p->BlockLast(b - 1) + 1, last = p->BlockLast(b);
    i = Seek(result, i, first);
    if (i == result.size()) break;
    if (result[i] > last) continue;  // no document of the query in the block
    if (!p->BlockBounds(b, &bounds)) return false;
    if (heap.size() == k) {
      // Its documents come after those in the heap: one that only ties ranks below.
      float bound = 0;
      for (const auto& [tf, tokens] : bounds) bound = std::max(bound, score(tf, tokens));
      if (!(bound > heap.front().second.score)) continue;
    }
    if (!p->SkipTo(first)) break;  // damage ends the postings, as for the Scorer
    do {
      const uint32_t d = p->doc();
      if (d > last) break;
      i = Seek(result, i, d);
      if (i == result.size()) break;
      if (result[i] != d) continue;
      Scored s{score(p->count(), stats->DocumentTokens(d)), d};
      if (heap.size() < k) {
        heap.emplace_back(i, s);
        std::push_heap(heap.begin(), heap.end(), worse_on_top);
      } else if (RanksBefore(s, heap.front().second)) {
        std::pop_heap(heap.begin(), heap.end(), worse_on_top);
        heap.back() = {i, s};
        std::push_heap(heap.begin(), heap.end(), worse_on_top);
      }
    } while (p->Next());
  }
  if (heap.size() < k) return false;  // a list cut short by damage: every document scored
  std::sort_heap(heap.begin(), heap.end(), worse_on_top);
  best->swap(heap);
  return true;
}

std::vector<Scored> ScoreByTermsHeld(const std::string& index_dir, const InMemoryIndex& index,
                                     const QueryWords& words, const FileList& result) {
  std::vector<Scored> out(result.size());
  if (result.empty()) return out;
  std::vector<uint32_t> slot(static_cast<size_t>(result.back()) + 1, kNoSlot);
  for (size_t i = 0; i < result.size(); ++i) {
    slot[result[i]] = static_cast<uint32_t>(i);
    out[i].file = result[i];
  }
  auto count = [&](const FileList& files) {
    for (uint32_t n : files) {
      if (n < slot.size() && slot[n] != kNoSlot) out[slot[n]].score += 1;
    }
  };
  std::set<std::string> seen;
  FileList list;
  for (const auto* group : {&words.all_n_any, &words.include}) {
    for (const std::string& w : *group) {
      if (!seen.insert(w).second) continue;
      if (getFileList(index_dir, index.words, index.total_files, w, &list)) count(list);
    }
  }
  for (const auto* terms : {&words.any_terms, &words.include_terms}) {
    for (const QueryTerm& t : *terms) {
      count(t.kind == QueryTerm::Kind::kPrefix ? PrefixFiles(index_dir, index, t.tokens[0])
                                               : PhraseCandidates(index_dir, index, t.tokens));
    }
  }
  return out;
}

void LogRankingWithoutPositions() {
  WriteLog(
      "Results by relevance: the index has no positions; documents are ordered by the number "
      "of query terms they hold until the next build writes them.");
}

}  // namespace norvel
