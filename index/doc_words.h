// The words of one document as the build enters them: every word that passes the word
// rules and the exclusion table, once, in the order first met, folded and keyed. Reading
// a document this way needs no shared state, so several documents can be read at once
// while the build enters the words of earlier ones in file-number order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/word_table.h"

namespace norvel {

struct DocumentWords {
  enum class Status { kOk, kCannotOpen, kReadError, kNoMemory };

  bool stat_ok = false;  // the size could be taken
  uint64_t size = 0;
  Status status = Status::kOk;
  // Records back to back: u32 key (WordKey), u8 length, u8 repeat_follows, the folded word.
  // repeat_follows tells that another accepted token (a word met before in this document)
  // comes after this word's first occurrence and before the next new word: the words
  // limit is checked at every accepted token, so where a build fails depends on it.
  std::vector<char> records;
  uint32_t count = 0;

  void Clear() {
    stat_ok = false;
    size = 0;
    status = Status::kOk;
    records.clear();
    count = 0;
  }
};

// Reads documents into DocumentWords; one reader per thread (it keeps its buffers).
class DocumentWordReader {
 public:
  // Takes the file's status and, for a non-empty file, its words (up to a read error).
  void Read(const std::string& path, const WordTable* exclusions, DocumentWords* out);

 private:
  struct Seen {
    uint32_t key;
    uint32_t record;  // offset of the record in out->records + 1; 0 for an empty slot
    uint64_t prefix;  // the word's first eight bytes, zero-padded
  };
  bool Remember(uint32_t key, const char* folded, size_t len, DocumentWords* out);
  void Start(uint64_t file_size);
  void SetCapacity(size_t capacity);
  void Grow(const DocumentWords& doc);
  size_t SlotOf(uint32_t key) const { return (key * 2654435761u) >> shift_; }

  std::vector<char> block_;
  std::vector<Seen> seen_;
  uint32_t in_use_ = 0;
  size_t capacity_ = 0;  // slots in use for this document: a power of two
  unsigned shift_ = 32;
};

}  // namespace norvel
