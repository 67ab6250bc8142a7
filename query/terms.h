// Query terms beyond single words: phrases ("out of paper"), which documents are read to
// confirm, and prefixes (licen*), which stand for every index word they begin.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/in_memory_index.h"
#include "index/word_rules_intl.h"

namespace norvel {

// A phrase of two or more tokens, or a prefix.
struct QueryTerm {
  enum class Kind { kPhrase, kPrefix };
  Kind kind = Kind::kPhrase;
  // A phrase: its folded tokens in order. A prefix: one entry, the folded text before '*'.
  std::vector<std::string> tokens;
};

// Cuts text into tokens by the index's word rules (the ASCII rules: maximal runs of 0-9,
// A-Z, a-z, '-', '_'), each folded as words are. Every token counts, whatever its first
// character or length. The one place that says how a phrase becomes tokens.
std::vector<std::string> CutFoldedTokens(std::string_view text,
                                         WordRules rules = WordRules::kAscii);

// True when a folded token can be an index word by the rules: a letter first and at most
// kMaxWordLength bytes.
bool CanBeIndexWord(std::string_view token, WordRules rules);

// A query word (its +/- taken off) that is a prefix: it ends in '*', has at least one
// character before it and no other '*'. Sets *text to what stands before the '*'.
bool PrefixOfWord(std::string_view word, std::string* text);

// Calls on_word(entry) for each index word that begins with prefix, in the order the
// index holds its words, until on_word returns false.
template <typename OnWord>
void ForEachPrefixWord(const WordTable& words, std::string_view prefix, OnWord&& on_word) {
  for (size_t e = 0; e < words.word_count(); ++e) {
    std::string_view w = words.Text(e);
    if (w.size() >= prefix.size() && w.compare(0, prefix.size(), prefix) == 0) {
      if (!on_word(e)) return;
    }
  }
}

// The documents holding any index word that begins with prefix, ascending. Throws
// std::bad_alloc.
std::vector<uint32_t> PrefixFiles(const std::string& index_dir, const InMemoryIndex& index,
                                  const std::string& prefix);

// The documents that hold every index word of the phrase (a token that begins with a
// letter, has at most 254 characters and is not an excluded word), ascending: the only
// documents that can hold the phrase. Empty when no token is an index word, so such a
// phrase finds nothing. Throws std::bad_alloc.
std::vector<uint32_t> PhraseCandidates(const std::string& index_dir, const InMemoryIndex& index,
                                       const std::vector<std::string>& tokens);

// How many index words a prefix marks in the result view at most: the first ones in the
// order the index holds its words.
constexpr size_t kMaxMarkedPrefixWords = 1000;

}  // namespace norvel
