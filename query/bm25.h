// Relevance arithmetic: BM25 term weights, how often a phrase or proximity group occurs in
// a document's positions, and the weight of query words standing side by side, on plain numbers.
#pragma once

#include <cstdint>
#include <vector>

namespace norvel {

// BM25 with its usual parameters.
struct Bm25Params {
  double k1 = 1.2;
  double b = 0.75;
};

class Bm25 {
 public:
  // documents: the index's total files; total_tokens: their token counts added up.
  Bm25(uint32_t documents, uint64_t total_tokens, Bm25Params params = Bm25Params());
  // ln((N - df + 0.5) / (df + 0.5)), at least kMinIdf: a word in half the documents or
  // more tells almost nothing, yet a document never loses by holding a query word.
  static constexpr double kMinIdf = 1e-6;
  double Idf(uint32_t df) const;
  // The k1 * (1 - b + b * dl / avgdl) of a document of dl tokens.
  double LengthNorm(uint32_t dl) const;
  // idf * tf * (k1 + 1) / (tf + norm).
  double Weight(double tf, double norm, double idf) const;
  double k1() const { return params_.k1; }

 private:
  Bm25Params params_;
  double documents_;
  double average_length_;
};

// How often a group of tokens occurs in one document, given each token's positions there
// (ascending). slop < 0: a phrase, the tokens one after the other in query order. slop >= 0:
// every token, in any order, within a window of (tokens + slop) consecutive tokens; each
// occurrence is a shortest such window, counted once. A token given twice needs a position
// of its own for each time.
uint32_t CountGroupOccurrences(const std::vector<std::vector<uint32_t>>& positions, int slop);

// The proximity weight: for every two query words a and b, a typed before b, the number of
// times b directly follows a in the document (the query's words standing as the user wrote
// them, whatever was typed between them), saturated as BM25 saturates a frequency, weighted
// by the smaller idf of the two and by kProximityWeight. positions[t]: word t's positions in
// the document, ascending, null when it has none; idf[t] its idf; norm the document's
// LengthNorm; k1 the BM25 parameter.
constexpr double kProximityWeight = 0.15;
double ProximityWeight(const std::vector<const std::vector<uint32_t>*>& positions,
                       const std::vector<double>& idf, double norm, double k1);

}  // namespace norvel
