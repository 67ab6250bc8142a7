// The word rules, the word table and its routines.
#include "index/word_table.h"

#include <cstring>
#include <new>

#include "app/messages.h"

namespace norvel {

#define W1(c) (((c) >= '0' && (c) <= '9') || ((c) >= 'A' && (c) <= 'Z') || \
               ((c) >= 'a' && (c) <= 'z') || (c) == '-' || (c) == '_')
#define W4(c) W1(c), W1(c + 1), W1(c + 2), W1(c + 3)
#define W16(c) W4(c), W4(c + 4), W4(c + 8), W4(c + 12)
#define W64(c) W16(c), W16(c + 16), W16(c + 32), W16(c + 48)
const unsigned char kWordCharTable[256] = {W64(0), W64(64), W64(128), W64(192)};
#undef W64
#undef W16
#undef W4
#undef W1

void toLowerWord(char* text) {
  for (; *text; ++text) *text = FoldChar(*text);
}

void toLowerWord(std::string* text) {
  for (char& c : *text) c = FoldChar(c);
}

uint32_t WordHash(const char* folded, size_t len) {
  uint32_t h = 0;
  // Each byte counts as a signed char, widened with its sign: part of the function.
  for (size_t i = 0; i < len; ++i) h = WordHashStep(h, folded[i]);
  return h;
}

uint32_t hashWord(char* text, uint32_t size) {
  toLowerWord(text);
  return WordHash(text, std::strlen(text)) % size;
}

uint32_t hashWord(std::string* text, uint32_t size) {
  toLowerWord(text);
  return WordHash(*text) % size;
}

// ---------------------------------------------------------------------------------------
// WordTable

void WordTable::Clear() {
  size_ = 0;
  std::vector<Entry>().swap(entries_);
  std::vector<char>().swap(texts_);
  std::vector<RunNode>().swap(runs_);
  std::vector<Slot>().swap(slots_);
  shift_ = 32;
}

void WordTable::Reserve(size_t words, size_t text_bytes) {
  entries_.reserve(words);
  texts_.reserve(text_bytes);
  while (slots_.size() < 2 * words) Grow();
}

long WordTable::Lookup(const char* folded, size_t len, uint32_t key, size_t* slot) const {
  if (slots_.empty()) {
    *slot = 0;
    return -1;
  }
  size_t mask = slots_.size() - 1;
  for (size_t s = SlotOf(key);; s = (s + 1) & mask) {
    const Slot& sl = slots_[s];
    if (sl.entry == 0) {
      *slot = s;
      return -1;
    }
    if (sl.key != key) continue;
    const Entry& e = entries_[sl.entry - 1];
    if (e.length == len && std::memcmp(&texts_[e.text], folded, len) == 0) {
      *slot = s;
      return static_cast<long>(sl.entry - 1);
    }
  }
}

long WordTable::Find(const char* folded, size_t len, uint32_t key) const {
  size_t slot;
  return Lookup(folded, len, key, &slot);
}

// Doubles the slot array (at least half of it stays empty, so probes stay short).
void WordTable::Grow() {
  size_t capacity = slots_.empty() ? 1024 : slots_.size() * 2;
  std::vector<Slot> bigger(capacity, Slot{0, 0});
  unsigned bits = 0;
  while ((size_t{1} << bits) < capacity) ++bits;
  shift_ = 32 - bits;
  size_t mask = capacity - 1;
  for (const Slot& sl : slots_) {
    if (sl.entry == 0) continue;
    size_t s = SlotOf(sl.key);
    while (bigger[s].entry != 0) s = (s + 1) & mask;
    bigger[s] = sl;
  }
  slots_.swap(bigger);
}

long WordTable::NewEntry(const char* folded, size_t len, uint32_t key, size_t slot) {
  if ((entries_.size() + 1) * 2 > slots_.size()) {
    Grow();
    Lookup(folded, len, key, &slot);
  }
  Entry e;
  e.hash = WordHash(folded, len);
  e.text = static_cast<uint32_t>(texts_.size());
  e.posting_offset = 0;
  e.closed_runs = 0;
  e.open_first = e.open_last = 0;
  e.length = static_cast<uint8_t>(len);
  texts_.insert(texts_.end(), folded, folded + len);
  entries_.push_back(e);
  slots_[slot] = Slot{key, static_cast<uint32_t>(entries_.size())};
  return static_cast<long>(entries_.size() - 1);
}

int WordTable::AddOccurrence(const char* folded, size_t len, uint32_t file_number, uint32_t key) {
  size_t slot;
  long found = Lookup(folded, len, key, &slot);
  if (found >= 0) {
    Entry& e = entries_[static_cast<size_t>(found)];
    if (e.open_last == file_number) return 0;  // a word counts once per document
    if (e.open_last != 0 && e.open_last == file_number - 1) {
      if (e.open_first == 0) e.open_first = e.open_last;
      e.open_last = file_number;
      return 0;
    }
    try {
      if (e.open_last != 0) {
        runs_.push_back(RunNode{e.open_first, e.open_last, static_cast<uint32_t>(found)});
        ++e.closed_runs;
      }
    } catch (const std::bad_alloc&) {
      WriteLog("addNode():Malloc failure for File number node");
      return -1;
    }
    e.open_first = 0;
    e.open_last = file_number;
    return 0;
  }
  try {
    long idx = NewEntry(folded, len, key, slot);
    entries_[static_cast<size_t>(idx)].open_last = file_number;
  } catch (const std::bad_alloc&) {
    WriteLog("addNode():Malloc failure for Word node");
    return -1;
  }
  return 1;
}

int WordTable::Insert(const char* folded, size_t len, uint32_t posting_offset) {
  // No document word is longer than 254 characters, so a longer word could never match.
  if (len > 255) return 0;
  size_t slot;
  uint32_t key = WordKey(folded, len);
  if (Lookup(folded, len, key, &slot) >= 0) return 0;
  try {
    long idx = NewEntry(folded, len, key, slot);
    entries_[static_cast<size_t>(idx)].posting_offset = posting_offset;
  } catch (const std::bad_alloc&) {
    WriteLog("addNode():Malloc failure for tmp node.");
    return -1;
  }
  return 0;
}

std::string_view WordTable::Text(size_t entry) const {
  const Entry& e = entries_[entry];
  return std::string_view(texts_.data() + e.text, e.length);
}

void WordTable::Runs(size_t entry, std::vector<PostingRun>* out) const {
  out->clear();
  ForEachRun([entry, out](size_t e, PostingRun r) {
    if (e == entry) out->push_back(r);
  });
}

std::vector<uint32_t> WordTable::BucketOrder() const {
  // A stable counting sort by bucket keeps first-met order inside each bucket.
  std::vector<uint32_t> order(entries_.size());
  if (entries_.empty() || size_ == 0) return order;
  std::vector<uint32_t> start(static_cast<size_t>(size_) + 1, 0);
  for (const Entry& e : entries_) ++start[e.hash % size_ + 1];
  for (size_t b = 1; b <= size_; ++b) start[b] += start[b - 1];
  for (size_t i = 0; i < entries_.size(); ++i) {
    order[start[entries_[i].hash % size_]++] = static_cast<uint32_t>(i);
  }
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
