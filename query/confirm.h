// How a query's phrases and proximity groups are confirmed for its candidates, and the
// confirmation by reading the documents, used when the index has no usable positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "index/in_memory_index.h"
#include "query/query.h"

namespace norvel {

// The query's phrases and groups are numbered (slots) in query order over the groups.
class Confirmation {
 public:
  virtual ~Confirmation() = default;
  // An exact confirmation gives each term its documents at once (Documents), restricted to
  // *within when given; Candidates, Prepare and Holds are then not asked.
  virtual bool Exact() const { return false; }
  virtual FileList Documents(const QueryTerm& term, const FileList* within) {
    (void)term, (void)within;
    return FileList();
  }
  // The term of `slot`: its candidates, the documents that may hold it (ascending), when
  // needed; Exclude terms ask for them only where ListsExcluded().
  virtual FileList Candidates(const QueryTerm& term, size_t slot, bool needed) = 0;
  virtual bool ListsExcluded() const = 0;
  // Once, before Holds, with the candidates left (ascending) and which slots each is to be
  // checked for. False when the search is to find nothing (the lock could not be had back).
  virtual bool Prepare(const FileList& candidates, size_t slots,
                       const std::function<bool(uint32_t n, size_t slot)>& wanted) {
    (void)candidates, (void)slots, (void)wanted;
    return true;
  }
  // Whether candidate j (file number n; ascending over calls) holds the term of slot.
  virtual bool Holds(size_t j, uint32_t n, size_t slot) = 0;
};

// Confirms by reading each candidate once for all the slots it is wanted for, on up to four
// threads, with the caller's swap lock let go while reading (the names are taken under it).
// A candidate that cannot be read counts as holding the terms its index words give it, as
// the word path takes a document from the index: it is listed (its page then says it
// cannot be opened) and a '-' phrase leaves it out; one log line per search names the
// first such document and how many there were. A number the lists cannot name (a damaged
// list) holds nothing, and without a data directory nothing holds.
class DocumentConfirmation : public Confirmation {
 public:
  DocumentConfirmation(const std::string& index_dir, const InMemoryIndex& index,
                       const std::string& data_dir, HeldLock* held)
      : index_dir_(index_dir), index_(index), data_dir_(data_dir), held_(held) {}
  FileList Candidates(const QueryTerm& term, size_t slot, bool needed) override;
  bool ListsExcluded() const override { return true; }
  bool Prepare(const FileList& candidates, size_t slots,
               const std::function<bool(uint32_t n, size_t slot)>& wanted) override;
  bool Holds(size_t j, uint32_t, size_t slot) override { return held_terms_[j * slots_ + slot]; }

 private:
  void Read(const std::vector<std::string>& names, const std::vector<uint8_t>& wanted);

  const std::string& index_dir_;
  const InMemoryIndex& index_;
  const std::string& data_dir_;
  HeldLock* held_;
  std::vector<const QueryTerm*> terms_;  // by slot
  size_t slots_ = 0;
  std::vector<uint8_t> held_terms_;  // candidate j holds slot s: [j * slots_ + s]
};

}  // namespace norvel
