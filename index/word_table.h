// The word rules (word characters, first letter, length limit, folding, the word hash),
// the word table with its posting runs, and the exclusion list.
//
// A word table behaves as a chained hash table of `size` buckets whose chains keep
// insertion order: a word occurs once, a lookup finds it whatever the bucket count, and
// the writer emits words bucket by bucket (bucket = hash % size), first-met order within
// a bucket. Internally it is a flat open-addressing map over entries kept in first-met
// order, with the texts in one arena and the posting runs in another, so that a build
// makes no allocation per word or per posting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norvel {

constexpr uint32_t kBuildTableSize = 1000000;  // buckets of a build, also its words limit
constexpr size_t kMaxWordLength = 254;         // a token of 255 characters or more is dropped

// 0-9, A-Z, a-z, '-' and '_'; every other byte (0x80 and above included) separates words.
extern const bool kWordCharTable[256];
inline bool IsWordByte(char c) { return kWordCharTable[static_cast<unsigned char>(c)]; }
inline char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Folds A-Z to a-z in place; every other byte stays.
void toLowerWord(char* text);
void toLowerWord(std::string* text);

// The word hash over already folded text: shift by 5, add the byte as a signed char,
// fold the top four bits back in. hashWord reduces it to a bucket.
uint32_t WordHash(const char* folded, size_t len);
inline uint32_t WordHash(std::string_view folded) { return WordHash(folded.data(), folded.size()); }

// Folds text in place, then returns its bucket below size. size must not be 0.
uint32_t hashWord(char* text, uint32_t size);
uint32_t hashWord(std::string* text, uint32_t size);

// True when the token is not empty and begins with A-Z or a-z.
bool startsWithLetter(const char* token, size_t len);
inline bool startsWithLetter(std::string_view token) {
  return startsWithLetter(token.data(), token.size());
}

// One run of file numbers: first == 0 means the single number `last`.
struct PostingRun {
  uint32_t first;
  uint32_t last;
};

class WordTable {
 public:
  // size == 0 is an absent table (no exclusion list, nothing loaded): it holds nothing.
  explicit WordTable(uint32_t size = 0) : size_(size) {}

  bool present() const { return size_ != 0; }
  uint32_t size() const { return size_; }
  size_t word_count() const { return entries_.size(); }
  void Clear();  // back to an absent table, memory released

  // Records one occurrence of a folded word in a document (build-time table).
  // 1 when a new word entry was made, 0 when the word was known, -1 on no memory
  // (after the log line of addNode).
  int AddOccurrence(uint32_t hash, const char* folded, size_t len, uint32_t file_number);
  // Adds a word with a posting offset and no runs unless it is there (then it keeps its
  // first offset). 0, or -1 on no memory (after the log line of insertWord).
  int Insert(uint32_t hash, const char* folded, size_t len, uint32_t posting_offset);
  // Index of the word's entry, or -1. The table must be present.
  long Find(uint32_t hash, const char* folded, size_t len) const;
  bool Contains(std::string_view folded) const {
    return present() && Find(WordHash(folded), folded.data(), folded.size()) >= 0;
  }

  // Entries in first-met order.
  std::string_view Text(size_t entry) const;
  uint32_t Hash(size_t entry) const { return entries_[entry].hash; }
  uint32_t PostingOffset(size_t entry) const { return entries_[entry].posting_offset; }
  void SetPostingOffset(size_t entry, uint32_t offset) { entries_[entry].posting_offset = offset; }
  // The word's runs in ascending order.
  void Runs(size_t entry, std::vector<PostingRun>* out) const;
  template <typename F>
  void ForEachRun(size_t entry, F&& f) const;
  // Entry indexes in the writer's order: bucket 0 to size - 1, first-met order inside.
  std::vector<uint32_t> BucketOrder() const;

 private:
  struct Entry {
    uint32_t hash;
    uint32_t text;            // offset in texts_
    uint32_t posting_offset;
    uint32_t closed_head;     // first closed run + 1 in runs_, 0 when none
    uint32_t closed_tail;     // last closed run in runs_
    uint32_t open_first;      // the word's last run, still growing (open_last 0: no runs)
    uint32_t open_last;
    uint8_t length;
  };
  struct RunNode {
    uint32_t first;
    uint32_t last;
    uint32_t next;  // next run + 1, 0 at the end
  };
  struct Slot {
    uint32_t hash;
    uint32_t entry;  // entry + 1, 0 for an empty slot
  };

  size_t SlotOf(uint32_t hash) const { return (hash * 2654435761u) >> shift_; }
  long Lookup(uint32_t hash, const char* folded, size_t len, size_t* slot) const;
  bool Grow();
  long NewEntry(uint32_t hash, const char* folded, size_t len, size_t slot);

  uint32_t size_;
  std::vector<Entry> entries_;
  std::vector<char> texts_;
  std::vector<RunNode> runs_;
  std::vector<Slot> slots_;
  unsigned shift_ = 32;
};

template <typename F>
void WordTable::ForEachRun(size_t entry, F&& f) const {
  const Entry& e = entries_[entry];
  for (uint32_t r = e.closed_head; r != 0; r = runs_[r - 1].next) {
    f(PostingRun{runs_[r - 1].first, runs_[r - 1].last});
  }
  if (e.open_last != 0) f(PostingRun{e.open_first, e.open_last});
}

// Records an occurrence of `word` (folded here, in place) under the file number in a
// build-time table; `hash` is WordHash of the folded word. 1 new word, 0 known, -1 no memory.
int addNode(uint32_t hash, char* word, size_t len, WordTable* table, uint32_t file_number);
// Enters a folded word with its posting offset unless present. 0, or -1 on no memory.
int insertWord(uint32_t hash, uint32_t posting_offset, const char* word, size_t len,
               WordTable* table);
// Folds word in place and looks it up: 0 with the posting offset, or -1 when absent
// (always -1 for an absent table).
int findWord(const WordTable& table, char* word, size_t len, uint32_t* posting_offset);
int findWord(const WordTable& table, std::string word, uint32_t* posting_offset);

// Adds every word of one text file to the table under the file number. table_size is the
// words limit; distinct_words is the caller's running count of word entries.
// 0, or -1 after a log line (cannot open, no memory, words limit passed, read error).
int addFileToIndex(uint32_t file_number, const std::string& path, uint64_t file_size,
                   uint32_t* distinct_words, WordTable* table, const WordTable* exclusions,
                   uint32_t table_size);

// Reads xcludelist.ini of the application directory into *out. 0 with a table, 0 with an
// absent table (no file, empty file, no tokens), or -1 after a log line.
int readXcludeWords(const std::string& app_dir, WordTable* out);

}  // namespace norvel
