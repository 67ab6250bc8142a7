// Phrase confirmation: a token matcher and the reading of candidate documents.
#include "query/phrase.h"

#include <cstring>

#include "index/index_files.h"
#include "index/tokenizer.h"
#include "index/word_rules_intl.h"
#include "platform/path.h"

namespace norvel {

PhraseMatcher::PhraseMatcher(const std::vector<std::string>* tokens, bool folded_tokens)
    : tokens_(tokens), folded_tokens_(folded_tokens), fallback_(tokens->size(), 0) {
  const std::vector<std::string>& p = *tokens;
  for (size_t k = 1, m = 0; k < p.size(); ++k) {
    while (m > 0 && p[k] != p[m]) m = fallback_[m - 1];
    if (p[k] == p[m]) ++m;
    fallback_[k] = m;
  }
}

bool PhraseMatcher::Equals(size_t k, const char* token, size_t len) const {
  const std::string& want = (*tokens_)[k];
  if (want.size() != len) return false;  // phrase tokens are shorter than 256 characters
  if (folded_tokens_) return std::memcmp(want.data(), token, len) == 0;
  for (size_t i = 0; i < len; ++i) {
    if (FoldChar(token[i]) != want[i]) return false;
  }
  return true;
}

bool PhraseMatcher::Step(const char* token, size_t len) {
  if (tokens_->empty()) return false;
  while (matched_ > 0 && !Equals(matched_, token, len)) matched_ = fallback_[matched_ - 1];
  if (Equals(matched_, token, len)) ++matched_;
  if (matched_ < tokens_->size()) return false;
  matched_ = fallback_[matched_ - 1];
  return true;
}

PhraseReader::PhraseReader(const std::string& data_dir, const std::string& index_dir,
                           const InMemoryIndex& index)
    : data_dir_(data_dir),
      index_dir_(index_dir),
      names_(index_dir_, index),
      index_(index),
      block_(65536) {}

bool PhraseReader::Holds(uint32_t n, const std::vector<std::string>& tokens) {
  std::string name;
  if (tokens.empty() || names_.Read(n, &name) != NameReader::Result::kOk) return false;
  // Read in binary: a CR LF pair separates tokens as the lone LF of text mode would, so
  // only text mode's end of text at byte 0x1A needs doing here.
  platform::File file;
  if (!file.Open(platform::JoinPath(data_dir_, name), "rb")) return false;
  if (index_.rules == WordRules::kInternational) {
    PhraseMatcher matcher(&tokens, /*folded_tokens=*/true);
    IntlTokenScanner scanner(/*every_token=*/true);
    return Scan(file, scanner, matcher);
  }
  PhraseMatcher matcher(&tokens);
  TokenScanner scanner;
  return Scan(file, scanner, matcher);
}

template <typename Scanner>
bool PhraseReader::Scan(platform::File& file, Scanner& scanner, PhraseMatcher& matcher) {
  bool found = false;
  auto on_token = [&](const char* text, size_t len, size_t) {
    found = matcher.Step(text, len);
    return !found;  // the first occurrence ends the reading
  };
  // A token cut by a block end waits in the scanner for the rest.
  for (;;) {
    size_t got = file.Read(block_.data(), block_.size());
    if (got == 0) break;
    const void* end_of_text = std::memchr(block_.data(), 0x1A, got);
    if (end_of_text)
      got = static_cast<size_t>(static_cast<const char*>(end_of_text) - block_.data());
    if (!scanner.Feed(block_.data(), got, on_token) || end_of_text) break;
  }
  if (!found) scanner.Finish(on_token);
  return found;
}

}  // namespace norvel
