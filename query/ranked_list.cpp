// The result list in order of relevance: partial sorts extended page by page.
#include "query/ranked_list.h"

#include <algorithm>

namespace norvel {

void RankedList::Clear() {
  std::vector<Scored>().swap(scored_);
  ranked_ = 0;
  partial_ = false;
}

void RankedList::Assign(std::vector<Scored> scored, std::vector<uint32_t>* order) {
  scored_ = std::move(scored);
  ranked_ = 0;
  partial_ = false;
  order->resize(scored_.size());
  for (size_t i = 0; i < scored_.size(); ++i) (*order)[i] = scored_[i].file;
}

std::vector<size_t> BestOf(const std::vector<Scored>& scored, size_t from, size_t k) {
  std::vector<size_t> heap;  // the worst of the best so far on top
  if (from >= scored.size() || k == 0) return heap;
  k = std::min(k, scored.size() - from);
  heap.reserve(k);
  auto worse_on_top = [&](size_t a, size_t b) { return RanksBefore(scored[a], scored[b]); };
  for (size_t i = from; i < scored.size(); ++i) {
    if (heap.size() < k) {
      heap.push_back(i);
      std::push_heap(heap.begin(), heap.end(), worse_on_top);
    } else if (RanksBefore(scored[i], scored[heap.front()])) {
      std::pop_heap(heap.begin(), heap.end(), worse_on_top);
      heap.back() = i;
      std::push_heap(heap.begin(), heap.end(), worse_on_top);
    }
  }
  std::sort_heap(heap.begin(), heap.end(), worse_on_top);  // best first
  return heap;
}

void RankedList::AssignBest(const std::vector<std::pair<size_t, Scored>>& best,
                            std::vector<uint32_t>* order) {
  const size_t k = best.size();
  std::vector<size_t> picked;
  picked.reserve(k);
  for (const auto& b : best) picked.push_back(b.first);
  std::sort(picked.begin(), picked.end());
  // What they displace in the front goes where those of them behind it were.
  size_t behind = std::lower_bound(picked.begin(), picked.end(), k) - picked.begin();
  for (size_t t = 0; t < k; ++t) {
    if (!std::binary_search(picked.begin(), picked.end(), t))
      (*order)[picked[behind++]] = (*order)[t];
  }
  scored_.clear();
  for (size_t t = 0; t < k; ++t) {
    scored_.push_back(best[t].second);
    (*order)[t] = best[t].second.file;
  }
  ranked_ = k;
  partial_ = true;
}

void RankedList::Extend(size_t k, std::vector<uint32_t>* order) {
  if (k <= ranked_ || partial_) return;
  k = std::min(std::max(k, 2 * ranked_), scored_.size());
  auto first = scored_.begin() + static_cast<long>(ranked_);
  auto middle = scored_.begin() + static_cast<long>(k);
  if ((k - ranked_) * 16 < scored_.size() - ranked_) {
    // A page's worth of a long list: the best are picked out, the rest stay unsorted.
    std::vector<size_t> picked = BestOf(scored_, ranked_, k - ranked_);
    std::vector<Scored> best;
    for (size_t i : picked) best.push_back(scored_[i]);
    std::sort(picked.begin(), picked.end());
    // What they displace in the front goes where those of them behind it were.
    size_t behind = std::lower_bound(picked.begin(), picked.end(), k) - picked.begin();
    for (size_t t = ranked_; t < k; ++t) {
      if (!std::binary_search(picked.begin(), picked.end(), t))
        scored_[picked[behind++]] = scored_[t];
    }
    std::copy(best.begin(), best.end(), first);
  } else {
    // What is ranked already is better than everything after it: only the rest is searched.
    std::nth_element(first, middle - 1, scored_.end(), RanksBefore);
    std::sort(first, middle, RanksBefore);
  }
  for (size_t i = ranked_; i < k; ++i) (*order)[i] = scored_[i].file;
  ranked_ = k;
}

}  // namespace norvel
