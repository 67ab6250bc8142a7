// Confirming phrases and proximity groups in a token stream: the matchers that follow a
// document's tokens (or a term's positions), and the reading of candidate documents for
// all of a query's terms at once when the index has no usable positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "index/in_memory_index.h"
#include "index/name_reader.h"
#include "platform/file.h"
#include "query/terms.h"

namespace norvel {

// Follows a document's folded tokens and tells when the last ones spelled the phrase.
// Repeated tokens in the phrase ("a b a c") are handled by the usual failure links over
// tokens, so every token of the document is compared a bounded number of times.
class PhraseMatcher {
 public:
  explicit PhraseMatcher(const std::vector<std::string>* tokens);
  // Takes the document's next folded token (only its first 255 bytes need be valid when it
  // is longer). True when it completed the phrase.
  bool Step(const char* token, size_t len);
  void Reset() { matched_ = 0; }

 private:
  bool Equals(size_t k, const char* token, size_t len) const;
  const std::vector<std::string>* tokens_;
  std::vector<size_t> fallback_;  // after k + 1 matched tokens, the shorter match that stays
  size_t matched_ = 0;
};

// A proximity group's window: told where its tokens occur, in ascending positions, it
// says when the last tokens.size() + slack positions held every token of the group (a
// token the group names twice, two occurrences).
class NearWindow {
 public:
  NearWindow(const std::vector<std::string>& tokens, uint32_t slack);
  // The group's distinct tokens; Add takes an index into them.
  const std::vector<std::string>& distinct() const { return distinct_; }
  // The index of a folded token among distinct(), or -1.
  int Which(const char* token, size_t len) const;
  // Distinct token d stands at position (ascending over calls). True when a window ending
  // here holds the whole group.
  bool Add(uint64_t position, size_t d);
  void Reset();
  // Positions of the group's last token and its first that a window can hold at most
  // apart, plus one.
  uint64_t width() const { return width_; }
  // Every distinct token is wanted once (the group names none twice).
  bool each_once() const;

 private:
  std::vector<std::string> distinct_;
  std::vector<uint32_t> need_, have_;
  uint64_t width_;
  size_t satisfied_ = 0;  // distinct tokens with have_ >= need_
  std::deque<std::pair<uint64_t, size_t>> held_;
};

// One phrase or proximity group followed over a document's tokens.
class TermMatcher {
 public:
  explicit TermMatcher(const QueryTerm& term);
  // The document's token at `position` (every token counts), folded. True when the term
  // is complete.
  bool Step(const char* token, size_t len, uint64_t position);
  void Reset();

 private:
  bool near_;
  PhraseMatcher phrase_;
  NearWindow window_;
};

// The names of documents by file number, as the index's lists give them; an empty name
// for a number that cannot be named (no record, or one that is no plain file name: a
// damaged list). Read under the swap lock, before the documents are.
std::vector<std::string> NamesOf(const std::string& index_dir, const InMemoryIndex& index,
                                 const std::vector<uint32_t>& files);

// Reads documents of the data directory to confirm terms: each document once, for every
// term it is to be checked for.
class DocumentReader {
 public:
  DocumentReader(const std::string& data_dir, WordRules rules);
  // Reads the document `name` (in binary, up to its end of text at byte 0x1A) until every
  // matcher has found its term or the text ends; found[i] tells matcher i's answer. False
  // when the document cannot be named or read.
  bool Check(const std::string& name, const std::vector<TermMatcher*>& matchers,
             std::vector<uint8_t>* found);

 private:
  template <typename Scanner>
  bool Scan(platform::File& file, Scanner& scanner, const std::vector<TermMatcher*>& matchers,
            std::vector<uint8_t>* found);

  std::string data_dir_;
  WordRules rules_;
  std::vector<char> block_;
};

}  // namespace norvel
