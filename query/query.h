// Queries: parsing the search text into AllnAny, Include (+) and Exclude (-) words, phrases,
// proximity groups and prefixes, their evaluation against the index into the ascending list of
// matching file numbers, and the query-word table that the viewer marks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/in_memory_index.h"
#include "index/index_lock.h"
#include "index/word_table.h"
#include "query/terms.h"

namespace norvel {

// The three word groups of a query, folded, in query order; a word typed twice is there
// twice. Only the blank separates; a leading '+' or '-' is the prefix. A double quote
// opens a phrase that runs to the next one (or the end of the query); a word ending in
// '*' may be a prefix. Phrases of one token are words; longer phrases and prefixes are
// terms of the same three groups.
struct QueryWords {
  std::vector<std::string> all_n_any;  // no prefix: a document with any of them is a candidate
  std::vector<std::string> include;    // '+': every result holds each of them
  std::vector<std::string> exclude;    // '-': no result holds any of them
  std::vector<QueryTerm> any_terms;    // phrases and prefixes of the three groups
  std::vector<QueryTerm> include_terms;
  std::vector<QueryTerm> exclude_terms;

  // A phrase or proximity group, which positions or documents confirm.
  bool HasConfirmed() const {
    for (const auto* group : {&any_terms, &include_terms, &exclude_terms}) {
      for (const QueryTerm& t : *group) {
        if (t.Confirmed()) return true;
      }
    }
    return false;
  }
  bool HasTerms() const {
    return !any_terms.empty() || !include_terms.empty() || !exclude_terms.empty();
  }
  // Something to search for: an AllnAny or Include word or term.
  bool Searchable() const {
    return !all_n_any.empty() || !include.empty() || !any_terms.empty() || !include_terms.empty();
  }
  void Clear() {
    all_n_any.clear();
    include.clear();
    exclude.clear();
    any_terms.clear();
    include_terms.clear();
    exclude_terms.clear();
  }
};

// An ascending list of file numbers.
using FileList = std::vector<uint32_t>;

// The swap lock a search holds (shared) while it reads the index files. Without usable
// positions, phrases are confirmed by reading documents, which may take long (a share):
// the names are taken under the lock, the documents read with it let go, and it is taken
// again before the search goes on.
struct HeldLock {
  SwapLock* lock = nullptr;  // held by the caller
  bool lost = false;         // it could not be had again: the search found nothing
  bool replaced = false;     // a swap came in meanwhile: the result names the old files
};

// Splits the query (a C string; only its first NUL-terminated part counts) into the three
// groups, dropping words of the exclusion table (which may be absent). 0 with the groups;
// -1 with all three empty when nothing is left to search for (no AllnAny and no Include
// word) or memory ran out (after a log line).
// With the international rules, a word is folded as index words are (the query's bytes
// read as UTF-8 where valid, as Windows-1252 elsewhere).
int parseQuery(const char* query, QueryWords* out, const WordTable& exclusions,
               WordRules rules = WordRules::kAscii);

// Union: merges list into the accumulator; returns how many of the list's numbers were
// there already. The list is consumed.
uint32_t mergeLists(FileList* accumulator, FileList* list);
// Intersection: the accumulator keeps the numbers that are in both; returns the new count.
// An empty accumulator takes the list over and the running count is returned unchanged.
uint32_t intersectLists(FileList* accumulator, FileList* list, uint32_t count);
// Difference: removes the list's numbers from the accumulator; returns how many went.
uint32_t subtractList(FileList* accumulator, const FileList& list);

// Combines the groups over the index of index_dir: union of the AllnAny words' documents,
// narrowed to those holding every Include word, minus those holding any Exclude word. A
// query of Include words only yields the documents holding all of them; AllnAny words
// that occur nowhere yield nothing. Phrases, proximity groups and prefixes take part as
// words do. Phrases and groups are confirmed from the positions file; without usable
// positions, from the documents of data_dir (without a data directory they then hold
// nowhere). Returns the count and fills result (ascending); 0 when memory ran out, after a
// log line.
uint32_t evalQuery(const std::string& index_dir, const InMemoryIndex& index,
                   const QueryWords& words, FileList* result,
                   const std::string& data_dir = std::string(), HeldLock* held = nullptr);

// parseQuery then evalQuery. The number of results; 0 for an empty query, a query without
// AllnAny or Include words or terms, nothing found or a failure. words and result are
// filled.
uint32_t runQuery(const char* query, const std::string& index_dir, const InMemoryIndex& index,
                  QueryWords* words, FileList* result, const std::string& data_dir = std::string(),
                  HeldLock* held = nullptr);

// True when the query's phrases and groups would be confirmed by reading documents: it has
// some and the index has no usable positions (which is logged once per loaded index).
bool NeedsDocuments(const std::string& index_dir, const InMemoryIndex& index,
                    const QueryWords& words);

// Fills table, made with (AllnAny count + Include count) buckets, with every AllnAny and
// Include word once (posting offset 0).
void buildQueryWordTable(const QueryWords& words, WordTable* table);

// The query-word table of a search: the table above for a query of words alone; with
// phrases and proximity groups, also every token of the AllnAny and Include ones. Throws
// std::bad_alloc.
WordTable MakeQueryWordTable(const QueryWords& words, const InMemoryIndex& index);

// The AllnAny and Include prefixes of a search, which mark every index word they begin
// (the viewer recognises the words by their beginnings, so no list of them is made).
// Throws std::bad_alloc.
PrefixMarks MakePrefixMarks(const QueryWords& words, const InMemoryIndex& index);

}  // namespace norvel
