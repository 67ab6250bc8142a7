// Evaluation of a query that holds phrases or prefixes.
#pragma once

#include <cstdint>
#include <string>

#include "query/query.h"

namespace norvel {

// The documents of words and terms together, as evalQuery describes. The index narrows
// the candidates first (a phrase's candidates hold all its index words); only the
// candidates that every other term leaves are read, each at most once per phrase, to
// confirm the phrases. Throws std::bad_alloc.
uint32_t EvaluateWithTerms(const std::string& index_dir, const InMemoryIndex& index,
                           const QueryWords& words, const std::string& data_dir, FileList* result);

}  // namespace norvel
