// The search command's portable part: from the query text to the first result page, with
// the timing in the status bar and the "No results." box.
#pragma once

#include <string>

#include "viewer/pages.h"

namespace norvel {

constexpr size_t kMaxQueryLength = 255;  // the search field's text is cut to this

// The query as the search field delivers it: its first 255 characters.
std::string QueryFromField(const std::string& field_text);

// Releases what the last search left in *state (result list, words, query-word table, page
// lists) and sets the result total, the page bounds and the document view back. The
// window releases its own laid-out lines and links.
void ReleaseSearch(SearchState* state);

// How many of the best a search by relevance ranks at first (ten pages), where it can
// without scoring every document; a page past them has every document scored.
constexpr size_t kFirstRanked = 100;

// Scores the documents the search found (state->result_list and state->words) and makes
// them a ranked list, which the pages rank as far as they show. The first `wanted` are
// ranked at least; where the query's one word allows it, only as many of the best are
// scored (state->ranking.Covers says how far the list then goes). Throws std::bad_alloc.
void OrderByRelevance(const PageSources& sources, SearchState* state,
                      const RankOptions& options = RankOptions(), size_t wanted = kFirstRanked);

// Runs a search (the query is cut to its first 255 characters) over sources.index:
// releases the previous search, evaluates the query, shows "%4.6f seconds|Total=%u" in the
// status bar (the query's time alone), builds the query-word table and the first page
// (documents 1 to 10) with GetNextPage. When nothing is found: empty status text, the box
// "No results." (caption "Info", OK, no icon), -1. Returns 0 when documents were found,
// even when the first page could not be built (it has shown why; the state is then empty
// and the status text keeps the timing). A status_note (such as "New index loaded|")
// goes before the timing text. With sources.order kRelevance the pages show the best
// documents first (the timing includes the scoring); the texts keep their form.
// goes before the timing text. When documents were read to confirm phrases with
// sources.reading let go and a swap came in meanwhile, the status text says "Files
// reindexed. Please search again." and -1; when the lock could not be had back, "Please
// try later." is shown and -1.
// `page` (from 1) asks for another page than the first when the results fill it.
int RunSearch(const char* query, const PageSources& sources, SearchState* state,
              const std::string& status_note = std::string(), uint32_t page = 1);

}  // namespace norvel
