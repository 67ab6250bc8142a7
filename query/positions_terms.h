// Phrases and proximity groups answered from the positions file: the documents that hold
// every token of a term, and whether the tokens stand where the term wants them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/in_memory_index.h"
#include "index/positions.h"
#include "query/phrase.h"
#include "query/terms.h"

namespace norvel {

// Thrown when the positions file turns out damaged in the middle of a search: what it gave
// is not to be trusted, and the search starts again without it.
struct PositionsDamaged {};

// Opens the positions file of index_dir for a search, once per loaded index telling
// whether it belongs to the index (the reader logs why not, once; after that the index is
// searched without positions until it is loaded again). False when there are none to use.
bool OpenPositions(const std::string& index_dir, const InMemoryIndex& index,
                   PositionsReader* reader);

// A phrase or proximity group over an open positions file.
class PositionsTerm {
 public:
  PositionsTerm(PositionsReader* reader, const InMemoryIndex& index, const QueryTerm* term);
  // The documents that hold the term, ascending; only those of *within when it is given
  // (the documents the other terms leave), so that only they have their positions read.
  // Throws PositionsDamaged and std::bad_alloc.
  std::vector<uint32_t> Documents(const std::vector<uint32_t>* within);

 private:
  using Cursors = std::vector<std::unique_ptr<PositionsReader::Postings>>;
  // One cursor per distinct token; false when a token occurs nowhere. Throws
  // PositionsDamaged for an index word the positions do not find: the reader's lookup
  // tells no damage from absence, but the index's words must all be there.
  bool Open();
  // Moves every cursor to document n or beyond: 1 when all stand on n, 0 when not, -1
  // when a token has no document from n on.
  int AllOn(uint32_t n);
  bool Holds();  // the cursors stand on one document: does it hold the term?
  bool PhraseAt();
  bool GroupAt();
  void Positions(size_t d, std::vector<uint32_t>* out);

  PositionsReader* reader_;
  const InMemoryIndex& index_;
  const QueryTerm* term_;
  std::vector<std::string> distinct_;
  std::vector<size_t> slot_of_token_;  // the term's token i is distinct_[slot_of_token_[i]]
  Cursors cursors_;                    // by distinct token
  std::vector<std::vector<uint32_t>> positions_;
  // PhraseAt's cursor in the positions of each of the term's tokens; GroupAt's in those
  // of each distinct token.
  std::vector<size_t> at_;
  NearWindow window_;  // a group's, reset for each document
};

}  // namespace norvel
