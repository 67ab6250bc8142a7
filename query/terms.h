// Query terms beyond single words: phrases ("out of paper") and proximity groups
// ("printer jam"~5), which the positions file (or, without it, the documents) confirm, and
// prefixes (licen*), which stand for every index word they begin.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/in_memory_index.h"
#include "index/word_rules_intl.h"

namespace norvel {

// A phrase or proximity group of two or more tokens, or a prefix.
struct QueryTerm {
  enum class Kind { kPhrase, kPrefix, kNear };
  Kind kind = Kind::kPhrase;
  // A phrase or group: its folded tokens in order. A prefix: one entry, the folded text
  // before '*'.
  std::vector<std::string> tokens;
  // A proximity group: its N. A document holds the group when all its tokens (a token
  // given twice: two occurrences) stand, in any order, within tokens.size() + N
  // consecutive tokens.
  uint32_t slack = 0;
  bool Confirmed() const { return kind != Kind::kPrefix; }  // the postings give candidates
};

// The largest N of a proximity group; a larger one is taken as this.
constexpr uint32_t kMaxSlack = 1000000000;

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

// The entries of the index's words in byte order of their text, sorted on first use and
// kept with the loaded index. Throws std::bad_alloc.
const std::vector<uint32_t>& WordsInOrder(const InMemoryIndex& index);

// Calls on_word(entry) for each index word that begins with prefix, in byte order, until
// on_word returns false: a binary search in WordsInOrder, then the words that follow.
// Throws std::bad_alloc.
template <typename OnWord>
void ForEachPrefixWord(const InMemoryIndex& index, std::string_view prefix, OnWord&& on_word) {
  const std::vector<uint32_t>& order = WordsInOrder(index);
  auto at =
      std::lower_bound(order.begin(), order.end(), prefix,
                       [&](uint32_t e, std::string_view p) { return index.words.Text(e) < p; });
  for (; at != order.end(); ++at) {
    std::string_view w = index.words.Text(*at);
    if (w.size() < prefix.size() || w.compare(0, prefix.size(), prefix) != 0) return;
    if (!on_word(static_cast<size_t>(*at))) return;
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

// The prefixes of a search's AllnAny and Include groups, as the viewer marks them: a word
// is marked when it is an index word (a letter first, at most 254 bytes, not excluded)
// that begins with one of them, however many index words a prefix matches.
struct PrefixMarks {
  std::vector<std::string> prefixes;
  std::vector<std::string> excluded;  // excluded words that begin with a prefix, sorted
  WordRules rules = WordRules::kAscii;
  // word: folded as index words are.
  bool Marks(std::string_view folded_word) const;
  void Clear() {
    prefixes.clear();
    excluded.clear();
  }
};

}  // namespace norvel
