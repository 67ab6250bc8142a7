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

std::vector<uint32_t> PrefixFiles(const std::string& index_dir, const InMemoryIndex& index,
                                  const std::string& prefix) {
  std::vector<uint32_t> files;
  // Many words may match: their lists come through one open postings file, and their
  // documents are marked in one table of all file numbers rather than merged list by list.
  PostingsFile postings;
  std::vector<uint8_t> held;
  std::vector<uint32_t> list;
  ForEachPrefixWord(index.words, prefix, [&](size_t entry) {
    if (held.empty()) {
      if (!postings.Open(index_dir)) return false;
      held.assign(static_cast<size_t>(index.total_files) + 1, 0);
    }
    if (postings.Read(index.words.PostingOffset(entry), index.total_files, &list)) {
      for (uint32_t n : list) held[n] = 1;  // Read leaves out numbers above total files
    }
    return true;
  });
  for (uint32_t n = 1; n < held.size(); ++n) {
    if (held[n]) files.push_back(n);
  }
  return files;
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
