// Query parsing.
#include <algorithm>
#include <cstring>
#include <new>

#include "core/messages.h"
#include "query/query.h"

namespace norvel {

namespace {

enum class Group { kAllnAny, kInclude, kExclude };

// The blank is the only separator between words; tabs and punctuation belong to the
// word. A double quote ends a word and opens a phrase, which runs to the next double
// quote or the end of the query; a '+' or '-' just before the opening quote, at the start
// of a term, is the phrase's group. A '~' and digits right after the closing quote make
// the phrase a proximity group of that slack (on_phrase's near, slack); any other '~'
// stays part of a word. A query without a double quote is cut at blanks only.
template <typename OnWord, typename OnPhrase>
void ForEachTerm(const char* query, OnWord&& on_word, OnPhrase&& on_phrase) {
  const char* p = query;
  while (*p) {
    while (*p == ' ') ++p;
    if (!*p) break;
    char sign = 0;
    if ((*p == '+' || *p == '-') && p[1] == '"') sign = *p++;
    if (*p == '"') {
      const char* start = ++p;
      while (*p && *p != '"') ++p;
      std::string text(start, static_cast<size_t>(p - start));
      bool near = false;
      uint32_t slack = 0;
      if (*p && p[1] == '~' && p[2] >= '0' && p[2] <= '9') {
        near = true;
        for (p += 2; *p >= '0' && *p <= '9'; ++p) {
          // A slack past any document's length is as good as the largest one.
          slack = slack > kMaxSlack / 10
                      ? kMaxSlack
                      : std::min(kMaxSlack, slack * 10 + static_cast<uint32_t>(*p - '0'));
        }
      } else if (*p) {
        ++p;
      }
      on_phrase(sign, text, near, slack);
      continue;
    }
    const char* start = p;
    while (*p && *p != ' ' && *p != '"') ++p;
    on_word(std::string(start, static_cast<size_t>(p - start)));
  }
}

// The word of a token and its group; false when the exclusion table drops it.
bool ClassifyToken(std::string token, const WordTable& exclusions, WordRules rules, Group* group,
                   std::string* word) {
  if (rules == WordRules::kAscii) toLowerWord(&token);
  *group = Group::kAllnAny;
  size_t skip = 0;
  if (token[0] == '+') {
    *group = Group::kInclude;
    skip = 1;
  } else if (token[0] == '-') {
    *group = Group::kExclude;
    skip = 1;
  }
  *word = token.substr(skip);
  if (rules == WordRules::kInternational) *word = FoldIntlText(*word);
  return !exclusions.Contains(*word);
}

Group GroupOfSign(char sign) {
  return sign == '+' ? Group::kInclude : sign == '-' ? Group::kExclude : Group::kAllnAny;
}

// Collects the terms into *out, naming the allocation that failed for the log.
class Collector {
 public:
  Collector(QueryWords* out, const WordTable& exclusions, WordRules rules)
      : out_(out), exclusions_(exclusions), rules_(rules) {}
  const char* failing = "parseQuery():Malloc failure for AllnAny word data.";

  void Word(const std::string& token) {
    Group group = Group::kAllnAny;
    std::string word;
    bool kept = ClassifyToken(token, exclusions_, rules_, &group, &word);
    QueryTerm prefix;
    prefix.kind = QueryTerm::Kind::kPrefix;
    prefix.tokens.emplace_back();
    if (PrefixOfWord(word, &prefix.tokens[0])) {
      Terms(group)->push_back(std::move(prefix));
    } else if (kept) {
      Words(group)->push_back(std::move(word));
    }
  }

  // A phrase (or proximity group) of one token is that word. One without tokens is
  // nothing, except after a '+': there, as a '+' standing alone, it is an empty Include
  // word, which no document holds, so that it narrows the search to nothing instead of
  // dropping out of it.
  void Phrase(char sign, const std::string& text, bool near, uint32_t slack) {
    Group group = GroupOfSign(sign);
    QueryTerm phrase;
    if (near) {
      phrase.kind = QueryTerm::Kind::kNear;
      phrase.slack = slack;
    }
    phrase.tokens = CutFoldedTokens(text, rules_);
    if (phrase.tokens.empty()) {
      if (group == Group::kInclude) Words(group)->emplace_back();
      return;
    }
    if (phrase.tokens.size() == 1) {
      if (!exclusions_.Contains(phrase.tokens[0])) {
        Words(group)->push_back(std::move(phrase.tokens[0]));
      }
      return;
    }
    Terms(group)->push_back(std::move(phrase));
  }

