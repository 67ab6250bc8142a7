// The word table: words with their posting runs, at build time and at load time.
//
// A word table behaves as a chained hash table of `size` buckets whose chains keep
// insertion order: a word occurs once, a lookup finds it whatever the bucket count, and
// the writer emits words bucket by bucket (bucket = word hash % size), first-met order
// within a bucket. Internally it is a flat open-addressing map, keyed by a fast hash of
// the word, over entries kept in first-met order, with the texts in one arena and the
// posting runs in another, so that a build makes no allocation per word or per posting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "index/byte_pool.h"
#include "index/word_hash.h"
#include "index/word_rules.h"
#include "platform/memory_pages.h"

namespace norvel {

// The buckets of a build: they give the words file its record order (bucket, then first
// met). More words than buckets only make longer chains.
constexpr uint32_t kBuildTableSize = 1000000;
// A build's words are bounded by memory, not by a count: this is only the most that the
// 32-bit counter and the first field of _stats.dat can hold, far beyond what any memory
// takes (a table refuses a word before its entry numbers would overflow).
constexpr uint32_t kBuildWordsLimit = 0xFFFFFFFEu;

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
  size_t word_count() const { return count_; }
  void Clear();  // back to an absent table, memory released
  // For a table that may count for nothing (one of a build's parts): the log line of a
  // failure to add is kept, for failure_line(), instead of written.
  void KeepFailureLines() { keep_failure_lines_ = true; }
  const char* failure_line() const { return failure_line_; }
  // Frees the lookup slots of a table that is only read in entry order from now on:
  // Find then finds nothing and nothing may be added.
  void ReleaseSlots() { slot_block_.Reset(); }
  // For a table that stays small: its memory in small pages, taken as it fills, rather
  // than in large pages it would mostly leave empty.
  void UseSmallPages() {
    large_pages_ = false;
    texts_.UseSmallPages();
    runs_.UseSmallPages();
  }
  // Makes room for `words` words (of text_bytes characters in all: the text pool grows
  // without copying, so only the count matters), so that the slots need no regrowth.
  void Reserve(size_t words, size_t text_bytes = 0);

  // Records one occurrence of a folded word in a document (build-time table); key is
  // WordKey of the word. A word's file numbers must come in ascending order. 1 when a new
  // word entry was made, 0 when the word was known, -1 on no memory (after the log line
  // of addNode).
  int AddOccurrence(const char* folded, size_t len, uint32_t file_number, uint32_t key);
  // The same for a word followed by at least kTokenSlack readable bytes (a FoldToken
  // result): compared eight bytes at a time.
  int AddFolded(const char* folded, size_t len, uint32_t file_number, uint32_t key);
  // The same, giving the index of the word's entry in *entry (unless -1 comes back).
  int AddFolded(const char* folded, size_t len, uint32_t file_number, uint32_t key,
                uint32_t* entry);
  // Adds a word with a posting offset and no runs unless it is there (then it keeps its
  // first offset). 0, or -1 on no memory (after the log line of insertWord). A word over
  // 255 characters matches no document word and is not entered.
  int Insert(const char* folded, size_t len, uint32_t posting_offset);
  // The same with the word's WordKey given.
  int Insert(const char* folded, size_t len, uint32_t key, uint32_t posting_offset);
  // Index of the word's entry, or -1.
  long Find(const char* folded, size_t len, uint32_t key) const;
  long Find(const char* folded, size_t len) const {
    return Find(folded, len, WordKey(folded, len));
  }
  bool Contains(std::string_view folded) const {
    return present() && Find(folded.data(), folded.size()) >= 0;
  }

  // Hints that the word of this key will be looked up soon, in three steps a few words
  // apart, each reading only what the step before fetched: its slot; once the slot is
  // loaded, its entry; once the entry is loaded, its text and where its runs are written.
  void PrefetchSlot(uint32_t key) const {
    if (slot_count() != 0) __builtin_prefetch(&slots()[SlotOf(key)]);
  }
  void PrefetchEntry(uint32_t key) const {
    if (const Slot* slot = LoadedSlot(key)) __builtin_prefetch(&At(slot->entry - 1));
  }
  void PrefetchWord(uint32_t key) const {
    const Slot* slot = LoadedSlot(key);
    if (!slot) return;
    const Entry& e = At(slot->entry - 1);
    __builtin_prefetch(texts_.At(e.text));
    if (e.closed_runs != 0) __builtin_prefetch(runs_.At(e.pos), 1);
  }

