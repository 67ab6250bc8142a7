// Confirming a phrase by reading a document: its tokens, cut and folded by the word rules,
// must hold the phrase's tokens one after the other, whatever separates them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "index/in_memory_index.h"
#include "index/name_reader.h"
#include "platform/file.h"

namespace norvel {

// Follows a document's tokens and tells when the last ones spelled the phrase. Repeated
// tokens in the phrase ("a b a c") are handled by the usual failure links over tokens,
// so every token of the document is compared a bounded number of times.
class PhraseMatcher {
 public:
  // folded_tokens: the document's tokens come folded already (the international rules),
  // else raw, and they are folded here as the ASCII rules fold.
  explicit PhraseMatcher(const std::vector<std::string>* tokens, bool folded_tokens = false);
  // Takes the document's next token (only its first 255 characters need be valid when it
  // is longer). True when it completed the phrase.
  bool Step(const char* token, size_t len);
  void Reset() { matched_ = 0; }

 private:
  bool Equals(size_t k, const char* token, size_t len) const;
  const std::vector<std::string>* tokens_;
  bool folded_tokens_;
  std::vector<size_t> fallback_;  // after k + 1 matched tokens, the shorter match that stays
  size_t matched_ = 0;
};

// Reads documents of an index by file number to confirm phrases. The list file of the
// names stays open while the file numbers asked for come from it; a name that is not one
// plain file name (a damaged list) names no document.
class PhraseReader {
 public:
  PhraseReader(const std::string& data_dir, const std::string& index_dir,
               const InMemoryIndex& index);
  // True when document n holds the phrase. The document is read only up to the phrase's
  // first occurrence. A document that cannot be named or read holds nothing.
  bool Holds(uint32_t n, const std::vector<std::string>& tokens);

 private:
  template <typename Scanner>
  bool Scan(platform::File& file, Scanner& scanner, PhraseMatcher& matcher);

  std::string data_dir_;
  std::string index_dir_;
  NameReader names_;  // reads the names from index_dir_
  const InMemoryIndex& index_;
  std::vector<char> block_;
};

}  // namespace norvel
