// A result list in order of relevance: every matching document with its score, sorted only
// as far as the pages shown so far need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace norvel {

// One matching document and its score; higher scores first, ties by ascending file number.
struct Scored {
  float score = 0;
  uint32_t file = 0;
};

inline bool RanksBefore(const Scored& a, const Scored& b) {
  return a.score != b.score ? a.score > b.score : a.file < b.file;
}

// The indexes of the k best of scored[from, end), best first: one pass with a heap of k,
// which a long list of mostly worse scores passes through with one comparison each.
std::vector<size_t> BestOf(const std::vector<Scored>& scored, size_t from, size_t k);

// The order of the pages: a top-k that grows as the user pages on. The full sort happens
// only when every result is asked for (the names-only listing).
class RankedList {
 public:
  bool empty() const { return scored_.empty(); }
  size_t size() const { return scored_.size(); }
  size_t ranked() const { return ranked_; }
  void Clear();

  // Takes the scores over and writes their files into *order (same count, not yet ranked).
  void Assign(std::vector<Scored> scored, std::vector<uint32_t>* order);
  // Takes the k best alone, found without scoring the rest: best holds their indexes in
  // *order (every result, ascending) and their scores, best first. They become order[0, k);
  // the other files follow in no order, unscored, so that Extend cannot go past them:
  // Covers says how far it can.
  void AssignBest(const std::vector<std::pair<size_t, Scored>>& best, std::vector<uint32_t>* order);
  // Whether order[0, k) is ranked or can be by Extend (else every result is to be scored).
  bool Covers(size_t k) const { return !partial_ || k <= ranked_; }
  bool partial() const { return partial_; }
  // Makes order[0, k) the k best files, best first; later calls extend what is ranked
  // (at least doubling it, so that leafing on costs a few partial sorts in all).
  void Extend(size_t k, std::vector<uint32_t>* order);
  // The score of order[i] once it is ranked.
  float ScoreAt(size_t i) const { return scored_[i].score; }

 private:
  std::vector<Scored> scored_;
  size_t ranked_ = 0;
  bool partial_ = false;  // scored_ holds the ranked_ best alone
};

}  // namespace norvel
