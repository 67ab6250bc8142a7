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
#include <string>
#include <string_view>
#include <vector>

namespace norvel {

constexpr uint32_t kBuildTableSize = 1000000;  // buckets of a build, also its words limit
constexpr size_t kMaxWordLength = 254;         // a token of 255 characters or more is dropped

// 0-9, A-Z, a-z, '-' and '_'; every other byte (0x80 and above included) separates words.
extern const unsigned char kWordCharTable[256];
inline bool IsWordByte(char c) { return kWordCharTable[static_cast<unsigned char>(c)] != 0; }
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
inline uint32_t WordHash(std::string_view folded) { return WordHash(folded.data(), folded.size()); }

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

class WordTable {
 public:
  // size == 0 is an absent table (no exclusion list, nothing loaded): it holds nothing.
  explicit WordTable(uint32_t size = 0) : size_(size) {}

  bool present() const { return size_ != 0; }
  uint32_t size() const { return size_; }
  size_t word_count() const { return entries_.size(); }
  void Clear();  // back to an absent table, memory released
  // Makes room for `words` words of `text_bytes` characters in all, so that filling the
  // table needs no regrowth.
  void Reserve(size_t words, size_t text_bytes);

  // Records one occurrence of a folded word in a document (build-time table); key is
  // WordKey of the word. 1 when a new word entry was made, 0 when the word was known, -1
  // on no memory (after the log line of addNode).
  int AddOccurrence(const char* folded, size_t len, uint32_t file_number, uint32_t key);
  // Adds a word with a posting offset and no runs unless it is there (then it keeps its
  // first offset). 0, or -1 on no memory (after the log line of insertWord). A word over
  // 255 characters matches no document word and is not entered.
  int Insert(const char* folded, size_t len, uint32_t posting_offset);
  // Index of the word's entry, or -1.
  long Find(const char* folded, size_t len, uint32_t key) const;
  long Find(const char* folded, size_t len) const { return Find(folded, len, WordKey(folded, len)); }
  bool Contains(std::string_view folded) const {
    return present() && Find(folded.data(), folded.size()) >= 0;
  }

  // Hints that the word of this key will be looked up soon: loads its slot, or (once the
  // slot is loaded) its entry and text, into the cache.
  void PrefetchSlot(uint32_t key) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[SlotOf(key)]);
  }
  void PrefetchEntry(uint32_t key) const {
    if (slots_.empty()) return;
    const Slot& slot = slots_[SlotOf(key)];
    if (slot.entry != 0 && slot.key == key) {
      __builtin_prefetch(&entries_[slot.entry - 1]);
    }
  }

  // Entries in first-met order.
  std::string_view Text(size_t entry) const;
  uint32_t Hash(size_t entry) const { return entries_[entry].hash; }  // the word hash
  uint32_t PostingOffset(size_t entry) const { return entries_[entry].posting_offset; }
  void SetPostingOffset(size_t entry, uint32_t offset) { entries_[entry].posting_offset = offset; }
  uint32_t RunCount(size_t entry) const {
    return entries_[entry].closed_runs + (entries_[entry].open_last != 0 ? 1 : 0);
  }
  // The word's runs in ascending order (a scan of all runs: for tests and small tables).
  void Runs(size_t entry, std::vector<PostingRun>* out) const;
  // Calls f(entry, run) for every run of every word: each word's runs in ascending order,
  // the words interleaved in the order their runs were closed.
  template <typename F>
  void ForEachRun(F&& f) const;
  // Entry indexes in the writer's order: bucket 0 to size - 1, first-met order inside.
  std::vector<uint32_t> BucketOrder() const;

 private:
  struct Entry {
    uint32_t hash;  // the word hash, for the writer's bucket order
    uint32_t text;  // offset in texts_
    uint32_t posting_offset;
    uint32_t closed_runs;  // runs of this word in runs_
    uint32_t open_first;   // the word's last run, still growing (open_last 0: no runs)
    uint32_t open_last;
    uint8_t length;
  };
  // A closed run, tagged with its word; runs_ keeps them in the order they were closed,
  // which is ascending for each word.
  struct RunNode {
    uint32_t first;
    uint32_t last;
    uint32_t entry;
  };
  struct Slot {
    uint32_t key;
    uint32_t entry;  // entry + 1, 0 for an empty slot
  };

  size_t SlotOf(uint32_t key) const { return (key * 2654435761u) >> shift_; }
  long Lookup(const char* folded, size_t len, uint32_t key, size_t* slot) const;
  void Grow();
  long NewEntry(const char* folded, size_t len, uint32_t key, size_t slot);

  uint32_t size_;
  std::vector<Entry> entries_;
  std::vector<char> texts_;
  std::vector<RunNode> runs_;
  std::vector<Slot> slots_;
  unsigned shift_ = 32;
};

template <typename F>
void WordTable::ForEachRun(F&& f) const {
  for (const RunNode& r : runs_) f(static_cast<size_t>(r.entry), PostingRun{r.first, r.last});
  for (size_t e = 0; e < entries_.size(); ++e) {
    if (entries_[e].open_last != 0) f(e, PostingRun{entries_[e].open_first, entries_[e].open_last});
  }
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
