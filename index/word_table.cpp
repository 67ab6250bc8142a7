// The word table and its routines.
#include "index/word_table.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "core/messages.h"

namespace norvel {

void WordTable::Clear() {
  *this = WordTable();
}

void WordTable::Reserve(size_t words, size_t) {
  size_t capacity = slot_count() == 0 ? 1024 : slot_count();
  while (capacity < 2 * words) capacity *= 2;
  if (capacity > slot_count()) Grow(capacity);
}

namespace {

// Equal texts of len bytes, both followed by kTokenSlack readable bytes: eight at a time.
inline bool SameWordPadded(const char* a, const char* b, size_t len) {
  size_t i = 0;
  for (; i + 8 <= len; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return false;
  }
  if (i == len) return true;
  uint64_t x, y;
  std::memcpy(&x, a + i, 8);
  std::memcpy(&y, b + i, 8);
  return ((x ^ y) << (64 - 8 * (len - i))) == 0;  // the bytes past the word drop out
}

}  // namespace

template <bool kPadded>
long WordTable::Lookup(const char* folded, size_t len, uint32_t key, size_t* slot) const {
  if (slot_count() == 0) {
    *slot = 0;
    return -1;
  }
  size_t mask = slot_count() - 1;
  for (size_t s = SlotOf(key);; s = (s + 1) & mask) {
    const Slot& sl = slots()[s];
    if (sl.entry == 0) {
      *slot = s;
      return -1;
    }
    if (sl.key != key) continue;
    const Entry& e = At(sl.entry - 1);
    if (e.length != len) continue;
    const char* text = texts_.At(e.text);
    if (kPadded ? SameWordPadded(text, folded, len) : std::memcmp(text, folded, len) == 0) {
      *slot = s;
      return static_cast<long>(sl.entry - 1);
    }
  }
}

long WordTable::Find(const char* folded, size_t len, uint32_t key) const {
  size_t slot;
  return Lookup<false>(folded, len, key, &slot);
}

// Makes the slot array `capacity` slots large, a power of two (at least half of it stays
// empty, so probes stay short).
void WordTable::Grow(size_t capacity) {
  // On a 32-bit system the byte count itself may not fit.
  if (capacity > SIZE_MAX / sizeof(Slot)) throw std::bad_alloc();
  platform::PageBlock block;
  if (!block.Allocate(capacity * sizeof(Slot), large_pages_)) throw std::bad_alloc();
  Slot* bigger = reinterpret_cast<Slot*>(block.data());  // all empty: zero-filled
  unsigned bits = 0;
  while ((size_t{1} << bits) < capacity) ++bits;
  shift_ = 32 - bits;
  size_t mask = capacity - 1;
  const Slot* slots = this->slots();
  for (size_t i = 0, n = slot_count(); i < n; ++i) {
    const Slot& sl = slots[i];
    if (sl.entry == 0) continue;
    size_t s = SlotOf(sl.key);
    while (bigger[s].entry != 0) s = (s + 1) & mask;
    bigger[s] = sl;
  }
  slot_block_ = std::move(block);
}

long WordTable::NewEntry(const char* folded, size_t len, uint32_t key, size_t slot) {
  // Entry numbers are 32-bit in the slots and a signed long (32-bit on Windows) in Find:
  // a table full to that is out of room as surely as out of memory.
  if (count_ >= kMaxEntries) throw std::bad_alloc();
  if ((count_ + 1) * 2 > slot_count()) {
    Grow(slot_count() == 0 ? 1024 : slot_count() * 2);
    Lookup<false>(folded, len, key, &slot);
  }
  if ((count_ >> kEntryBits) == entries_.size()) {
    platform::PageBlock block;
    if (!block.Allocate(sizeof(Entry) << kEntryBits, large_pages_)) throw std::bad_alloc();
    entries_.push_back(std::move(block));
  }
  uint32_t text = texts_.Alloc(len);
  std::memcpy(texts_.At(text), folded, len);
  Entry& e = At(count_);
  e.text = text;
  e.open_first = e.open_last = 0;
  e.closed_runs = 0;
  e.head = e.pos = 0;
  e.offset_or_end = 0;
  e.length = static_cast<uint8_t>(len);
  e.level = 0;
  ++count_;
  slots()[slot] = Slot{key, static_cast<uint32_t>(count_)};
  return static_cast<long>(count_ - 1);
}

void WordTable::PutByte(Entry& e, unsigned char b) {
  if (e.pos == e.offset_or_end) {
    // The slice is full: the next one, twice as large up to a limit, is linked from its
    // last four bytes.
    unsigned level = e.level < 8 ? e.level + 1u : 8u;
    uint32_t next = runs_.Alloc(SliceSize(level));
    std::memcpy(runs_.At(e.offset_or_end), &next, 4);
    e.pos = next;
    e.offset_or_end = next + SliceSize(level) - 4;
    e.level = static_cast<uint8_t>(level);
  }
  *runs_.At(e.pos++) = static_cast<char>(b);
}

void WordTable::PutVarint(Entry& e, uint64_t v) {
  while (v >= 0x80) {
    PutByte(e, static_cast<unsigned char>(v | 0x80));
    v >>= 7;
  }
  PutByte(e, static_cast<unsigned char>(v));
}

// Moves the word's last run into its chain, next_file starting the run after it.
void WordTable::CloseRun(Entry& e, uint32_t next_file) {
  uint32_t last = e.open_last;
  uint32_t first = e.open_first != 0 ? e.open_first : last;
  if (e.closed_runs == 0) {
    e.head = e.pos = runs_.Alloc(SliceSize(0));
    e.offset_or_end = e.head + SliceSize(0) - 4;
    e.level = 0;
    PutVarint(e, first);
  }
  // Modulo 2^32, so that any order of numbers comes back as it went in.
  uint32_t gap = next_file - last - 2;
  PutVarint(e, (uint64_t{gap} << 1) | (last != first ? 1u : 0u));
  if (last != first) PutVarint(e, last - first - 1);
  ++e.closed_runs;
}

int WordTable::AddOccurrence(const char* folded, size_t len, uint32_t file_number, uint32_t key) {
  uint32_t entry;
  return Add<false>(folded, len, file_number, key, &entry);
}

int WordTable::AddFolded(const char* folded, size_t len, uint32_t file_number, uint32_t key) {
  uint32_t entry;
  return Add<true>(folded, len, file_number, key, &entry);
}

int WordTable::AddFolded(const char* folded, size_t len, uint32_t file_number, uint32_t key,
                         uint32_t* entry) {
  return Add<true>(folded, len, file_number, key, entry);
}

template <bool kPadded>
int WordTable::Add(const char* folded, size_t len, uint32_t file_number, uint32_t key,
                   uint32_t* entry) {
  size_t slot;
  long found = Lookup<kPadded>(folded, len, key, &slot);
  if (found >= 0) {
    *entry = static_cast<uint32_t>(found);
    Entry& e = At(static_cast<size_t>(found));
    if (e.open_last == file_number) return 0;  // a word counts once per document
    if (e.open_last != 0 && e.open_last == file_number - 1) {
      if (e.open_first == 0) e.open_first = e.open_last;
      e.open_last = file_number;
      return 0;
    }
    if (e.open_last != 0) {
      try {
        CloseRun(e, file_number);
      } catch (const std::bad_alloc&) {
        AddFailed("addNode():Malloc failure for File number node");
        return -1;
      }
    }
    e.open_first = 0;
    e.open_last = file_number;
    return 0;
  }
  try {
    long idx = NewEntry(folded, len, key, slot);
    At(static_cast<size_t>(idx)).open_last = file_number;
    *entry = static_cast<uint32_t>(idx);
  } catch (const std::bad_alloc&) {
    AddFailed("addNode():Malloc failure for Word node");
    return -1;
  }
  return 1;
}

void WordTable::AddFailed(const char* line) {
  if (keep_failure_lines_) {
    failure_line_ = line;
  } else {
    WriteLog(line);
  }
}

int WordTable::Insert(const char* folded, size_t len, uint32_t posting_offset) {
  return Insert(folded, len, WordKey(folded, len), posting_offset);
}

int WordTable::Insert(const char* folded, size_t len, uint32_t key, uint32_t posting_offset) {
  // No document word is longer than 254 characters, so a longer word could never match.
  if (len > 255) return 0;
  size_t slot;
  if (Lookup<false>(folded, len, key, &slot) >= 0) return 0;
  try {
    long idx = NewEntry(folded, len, key, slot);
    At(static_cast<size_t>(idx)).offset_or_end = posting_offset;
  } catch (const std::bad_alloc&) {
    WriteLog("addNode():Malloc failure for tmp node.");
    return -1;
  }
  return 0;
}

uint32_t WordTable::FirstFile(size_t entry) const {
  const Entry& e = At(entry);
  if (e.closed_runs != 0) return static_cast<uint32_t>(ChainReader(runs_, e.head).Varint());
  return e.open_first != 0 ? e.open_first : e.open_last;
}

void WordTable::Runs(size_t entry, std::vector<PostingRun>* out) const {
  out->clear();
  ForEachRunOf(entry, [out](PostingRun r) { out->push_back(r); });
}

std::vector<uint32_t> WordTable::BucketOrder() const {
  // A stable counting sort by bucket keeps first-met order inside each bucket.
  std::vector<uint32_t> order(count_);
  if (count_ == 0 || size_ == 0) return order;
  std::vector<uint32_t> bucket(count_);
  std::vector<uint32_t> start(static_cast<size_t>(size_) + 1, 0);
  for (size_t i = 0; i < count_; ++i) {
    bucket[i] = Hash(i) % size_;
    ++start[bucket[i] + 1];
  }
  for (size_t b = 1; b <= size_; ++b) start[b] += start[b - 1];
  for (size_t i = 0; i < count_; ++i) order[start[bucket[i]]++] = static_cast<uint32_t>(i);
  return order;
}

// ---------------------------------------------------------------------------------------
// The routines of the word machinery.

int addNode(char* word, size_t len, WordTable* table, uint32_t file_number) {
  for (size_t i = 0; i < len; ++i) word[i] = FoldChar(word[i]);
  return table->AddOccurrence(word, len, file_number, WordKey(word, len));
}

int insertWord(uint32_t posting_offset, const char* word, size_t len, WordTable* table) {
  return table->Insert(word, len, posting_offset);
}

int findWord(const WordTable& table, char* word, size_t len, uint32_t* posting_offset) {
  for (size_t i = 0; i < len; ++i) word[i] = FoldChar(word[i]);
  if (!table.present()) return -1;
  long idx = table.Find(word, len);
  if (idx < 0) return -1;
  if (posting_offset) *posting_offset = table.PostingOffset(static_cast<size_t>(idx));
  return 0;
}

int findWord(const WordTable& table, std::string word, uint32_t* posting_offset) {
  return findWord(table, &word[0], word.size(), posting_offset);
}

}  // namespace norvel
