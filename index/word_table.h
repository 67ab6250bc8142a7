// The word rules (word characters, first letter, length limit, folding, the word hash),
// the word table with its posting runs, and the exclusion list.
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
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pages.h"

namespace norvel {

constexpr uint32_t kBuildTableSize = 1000000;  // buckets of a build, also its words limit
constexpr size_t kMaxWordLength = 254;         // a token of 255 characters or more is dropped

// 0-9, A-Z, a-z, '-' and '_'; every other byte (0x80 and above included) separates words.
extern const unsigned char kWordCharTable[256];
inline bool IsWordByte(char c) {
  return kWordCharTable[static_cast<unsigned char>(c)] != 0;
}
inline char FoldChar(char c) {
  return static_cast<char>(c + ((static_cast<unsigned char>(c - 'A') < 26) ? 32 : 0));
}

// Folds A-Z to a-z in place; every other byte stays.
void toLowerWord(char* text);
void toLowerWord(std::string* text);

// One step of the word hash: shift by 5, add the byte as a signed char, fold the top four
// bits back into bits 4 to 7.
inline uint32_t WordHashStep(uint32_t h, char c) {
  h = (h << 5) + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
  uint32_t g = h & 0xF0000000u;
  return g ? (h ^ (g >> 24) ^ g) : h;
}
// The word hash of already folded text; hashWord reduces it to a bucket.
uint32_t WordHash(const char* folded, size_t len);
inline uint32_t WordHash(std::string_view folded) {
  return WordHash(folded.data(), folded.size());
}

// Folds text in place, then returns its bucket below size. size must not be 0.
uint32_t hashWord(char* text, uint32_t size);
uint32_t hashWord(std::string* text, uint32_t size);

// True when the token is not empty and begins with A-Z or a-z.
inline bool startsWithLetter(const char* token, size_t len) {
  return len > 0 && static_cast<unsigned char>((token[0] | 0x20) - 'a') < 26;
}
inline bool startsWithLetter(std::string_view token) {
  return startsWithLetter(token.data(), token.size());
}

// The table's own hash of a folded word: only where a word sits inside the table depends
// on it, never anything written. It reads the word eight bytes at a time.
constexpr uint64_t kKeyStart = 0x9E3779B97F4A7C15ull;
inline uint64_t KeyChunk(uint64_t h, uint64_t chunk) {
  h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
  return h ^ (h >> 32);
}
inline uint32_t KeyFinish(uint64_t h, uint64_t tail) {
  h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 29;
  return static_cast<uint32_t>(h) ^ static_cast<uint32_t>(h >> 32);
}
inline uint32_t WordKey(const char* folded, size_t len) {
  uint64_t h = kKeyStart ^ len;
  size_t i = 0;
  for (; i + 8 <= len; i += 8) {
    uint64_t chunk;
    std::memcpy(&chunk, folded + i, 8);
    h = KeyChunk(h, chunk);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, folded + i, len - i);
  return KeyFinish(h, tail);
}

// Folds eight ASCII bytes at once: 'A' to 'Z' gain 0x20. Bytes must be below 0x80.
inline uint64_t FoldAscii8(uint64_t x) {
  const uint64_t at_least_a = x + 0x3F3F3F3F3F3F3F3Full;  // bit 7 set from 'A' up
  const uint64_t past_z = x + 0x2525252525252525ull;      // bit 7 set from '[' up
  const uint64_t upper = at_least_a & ~past_z & 0x8080808080808080ull;
  return x | (upper >> 2);
}

// Room a caller keeps after a token and after the folded buffer: FoldToken reads and
// writes whole eight-byte chunks.
constexpr size_t kTokenSlack = 8;

// Whether a token of word characters becomes a word (before the exclusion list): at most
// 254 characters and a letter first. When it does, writes its folded form to folded and
// its WordKey to *key. At least kTokenSlack readable bytes must follow the token, and
// folded must have room for 254 + kTokenSlack bytes.
inline bool FoldToken(const char* token, size_t len, char* folded, uint32_t* key) {
  if (len > kMaxWordLength || !startsWithLetter(token, len)) return false;
  uint64_t h = kKeyStart ^ len;
  size_t i = 0;
  for (; i + 8 <= len; i += 8) {
    uint64_t chunk;
    std::memcpy(&chunk, token + i, 8);
    chunk = FoldAscii8(chunk);
    std::memcpy(folded + i, &chunk, 8);
    h = KeyChunk(h, chunk);
  }
  // The last 0 to 7 bytes: one whole load, the bytes past the token masked off (they sit
  // in the low-order bytes on the little-endian machines this runs on).
  uint64_t tail;
  std::memcpy(&tail, token + i, 8);
  size_t rest = len - i;
  tail = rest == 0 ? 0 : tail & (~uint64_t{0} >> (64 - 8 * rest));
  tail = FoldAscii8(tail);
  std::memcpy(folded + i, &tail, 8);
  *key = KeyFinish(h, tail);
  return true;
}
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "FoldToken's masked tail load assumes a little-endian machine"
#endif

// One run of file numbers: first == 0 means the single number `last`.
struct PostingRun {
  uint32_t first;
  uint32_t last;
};

// Bytes handed out in blocks that never move: growing never copies what is held, and
// nothing is cleared before it is written. A position names a byte of any block; what one
// Alloc returns lies in one block. Blocks are whole large pages from the system.
class BytePool {
 public:
  static constexpr unsigned kBlockBits = 21;
  static constexpr size_t kBlockSize = size_t{1} << kBlockBits;
  static_assert(kBlockSize == platform::kLargePageSize, "a block is one large page");
  // n bytes (at most kBlockSize - kTokenSlack) at the returned position, with at least
  // kTokenSlack readable bytes after them; throws std::bad_alloc.
  uint32_t Alloc(size_t n);
  char* At(uint32_t pos) { return blocks_[pos >> kBlockBits].data() + (pos & (kBlockSize - 1)); }
  const char* At(uint32_t pos) const {
    return blocks_[pos >> kBlockBits].data() + (pos & (kBlockSize - 1));
  }