  // Hints that the entry will be read soon: loads it, and once it is loaded, its text
  // and the start of its runs.
  void PrefetchEntryAt(size_t entry) const { __builtin_prefetch(&At(entry)); }
  void PrefetchWordOf(size_t entry) const {
    const Entry& e = At(entry);
    __builtin_prefetch(texts_.At(e.text));
    if (e.closed_runs != 0) __builtin_prefetch(runs_.At(e.head));
  }

  // Entries in first-met order.
  std::string_view Text(size_t entry) const {
    const Entry& e = At(entry);
    return std::string_view(texts_.At(e.text), e.length);
  }
  uint32_t Hash(size_t entry) const { return WordHash(Text(entry)); }  // the word hash
  // The posting offset of a loaded or saved word (a build's entries have none before the
  // save sets it).
  uint32_t PostingOffset(size_t entry) const { return At(entry).offset_or_end; }
  void SetPostingOffset(size_t entry, uint32_t offset) { At(entry).offset_or_end = offset; }
  uint32_t RunCount(size_t entry) const {
    return At(entry).closed_runs + (At(entry).open_last != 0 ? 1 : 0);
  }
  // The word's first and last file numbers (0 for a word without runs).
  uint32_t FirstFile(size_t entry) const;
  uint32_t LastFile(size_t entry) const { return At(entry).open_last; }
  // Calls f(PostingRun) for each of the word's runs in ascending order.
  template <typename F>
  void ForEachRunOf(size_t entry, F&& f) const;
  void Runs(size_t entry, std::vector<PostingRun>* out) const;
  // Entry indexes in the writer's order: bucket 0 to size - 1, first-met order inside.
  std::vector<uint32_t> BucketOrder() const;

 private:
  // A word. Its runs but the last are closed and kept in a chain of slices in runs_; the
  // last run stays here while it may grow. A closed run [a, b] that the file number f
  // followed is one or two varints: ((f - b - 2) << 1 | (b > a)), then b - a - 1 when
  // b > a; the chain opens with the varint of the word's first file number.
  struct Entry {
    uint32_t text;        // position in texts_
    uint32_t open_first;  // the last run (open_last 0: no runs)
    uint32_t open_last;
    uint32_t closed_runs;
    uint32_t head;  // the chain: first slice, write position
    uint32_t pos;
    uint32_t offset_or_end;  // end of the slice being written; once saved, posting offset
    uint8_t length;
    uint8_t level;  // size class of the slice being written
  };
  struct Slot {
    uint32_t key;
    uint32_t entry;  // entry + 1, 0 for an empty slot
  };
  static constexpr size_t kMaxEntries = 0x7FFFFFFE;
  static constexpr unsigned kEntryBits = 16;  // entries per block: 65,536 (a large page)
  static constexpr uint32_t SliceSize(unsigned level) { return 8u << (level < 8 ? level : 8); }