 private:
  std::vector<std::string>* Words(Group group) {
    switch (group) {
      case Group::kInclude:
        failing = "parseQuery():Malloc failure for Include word data.";
        return &out_->include;
      case Group::kExclude:
        failing = "parseQuery():Malloc failure for Exclude word data.";
        return &out_->exclude;
      default:
        failing = "parseQuery():Malloc failure for AllnAny word data.";
        return &out_->all_n_any;
    }
  }
  std::vector<QueryTerm>* Terms(Group group) {
    Words(group);  // names the group's failure
    return group == Group::kInclude   ? &out_->include_terms
           : group == Group::kExclude ? &out_->exclude_terms
                                      : &out_->any_terms;
  }

  QueryWords* out_;
  const WordTable& exclusions_;
  WordRules rules_;
};

}  // namespace

int parseQuery(const char* query, QueryWords* out, const WordTable& exclusions, WordRules rules) {
  out->Clear();
  if (!query) return -1;
  Collector collect(out, exclusions, rules);
  try {
    ForEachTerm(
        query, [&](const std::string& token) { collect.Word(token); },
        [&](char sign, const std::string& text, bool near, uint32_t slack) {
          collect.Phrase(sign, text, near, slack);
        });
  } catch (const std::bad_alloc&) {
    out->Clear();
    WriteLog(collect.failing);
    return -1;
  }
  // Exclude words alone are no query.
  if (!out->Searchable()) {
    out->Clear();
    return -1;
  }
  return 0;
}

void buildQueryWordTable(const QueryWords& words, WordTable* table) {
  for (const auto* group : {&words.all_n_any, &words.include}) {
    for (const std::string& word : *group) {
      insertWord(0, word.data(), word.size(), table);
    }
  }
}

WordTable MakeQueryWordTable(const QueryWords& words, const InMemoryIndex& index) {
  (void)index;
  size_t count = words.all_n_any.size() + words.include.size();
  if (!words.HasTerms()) {
    WordTable table(static_cast<uint32_t>(count));
    buildQueryWordTable(words, &table);
    return table;
  }
  // Every token of the phrases and proximity groups is marked; prefixes mark through
  // PrefixMarks.
  std::vector<std::string> marked;
  for (const auto* group : {&words.any_terms, &words.include_terms}) {
    for (const QueryTerm& term : *group) {
      if (term.Confirmed()) marked.insert(marked.end(), term.tokens.begin(), term.tokens.end());
    }
  }
  WordTable table(static_cast<uint32_t>(count + marked.size() > 0 ? count + marked.size() : 1));
  buildQueryWordTable(words, &table);
  for (const std::string& word : marked) insertWord(0, word.data(), word.size(), &table);
  return table;
}

PrefixMarks MakePrefixMarks(const QueryWords& words, const InMemoryIndex& index) {
  PrefixMarks marks;
  marks.rules = index.rules;
  for (const auto* group : {&words.any_terms, &words.include_terms}) {
    for (const QueryTerm& term : *group) {
      if (!term.Confirmed()) marks.prefixes.push_back(term.tokens[0]);
    }
  }
  if (marks.prefixes.empty()) return marks;
  const WordTable& ex = index.exclusions;
  for (size_t e = 0; ex.present() && e < ex.word_count(); ++e) {
    std::string_view w = ex.Text(e);
    for (const std::string& p : marks.prefixes) {
      if (w.size() >= p.size() && w.compare(0, p.size(), p) == 0) {
        marks.excluded.emplace_back(w);
        break;
      }
    }
  }
  std::sort(marks.excluded.begin(), marks.excluded.end());
  return marks;
}

}  // namespace norvel
