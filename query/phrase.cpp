// Phrase and proximity confirmation: token matchers and the reading of candidate documents.
#include "query/phrase.h"

#include <algorithm>
#include <cstring>

#include "index/index_files.h"
#include "index/tokenizer.h"
#include "index/word_rules.h"
#include "index/word_rules_intl.h"
#include "platform/path.h"

namespace norvel {

PhraseMatcher::PhraseMatcher(const std::vector<std::string>* tokens)
    : tokens_(tokens), fallback_(tokens->size(), 0) {
  const std::vector<std::string>& p = *tokens;
  for (size_t k = 1, m = 0; k < p.size(); ++k) {
    while (m > 0 && p[k] != p[m]) m = fallback_[m - 1];
    if (p[k] == p[m]) ++m;
    fallback_[k] = m;
  }
}

bool PhraseMatcher::Equals(size_t k, const char* token, size_t len) const {
  const std::string& want = (*tokens_)[k];
  // Phrase tokens are shorter than 256 bytes, so an equal token is whole in the buffer.
  return want.size() == len && std::memcmp(want.data(), token, len) == 0;
}

bool PhraseMatcher::Step(const char* token, size_t len) {
  if (tokens_->empty()) return false;
  while (matched_ > 0 && !Equals(matched_, token, len)) matched_ = fallback_[matched_ - 1];
  if (Equals(matched_, token, len)) ++matched_;
  if (matched_ < tokens_->size()) return false;
  matched_ = fallback_[matched_ - 1];
  return true;
}

NearWindow::NearWindow(const std::vector<std::string>& tokens, uint32_t slack)
    : width_(uint64_t{tokens.size()} + slack) {
  for (const std::string& t : tokens) {
    auto at = std::find(distinct_.begin(), distinct_.end(), t);
    if (at == distinct_.end()) {
      distinct_.push_back(t);
      need_.push_back(1);
    } else {
      ++need_[static_cast<size_t>(at - distinct_.begin())];
    }
  }
  have_.assign(distinct_.size(), 0);
}

int NearWindow::Which(const char* token, size_t len) const {
  for (size_t d = 0; d < distinct_.size(); ++d) {
    if (distinct_[d].size() == len && std::memcmp(distinct_[d].data(), token, len) == 0) {
      return static_cast<int>(d);
    }
  }
  return -1;
}

bool NearWindow::Add(uint64_t position, size_t d) {
  held_.emplace_back(position, d);
  if (++have_[d] == need_[d]) ++satisfied_;
  // Only the occurrences of the last width_ positions count.
  while (held_.front().first + width_ <= position) {
    size_t gone = held_.front().second;
    if (have_[gone]-- == need_[gone]) --satisfied_;
    held_.pop_front();
  }
  return satisfied_ == distinct_.size();
}

bool NearWindow::each_once() const {
  return std::all_of(need_.begin(), need_.end(), [](uint32_t n) { return n == 1; });
}

void NearWindow::Reset() {
  held_.clear();
  have_.assign(distinct_.size(), 0);
  satisfied_ = 0;
}

TermMatcher::TermMatcher(const QueryTerm& term)
    : near_(term.kind == QueryTerm::Kind::kNear),
      phrase_(&term.tokens),
      window_(near_ ? term.tokens : std::vector<std::string>(), term.slack) {}

bool TermMatcher::Step(const char* token, size_t len, uint64_t position) {
  if (!near_) return phrase_.Step(token, len);
  int d = window_.Which(token, len);
  return d >= 0 && window_.Add(position, static_cast<size_t>(d));
}

void TermMatcher::Reset() {
  phrase_.Reset();
  window_.Reset();
}

std::vector<std::string> NamesOf(const std::string& index_dir, const InMemoryIndex& index,
                                 const std::vector<uint32_t>& files) {
  std::vector<std::string> names(files.size());
  NameReader lists(index_dir, index);
  for (size_t j = 0; j < files.size(); ++j) {
    if (lists.Read(files[j], &names[j]) != NameReader::Result::kOk) names[j].clear();
  }
  return names;
}

DocumentReader::DocumentReader(const std::string& data_dir, WordRules rules)
    : data_dir_(data_dir), rules_(rules), block_(65536) {}

bool DocumentReader::Check(const std::string& name, const std::vector<TermMatcher*>& matchers,
                           std::vector<uint8_t>* found) {
  found->assign(matchers.size(), 0);
  if (name.empty() || data_dir_.empty()) return false;
  // Read in binary: a CR LF pair separates tokens as the lone LF of text mode would, so
  // only text mode's end of text at byte 0x1A needs doing here.
  platform::File file;
  if (!file.Open(platform::JoinPath(data_dir_, name), "rb")) return false;
  for (TermMatcher* m : matchers) m->Reset();
  if (rules_ == WordRules::kInternational) {
    IntlTokenScanner scanner(/*every_token=*/true);
    return Scan(file, scanner, matchers, found);
  }
  TokenScanner scanner;
  return Scan(file, scanner, matchers, found);
}

template <typename Scanner>
bool DocumentReader::Scan(platform::File& file, Scanner& scanner,
                          const std::vector<TermMatcher*>& matchers, std::vector<uint8_t>* found) {
  const bool fold = rules_ != WordRules::kInternational;  // international tokens come folded
  size_t left = matchers.size();
  uint64_t position = 0;
  char folded[256];
  auto on_token = [&](const char* text, size_t len, size_t) {
    const char* token = text;
    if (fold) {
      size_t valid = len < sizeof folded ? len : sizeof folded;
      for (size_t i = 0; i < valid; ++i) folded[i] = FoldChar(text[i]);
      token = folded;
    }
    for (size_t m = 0; m < matchers.size(); ++m) {
      if (!(*found)[m] && matchers[m]->Step(token, len, position)) {
        (*found)[m] = 1;
        --left;
      }
    }
    ++position;
    return left > 0;  // every term found ends the reading
  };
  // A token cut by a block end waits in the scanner for the rest.
  for (;;) {
    size_t got = file.Read(block_.data(), block_.size());
    if (got == 0) {
      if (file.Error()) return false;
      break;
    }
    const void* end_of_text = std::memchr(block_.data(), 0x1A, got);
    if (end_of_text)
      got = static_cast<size_t>(static_cast<const char*>(end_of_text) - block_.data());
    if (!scanner.Feed(block_.data(), got, on_token) || end_of_text) break;
  }
  if (left > 0) scanner.Finish(on_token);
  return true;
}

}  // namespace norvel