  Entry& At(size_t i) {
    return reinterpret_cast<Entry*>(
        entries_[i >> kEntryBits].data())[i & ((size_t{1} << kEntryBits) - 1)];
  }
  const Entry& At(size_t i) const {
    return reinterpret_cast<const Entry*>(
        entries_[i >> kEntryBits].data())[i & ((size_t{1} << kEntryBits) - 1)];
  }
  size_t slot_count() const { return slot_block_.size() / sizeof(Slot); }
  Slot* slots() const { return reinterpret_cast<Slot*>(slot_block_.data()); }
  size_t SlotOf(uint32_t key) const { return (key * 2654435761u) >> shift_; }
  // The slot of the key among the first few from its own (mostly in one cache line, the
  // one PrefetchSlot loaded), or null.
  const Slot* LoadedSlot(uint32_t key) const {
    if (slot_count() == 0) return nullptr;
    size_t mask = slot_count() - 1;
    for (size_t s = SlotOf(key), k = 0; k < 4; ++k, s = (s + 1) & mask) {
      const Slot& slot = slots()[s];
      if (slot.entry == 0) return nullptr;
      if (slot.key == key) return &slot;
    }
    return nullptr;
  }
  template <bool kPadded>
  long Lookup(const char* folded, size_t len, uint32_t key, size_t* slot) const;
  template <bool kPadded>
  int Add(const char* folded, size_t len, uint32_t file_number, uint32_t key, uint32_t* entry);
  void Grow(size_t capacity);
  long NewEntry(const char* folded, size_t len, uint32_t key, size_t slot);
  void CloseRun(Entry& e, uint32_t next_file);
  void PutByte(Entry& e, unsigned char b);
  void PutVarint(Entry& e, uint64_t v);
  void AddFailed(const char* line);

  // Reads a chain back, each slice's next one fetched as the slice is entered (the slices
  // of a word lie far apart in the pool).
  class ChainReader {
   public:
    ChainReader(const BytePool& pool, uint32_t head)
        : pool_(pool), pos_(head), end_(head + SliceSize(0) - 4) {
      FetchNext();
    }
    uint64_t Varint() {
      uint64_t v = 0;
      for (unsigned shift = 0;; shift += 7) {
        unsigned char b = Byte();
        v |= uint64_t{b & 0x7Fu} << shift;
        if (b < 0x80) return v;
      }
    }

   private:
    unsigned char Byte() {
      if (pos_ == end_) {
        std::memcpy(&pos_, pool_.At(end_), 4);
        ++level_;
        end_ = pos_ + SliceSize(level_) - 4;
        FetchNext();
      }
      return static_cast<unsigned char>(*pool_.At(pos_++));
    }
    // The slice after this one. The last slice's link is not written yet: it fetches
    // whatever its bytes name inside the pool, if anything.
    void FetchNext() const {
      uint32_t next;
      std::memcpy(&next, pool_.At(end_), 4);
      pool_.Prefetch(next);
    }
    const BytePool& pool_;
    uint32_t pos_, end_;
    unsigned level_ = 0;
  };

  uint32_t size_;
  size_t count_ = 0;
  std::vector<platform::PageBlock> entries_;  // blocks of 2^kEntryBits entries
  BytePool texts_;
  BytePool runs_;
  platform::PageBlock slot_block_;  // the slots (a power of two of them), zeroed when taken
  unsigned shift_ = 32;
  bool keep_failure_lines_ = false;
  bool large_pages_ = true;
  const char* failure_line_ = nullptr;
};

template <typename F>
void WordTable::ForEachRunOf(size_t entry, F&& f) const {
  const Entry& e = At(entry);
  if (e.closed_runs > 0) {
    ChainReader chain(runs_, e.head);
    uint32_t start = static_cast<uint32_t>(chain.Varint());
    for (uint32_t i = 0; i < e.closed_runs; ++i) {
      uint64_t v = chain.Varint();
      uint32_t extra = (v & 1) ? static_cast<uint32_t>(chain.Varint()) + 1 : 0;
      f(PostingRun{extra ? start : 0, start + extra});
      start = start + extra + static_cast<uint32_t>(v >> 1) + 2;
    }
  }
  if (e.open_last != 0) f(PostingRun{e.open_first, e.open_last});
}

// Records an occurrence of `word` (folded here, in place) under the file number in a
// build-time table. 1 new word, 0 known, -1 no memory.
int addNode(char* word, size_t len, WordTable* table, uint32_t file_number);
// Enters a folded word with its posting offset unless present. 0, or -1 on no memory.
int insertWord(uint32_t posting_offset, const char* word, size_t len, WordTable* table);
// Folds word in place and looks it up: 0 with the posting offset, or -1 when absent
// (always -1 for an absent table).
int findWord(const WordTable& table, char* word, size_t len, uint32_t* posting_offset);
int findWord(const WordTable& table, std::string word, uint32_t* posting_offset);

}  // namespace norvel
