// Evaluation of a query that holds phrases, proximity groups or prefixes.
#pragma once

#include <cstdint>
#include <string>

#include "query/query.h"

namespace norvel {

// The documents of words and terms together, as evalQuery describes. Every word, prefix,
// phrase and group yields its set of documents; a phrase's or group's set is first its
// candidates (the documents holding its tokens), and only the candidates that every other
// term leaves are confirmed: from the positions file, or without usable positions by
// reading each of them once for all the query's phrases and groups (with the caller's
// swap lock let go meanwhile, when held is given). Throws std::bad_alloc.
uint32_t EvaluateWithTerms(const std::string& index_dir, const InMemoryIndex& index,
                           const QueryWords& words, const std::string& data_dir, HeldLock* held,
                           FileList* result);

}  // namespace norvel
