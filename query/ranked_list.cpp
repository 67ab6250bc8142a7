// The result list in order of relevance: partial sorts extended page by page.
#include "query/ranked_list.h"

#include <algorithm>

namespace norvel {

void RankedList::Clear() {
  std::vector<Scored>().swap(scored_);
  ranked_ = 0;
}

void RankedList::Assign(std::vector<Scored> scored, std::vector<uint32_t>* order) {
  scored_ = std::move(scored);
  ranked_ = 0;
  order->resize(scored_.size());
  for (size_t i = 0; i < scored_.size(); ++i) (*order)[i] = scored_[i].file;
}

void RankedList::Extend(size_t k, std::vector<uint32_t>* order) {
  if (k <= ranked_) return;
  k = std::min(std::max(k, 2 * ranked_), scored_.size());
  auto first = scored_.begin() + static_cast<long>(ranked_);
  auto middle = scored_.begin() + static_cast<long>(k);
  // What is ranked already is better than everything after it: only the rest is searched.
  std::nth_element(first, middle - 1, scored_.end(), RanksBefore);
  std::sort(first, middle, RanksBefore);
  for (size_t i = ranked_; i < k; ++i) (*order)[i] = scored_[i].file;
  ranked_ = k;
}

}  // namespace norvel