 private:
  std::vector<platform::PageBlock> blocks_;
  size_t used_ = kBlockSize;  // bytes used of the last block
};

class WordTable {
 public:
  // size == 0 is an absent table (no exclusion list, nothing loaded): it holds nothing.
  explicit WordTable(uint32_t size = 0) : size_(size) {}

  bool present() const { return size_ != 0; }
  uint32_t size() const { return size_; }
  size_t word_count() const { return count_; }
  void Clear();  // back to an absent table, memory released
  // Frees the lookup slots of a table that is only read in entry order from now on:
  // Find then finds nothing and nothing may be added.
  void ReleaseSlots() { slot_block_.Reset(); }
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

  // Hints that the word of this key will be looked up soon: loads its slot, or (once the
  // slot is loaded) its entry and text, into the cache.
  void PrefetchSlot(uint32_t key) const {
    if (slot_count() != 0) __builtin_prefetch(&slots()[SlotOf(key)]);
  }
  void PrefetchEntry(uint32_t key) const {
    if (slot_count() == 0) return;
    const Slot& slot = slots()[SlotOf(key)];
    if (slot.entry != 0 && slot.key == key) {
      const Entry& e = At(slot.entry - 1);
      __builtin_prefetch(&e);
      __builtin_prefetch(texts_.At(e.text));
    }
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
  template <bool kPadded>
  long Lookup(const char* folded, size_t len, uint32_t key, size_t* slot) const;
  template <bool kPadded>
  int Add(const char* folded, size_t len, uint32_t file_number, uint32_t key);
  void Grow(size_t capacity);
  long NewEntry(const char* folded, size_t len, uint32_t key, size_t slot);
  void CloseRun(Entry& e, uint32_t next_file);
  void PutByte(Entry& e, unsigned char b);
  void PutVarint(Entry& e, uint64_t v);

  // Reads a chain back.
  class ChainReader {
   public:
    ChainReader(const BytePool& pool, uint32_t head)
        : pool_(pool), pos_(head), end_(head + SliceSize(0) - 4) {}
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
      }
      return static_cast<unsigned char>(*pool_.At(pos_++));
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
