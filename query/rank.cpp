// Scoring the documents of a query: one pass per term over its postings, aligned with the
// result list through a table from file number to result slot.
#include "query/rank.h"

#include <algorithm>
#include <set>

#include "core/messages.h"
#include "index/index_files.h"
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
        out.groups.push_back(Group{&t.tokens, -1});
        continue;
      }
      // Bounded as its marking is: the first words in the index's own order.
      size_t taken = 0;
      ForEachPrefixWord(index.words, t.tokens[0], [&](size_t e) {
        std::string w(index.words.Text(e));
        if (seen.insert(w).second) out.words.push_back(std::move(w));
        return ++taken < kMaxMarkedPrefixWords;
      });
    }
  }
  return out;
}

// Walks a token's postings over the result list's documents, calling on_doc(slot, count).
template <typename OnDoc>
void Walk(TermPostings* p, const FileList& result, const std::vector<uint32_t>& slot,
          OnDoc&& on_doc) {
  if (p->documents() / 4 > result.size()) {
    // A few results and a long list: jump to each result.
    for (size_t i = 0; i < result.size(); ++i) {
      if (!p->SkipTo(result[i])) return;
      if (p->doc() == result[i]) on_doc(i, p->count());
    }
    return;
  }
  while (p->Next()) {
    uint32_t d = p->doc();
    if (d < slot.size() && slot[d] != kNoSlot) on_doc(slot[d], p->count());
  }
}

class Scorer {
 public:
  Scorer(RankingStats* stats, const FileList& result, const RankOptions& options)
      : stats_(stats),
        result_(result),
        options_(options),
        bm25_(stats->documents(), stats->total_tokens(), options.bm25),
        score_(result.size(), 0.0),
        norm_(result.size()) {
    uint32_t top = result.empty() ? 0 : result.back();
    slot_.assign(static_cast<size_t>(top) + 1, kNoSlot);
    for (size_t i = 0; i < result.size(); ++i) {
      slot_[result[i]] = static_cast<uint32_t>(i);
      norm_[i] = static_cast<float>(bm25_.LengthNorm(stats->DocumentTokens(result[i])));
    }
  }

  void AddWord(const std::string& word) {
    std::unique_ptr<TermPostings> p = stats_->Find(word);
    if (!p) return;
    const double idf = bm25_.Idf(p->documents());
    Walk(p.get(), result_, slot_,
         [&](size_t i, uint32_t tf) { score_[i] += bm25_.Weight(tf, norm_[i], idf); });
  }

  void AddGroup(const Group& g) {
    std::vector<std::unique_ptr<TermPostings>> cursors;
    for (const std::string& token : *g.tokens) {
      cursors.push_back(stats_->Find(token));
      if (!cursors.back()) return;  // a token that occurs nowhere: the group nowhere
    }
    std::vector<std::pair<size_t, uint32_t>> held;  // (slot, occurrences)
    std::vector<std::vector<uint32_t>> positions(cursors.size());
    for (size_t i = 0; i < result_.size(); ++i) {
      if (!AllAt(cursors, result_[i])) continue;
      for (size_t t = 0; t < cursors.size(); ++t) cursors[t]->Positions(&positions[t]);
      uint32_t n = CountGroupOccurrences(positions, g.slop);
      if (n > 0) held.emplace_back(i, n);
    }
    // The group's documents as far as the query's documents show them.
    const double idf = bm25_.Idf(static_cast<uint32_t>(held.size()));
    for (const auto& [i, n] : held) score_[i] += bm25_.Weight(n, norm_[i], idf);
  }

  // The proximity weight for the best documents so far.
  void AddProximity(const std::vector<std::string>& words) {
    if (words.size() < 2 || options_.proximity_candidates == 0) return;
    std::vector<size_t> best(result_.size());
    for (size_t i = 0; i < best.size(); ++i) best[i] = i;
    size_t c = std::min(options_.proximity_candidates, best.size());
    auto before = [&](size_t a, size_t b) {
      return score_[a] != score_[b] ? score_[a] > score_[b] : a < b;
    };
    std::nth_element(best.begin(), best.begin() + static_cast<long>(c - 1), best.end(), before);
    best.resize(c);
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
      if (held >= 2) score_[i] += ProximityWeight(present, idf, norm_[i], bm25_.k1());
    }
  }

  std::vector<Scored> Result() const {
    std::vector<Scored> out(result_.size());
    for (size_t i = 0; i < out.size(); ++i) {
      out[i] = Scored{static_cast<float>(score_[i]), result_[i]};
    }
    return out;
  }

 private:
  static bool AllAt(std::vector<std::unique_ptr<TermPostings>>& cursors, uint32_t n) {
    for (auto& c : cursors) {
      if (!c->SkipTo(n) || c->doc() != n) return false;
    }
    return true;
  }

  RankingStats* stats_;
  const FileList& result_;
  const RankOptions& options_;
  Bm25 bm25_;
  std::vector<double> score_;
  std::vector<float> norm_;
  std::vector<uint32_t> slot_;
};

}  // namespace

std::vector<Scored> ScoreByRelevance(const QueryWords& words, const InMemoryIndex& index,
                                     RankingStats* stats, const FileList& result,
                                     const RankOptions& options) {
  ScoringTerms terms = CollectTerms(words, index);
  Scorer scorer(stats, result, options);
  for (const std::string& w : terms.words) scorer.AddWord(w);
  for (const Group& g : terms.groups) scorer.AddGroup(g);
  if (options.proximity) {
    scorer.AddProximity(std::vector<std::string>(
        terms.words.begin(), terms.words.begin() + static_cast<long>(terms.query_words)));
  }
  return scorer.Result();
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
