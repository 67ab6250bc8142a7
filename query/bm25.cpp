// BM25, group occurrences and the proximity weight over positions.
#include "query/bm25.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace norvel {

Bm25::Bm25(uint32_t documents, uint64_t total_tokens, Bm25Params params)
    : params_(params),
      documents_(documents),
      average_length_(documents == 0 ? 1.0 : static_cast<double>(total_tokens) / documents) {
  if (average_length_ <= 0) average_length_ = 1.0;
}

double Bm25::Idf(uint32_t df) const {
  double idf = std::log((documents_ - df + 0.5) / (df + 0.5));
  return idf > kMinIdf ? idf : kMinIdf;
}

double Bm25::LengthNorm(uint32_t dl) const {
  return params_.k1 * (1.0 - params_.b + params_.b * dl / average_length_);
}

double Bm25::Weight(double tf, double norm, double idf) const {
  if (tf <= 0) return 0;
  return idf * tf * (params_.k1 + 1.0) / (tf + norm);
}

namespace {

bool Holds(const std::vector<uint32_t>& positions, uint64_t p) {
  return p <= std::numeric_limits<uint32_t>::max() &&
         std::binary_search(positions.begin(), positions.end(), static_cast<uint32_t>(p));
}

uint32_t CountPhrase(const std::vector<std::vector<uint32_t>>& positions) {
  uint32_t count = 0;
  for (uint32_t p : positions[0]) {
    bool all = true;
    for (size_t i = 1; i < positions.size() && all; ++i) all = Holds(positions[i], p + uint64_t{i});
    count += all;
  }
  return count;
}

// The shortest windows holding every token, by one pass over the merged occurrences: the
// window ends at each occurrence and starts as late as it can while every token (with its
// multiplicity) is still inside.
uint32_t CountNear(const std::vector<std::vector<uint32_t>>& positions, int slop) {
  // Tokens given twice share a position list; they need as many distinct positions.
  std::vector<size_t> token_of(positions.size());
  std::vector<uint32_t> needed;
  std::vector<const std::vector<uint32_t>*> lists;
  for (size_t t = 0; t < positions.size(); ++t) {
    size_t same = t;
    for (size_t u = 0; u < t; ++u) {
      if (positions[u] == positions[t]) {
        same = token_of[u];
        break;
      }
    }
    if (same == t) {
      token_of[t] = lists.size();
      lists.push_back(&positions[t]);
      needed.push_back(1);
    } else {
      token_of[t] = same;
      ++needed[same];
    }
  }
  std::vector<std::pair<uint32_t, size_t>> merged;
  for (size_t t = 0; t < lists.size(); ++t) {
    for (uint32_t p : *lists[t]) merged.emplace_back(p, t);
  }
  std::sort(merged.begin(), merged.end());
  const uint64_t width = positions.size() + static_cast<uint64_t>(slop);
  std::vector<uint32_t> inside(lists.size(), 0);
  size_t missing = lists.size(), start = 0;
  uint32_t count = 0;
  uint64_t last_start = std::numeric_limits<uint64_t>::max();
  for (size_t end = 0; end < merged.size(); ++end) {
    size_t t = merged[end].second;
    if (++inside[t] == needed[t]) --missing;
    while (missing == 0) {
      size_t s = merged[start].second;
      if (inside[s] == needed[s]) break;  // the start cannot move without losing a token
      --inside[s];
      ++start;
    }
    if (missing != 0) continue;
    uint64_t span = uint64_t{merged[end].first} - merged[start].first + 1;
    // One occurrence per window start: a later end with the same start is no new one.
    if (span <= width && merged[start].first != last_start) {
      ++count;
      last_start = merged[start].first;
    }
  }
  return count;
}

}  // namespace

uint32_t CountGroupOccurrences(const std::vector<std::vector<uint32_t>>& positions, int slop) {
  if (positions.empty()) return 0;
  for (const auto& p : positions) {
    if (p.empty()) return 0;
  }
  return slop < 0 ? CountPhrase(positions) : CountNear(positions, slop);
}

double ProximityWeight(const std::vector<const std::vector<uint32_t>*>& positions,
                       const std::vector<double>& idf, double norm, double k1) {
  double weight = 0;
  for (size_t a = 0; a < positions.size(); ++a) {
    if (!positions[a]) continue;
    for (size_t b = a + 1; b < positions.size(); ++b) {
      if (!positions[b]) continue;
      const std::vector<uint32_t>& first = *positions[a];
      const std::vector<uint32_t>& second = *positions[b];
      // Both ascending: one merge finds every p of a with p + 1 in b.
      uint32_t follows = 0;
      size_t j = 0;
      for (uint32_t p : first) {
        while (j < second.size() && second[j] <= p) ++j;
        if (j < second.size() && second[j] == uint64_t{p} + 1) ++follows;
      }
      if (follows == 0) continue;
      weight += std::min(idf[a], idf[b]) * follows * (k1 + 1.0) / (follows + norm);
    }
  }
  return kProximityWeight * weight;
}

}  // namespace norvel
