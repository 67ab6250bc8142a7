// Phrase tokens, prefixes and the documents the index gives for them.
#include "query/terms.h"

#include <algorithm>

#include "index/index_files.h"
#include "index/word_rules.h"
#include "query/query.h"

namespace norvel {

namespace {

std::vector<std::string> CutFoldedIntlTokens(std::string_view text) {
  std::vector<std::string> tokens;
  IntlTokenScanner scanner(/*every_token=*/true);
  auto take = [&](const char* folded, size_t len, size_t) {
    // Only the first kMaxWordLength + 1 bytes of a longer token are kept: enough to tell
    // that it is longer than any index word.
    tokens.emplace_back(folded, len < kMaxWordLength + 1 ? len : kMaxWordLength + 1);
    return true;
  };
  scanner.Feed(text.data(), text.size(), take);
  scanner.Finish(take);
  return tokens;
}

}  // namespace

bool CanBeIndexWord(std::string_view token, WordRules rules) {
  if (token.empty() || token.size() > kMaxWordLength) return false;
  if (rules == WordRules::kAscii) return startsWithLetter(token);
  uint32_t cp = 0;
  return DecodeChar(token.data(), token.size(), true, &cp) != 0 && IntlCharClass(cp) == kCharLetter;
}

std::vector<std::string> CutFoldedTokens(std::string_view text, WordRules rules) {
  if (rules == WordRules::kInternational) return CutFoldedIntlTokens(text);
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !IsWordByte(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && IsWordByte(text[i])) ++i;
    if (i == start) break;
    std::string token(text.substr(start, i - start));
    toLowerWord(&token);
    tokens.push_back(std::move(token));
  }
  return tokens;
}

bool PrefixOfWord(std::string_view word, std::string* text) {
  if (word.size() < 2 || word.back() != '*') return false;
  std::string_view before = word.substr(0, word.size() - 1);
  if (before.find('*') != std::string_view::npos) return false;
  text->assign(before);
  return true;
}

const std::vector<uint32_t>& WordsInOrder(const InMemoryIndex& index) {
  std::vector<uint32_t>& order = index.words_in_order;
  if (order.size() == index.words.word_count()) return order;
  order.resize(index.words.word_count());
  for (size_t e = 0; e < order.size(); ++e) order[e] = static_cast<uint32_t>(e);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return index.words.Text(a) < index.words.Text(b); });
  return order;
}

std::vector<uint32_t> PrefixFiles(const std::string& index_dir, const InMemoryIndex& index,
                                  const std::string& prefix) {
  // Many words may match: their lists come through one open postings file as runs, which
  // are sorted and joined, so each document is written once however many words hold it.
  PostingsFile postings;
  bool opened = false;
  std::vector<PostingRun> runs;
  ForEachPrefixWord(index, prefix, [&](size_t entry) {
    if (!opened && !(opened = postings.Open(index_dir))) return false;
    postings.ReadRuns(index.words.PostingOffset(entry), index.total_files, &runs);
    return true;
  });
  std::sort(runs.begin(), runs.end(),
            [](const PostingRun& a, const PostingRun& b) { return a.first < b.first; });
  std::vector<uint32_t> files;
  uint64_t done = 0;  // every number up to it is in files
  for (const PostingRun& r : runs) {
    for (uint64_t n = std::max<uint64_t>(r.first, done + 1); n <= r.last; ++n) {
      files.push_back(static_cast<uint32_t>(n));
    }
    done = std::max<uint64_t>(done, r.last);
  }
  return files;
}

bool PrefixMarks::Marks(std::string_view folded_word) const {
  for (const std::string& p : prefixes) {
    if (folded_word.size() >= p.size() && folded_word.compare(0, p.size(), p) == 0) {
      return CanBeIndexWord(folded_word, rules) &&
             !std::binary_search(excluded.begin(), excluded.end(), folded_word);
    }
  }
  return false;
}

std::vector<uint32_t> PhraseCandidates(const std::string& index_dir, const InMemoryIndex& index,
                                       const std::vector<std::string>& tokens) {
  FileList candidates, list;
  bool first = true;
  for (const std::string& token : tokens) {
    if (!CanBeIndexWord(token, index.rules)) continue;
    if (index.exclusions.Contains(token)) continue;
    if (!getFileList(index_dir, index.words, index.total_files, token, &list)) return {};
    if (first) {
      candidates.swap(list);
      first = false;
    } else if (intersectLists(&candidates, &list, 0) == 0) {
      return {};
    }
  }
  return candidates;
}

}  // namespace norvel
