// Query parsing.
#include <cstring>
#include <new>

#include "core/messages.h"
#include "query/query.h"

namespace norvel {

namespace {

enum class Group { kAllnAny, kInclude, kExclude };

// The blank is the only separator; tabs and punctuation belong to the token.
template <typename OnToken>
void ForEachToken(const char* query, OnToken&& on_token) {
  const char* p = query;
  while (*p) {
    while (*p == ' ') ++p;
    if (!*p) break;
    const char* start = p;
    while (*p && *p != ' ') ++p;
    on_token(std::string(start, static_cast<size_t>(p - start)));
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

}  // namespace

int parseQuery(const char* query, QueryWords* out, const WordTable& exclusions, WordRules rules) {
  out->Clear();
  if (!query) return -1;
  const char* failing = "parseQuery():Malloc failure for AllnAny word data.";
  try {
    ForEachToken(query, [&](const std::string& token) {
      Group group;
      std::string word;
      if (!ClassifyToken(token, exclusions, rules, &group, &word)) return;
      switch (group) {
        case Group::kAllnAny:
          failing = "parseQuery():Malloc failure for AllnAny word data.";
          out->all_n_any.push_back(std::move(word));
          break;
        case Group::kInclude:
          failing = "parseQuery():Malloc failure for Include word data.";
          out->include.push_back(std::move(word));
          break;
        case Group::kExclude:
          failing = "parseQuery():Malloc failure for Exclude word data.";
          out->exclude.push_back(std::move(word));
          break;
      }
    });
  } catch (const std::bad_alloc&) {
    out->Clear();
    WriteLog(failing);
    return -1;
  }
  // Exclude words alone are no query.
  if (out->all_n_any.empty() && out->include.empty()) {
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

}  // namespace norvel
