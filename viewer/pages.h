// The result pages: the search state one window owns, and the routines that fill the
// current page's document names (from the index's file lists) and excerpts (cut from the
// documents around their first query word).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/in_memory_index.h"
#include "index/word_table.h"
#include "query/query.h"
#include "query/rank.h"
#include "query/ranked_list.h"

namespace norvel {

constexpr size_t kMaxExcerptLength = 512;  // characters of one excerpt

// Everything one search leaves behind, released by the next (ReleaseSearch).
struct SearchState {
  uint32_t result_total = 0;  // documents found by the last search
  // Their file numbers: ascending in index order; by relevance, a ranked list whose first
  // ranking.ranked() entries are in order (the pages extend it as they need).
  FileList result_list;
  RankedList ranking;        // the scores of a search by relevance; empty in index order
  QueryWords words;          // AllnAny and Include words of the last search (no Exclude)
  WordTable query_words;     // query-word table; absent when no search has results
  PrefixMarks prefix_marks;  // the prefixes whose index words are query words too
  // The page shows result_list[page_start, page_end); page_end 0: no page.
  uint32_t page_start = 0;
  uint32_t page_end = 0;
  // Parallel page lists, one entry per document of the page (page_end - page_start when
  // built, empty after a failure). The layout may change excerpt characters in place.
  std::vector<std::string> page_file_names;
  std::vector<std::string> page_excerpts;
  bool document_view = false;  // one document shown in full instead of the page
};

// Where the pages read from: the data and index directories and the loaded index (its
// offset tables, total files and the recorded time of _stats.dat).
struct PageSources {
  std::string data_dir;
  std::string index_dir;
  const InMemoryIndex* index = nullptr;
  // The swap lock the caller holds while searching, let go while documents are read to
  // confirm phrases (without positions); may be null.
  SwapLock* reading = nullptr;
  ResultOrder order = ResultOrder::kIndex;  // how a search orders what it finds
};

// Builds the page lists of state->page_start to page_end (ranking the results that far
// first, in a search by relevance). 0, or -1 with both lists empty
// after the failure was shown (ShowMessage) or, for an unreadable name record, silently.
int GetNextPage(SearchState* state, const PageSources& sources);

// Fills state->page_file_names for the current page, reading each file list the page
// needs once (list 0 first). 0, or -1 (messages as GetNextPage).
int GetFileName(SearchState* state, const PageSources& sources);

// Cuts the excerpt of data_dir's document `name`: at most 512 characters around the first
// word the query-word table holds, carriage returns, line feeds and tabs made blanks; empty
// when no word is a hit. 0, or -1 (a missing document is shown; a read error is silent).
// The words are found by the rules of the index (rules); an index word that begins with
// one of the prefixes (may be null) is a query word too.
int GetExcerpt(const std::string& data_dir, const std::string& name, const WordTable& table,
               std::string* out, WordRules rules = WordRules::kAscii,
               const PrefixMarks* prefixes = nullptr);

// True when the query-word table holds the word or one of the search's prefixes marks it
// (any letter case; with the international rules, a UTF-8 word folded as index words
// are); the viewer bolds it.
bool IsQueryWord(const SearchState& state, const char* word, size_t len,
                 WordRules rules = WordRules::kAscii);

}  // namespace norvel
