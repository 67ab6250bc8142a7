// Collecting one build part's token positions in runs of bounded memory.
//
// Each token of a run keeps a chain of slices (16 bytes, doubling to 2 KB; the last four
// bytes of a slice give the next one's address) holding its coded documents. Tokens are
// looked up in batches, the slots of those a little further on fetched while one is
// looked up, as the table soon outgrows the caches.
#include "index/positions_collector.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "index/positions_format.h"
#include "index/word_hash.h"
#include "index/word_rules.h"

namespace norvel {

namespace {

constexpr unsigned kBlockBits = 21;  // a large page each
constexpr size_t kBlockSize = size_t{1} << kBlockBits;
constexpr size_t kBatch = 1024;  // tokens looked up together
constexpr size_t kBatchText = kBatch * 16;
constexpr size_t kAhead = 16;
constexpr size_t kEncodeAhead = 16;
constexpr uint32_t kFewPositions = 48;  // a token's positions in a document coded at once
constexpr uint64_t kLargeDocument = uint64_t{1} << 20;  // bytes
constexpr uint32_t kNoToken = 0xFFFFFFFFu;  // a text's place in doc_ until it is looked up
constexpr size_t kMeanTokenText = 8;        // bytes of a token's text, for the room held
constexpr uint32_t SliceSize(unsigned level) {
  return 16u << (level < 7 ? level : 7);
}
// Equal texts; both are followed by at least 8 readable bytes.
bool Same(const char* a, const char* b, size_t len) {
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
  return ((x ^ y) & (~uint64_t{0} >> (64 - 8 * (len - i)))) == 0;
}
size_t SlotOf(uint32_t hash, size_t mask) {
  return (hash * 2654435761u) & mask;
}

// Sorts (key, id) pairs by key: a byte of the keys a pass, the lowest first, each pass
// keeping the order of the one before; a byte that every key has alike takes no pass.
// other: room for the passes, kept from one sort to the next.
using KeyedIds = platform::LargePageVector<std::pair<uint64_t, uint32_t>>;
void SortByKey(KeyedIds* pairs, KeyedIds* other_pairs) {
  const size_t n = pairs->size();
  if (n < 256) {
    std::sort(pairs->begin(), pairs->end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return;
  }
  KeyedIds& other = *other_pairs;
  if (other.size() < n) other.resize(n);
  std::vector<size_t> counts(8 * 256, 0);
  for (const auto& p : *pairs) {
    for (unsigned b = 0; b < 8; ++b) ++counts[b * 256 + ((p.first >> (8 * b)) & 255)];
  }
  auto* from = pairs->data();
  auto* to = other.data();
  for (unsigned b = 0; b < 8; ++b) {
    size_t* count = &counts[b * 256];
    if (count[(from[0].first >> (8 * b)) & 255] == n) continue;
    size_t at = 0;
    for (size_t v = 0; v < 256; ++v) {
      size_t c = count[v];
      count[v] = at;
      at += c;
    }
    for (size_t i = 0; i < n; ++i) to[count[(from[i].first >> (8 * b)) & 255]++] = from[i];
    std::swap(from, to);
  }
  if (from != pairs->data()) std::copy(from, from + n, pairs->data());
}

}  // namespace

// The spill file while runs are written to it.
class PositionsCollector::SpillWriter {
 public:
  bool Open(const std::string& path) { return file_.Open(path, "wb"); }
  void Put(const void* p, size_t n) {
    if (used_ + n > sizeof buf_) Flush();
    if (n > sizeof buf_) {
      ok_ = file_.Write(p, n) && ok_;
    } else {
      std::memcpy(buf_ + used_, p, n);
      used_ += n;
    }
    at_ += n;
  }
  void Varint(uint64_t v) {
    if (used_ + 10 > sizeof buf_) Flush();
    size_t n = PutVarint(buf_ + used_, v);
    used_ += n;
    at_ += n;
  }
  void Flush() {
    ok_ = (used_ == 0 || file_.Write(buf_, used_)) && ok_;
    used_ = 0;
  }
  bool Close() {
    Flush();
    return file_.Close() && ok_;
  }
  uint64_t at() const { return at_; }
  bool ok() const { return ok_; }

 private:
  platform::File file_;
  unsigned char buf_[1 << 16];
  size_t used_ = 0;
  uint64_t at_ = 0;
  bool ok_ = true;
};

// Reads a token's chain back, varint by varint.
class PositionsCollector::Chain {
 public:
  Chain(const PositionsCollector& c, const Token& t) : c_(c), tail_(t.tail), slice_(t.head) {
    pos_ = c.At(t.head);
    end_ = pos_ + SliceSize(0) - 4;
    FetchNext();
  }
  // Copies n bytes of the chain to out.
  void CopyTo(SpillWriter* out, uint32_t n) {
    while (n > 0) {
      if (pos_ == end_) NextSlice();
      uint32_t room = std::min<uint32_t>(n, static_cast<uint32_t>(end_ - pos_));
      out->Put(pos_, room);
      pos_ += room;
      n -= room;
    }
  }

 private:
  void NextSlice() {
    slice_ = GetLE32(end_);
    ++level_;
    pos_ = c_.At(slice_);
    end_ = pos_ + SliceSize(level_) - 4;
    FetchNext();
  }
  // The slices of a token lie far apart: the one after this slice is fetched as it is
  // entered, unless this one is the token's last, which holds its write position (its
  // link is not written).
  void FetchNext() const {
    if (tail_ - slice_ > SliceSize(level_) - 4) __builtin_prefetch(c_.At(GetLE32(end_)));
  }
  const PositionsCollector& c_;
  const uint32_t tail_;  // the token's write position
  uint32_t slice_;       // the address of the slice read
  const unsigned char* pos_;
  const unsigned char* end_;
  unsigned level_ = 0;
};

PositionsCollector::PositionsCollector(std::string spill_path, size_t budget)
    : spill_path_(std::move(spill_path)), budget_(budget), block_used_(kBlockSize) {}
PositionsCollector::~PositionsCollector() {
  if (spill_) spill_->Close();
  spill_.reset();
  // A destructor must not throw: the removal's path (wide on Windows) may find no memory,
  // and then the spilled run stays for the next build's discard.
  try {
    RemoveSpill();
  } catch (const std::bad_alloc&) {
  }
}

unsigned char* PositionsCollector::At(uint32_t address) {
  return reinterpret_cast<unsigned char*>(blocks_[address >> kBlockBits].data()) +
         (address & (kBlockSize - 1));
}
const unsigned char* PositionsCollector::At(uint32_t address) const {
  return reinterpret_cast<const unsigned char*>(blocks_[address >> kBlockBits].data()) +
         (address & (kBlockSize - 1));
}

size_t PositionsCollector::bytes_held() const {
  // What the present run takes; the memory of runs before is reused, not added.
  size_t in_blocks = blocks_used_ == 0 ? 0 : (blocks_used_ - 1) * kBlockSize + block_used_;
  return in_blocks + tokens_.size() * kTokenBytes + slots_.size() * sizeof(uint64_t) +
         texts_.size();
}

void PositionsCollector::FreeRunTables() {
  decltype(tokens_)().swap(tokens_);
  decltype(in_doc_)().swap(in_doc_);
  decltype(texts_)().swap(texts_);
  decltype(slots_)().swap(slots_);
  std::vector<platform::PageBlock>().swap(blocks_);
  decltype(doc_)().swap(doc_);
  decltype(by_word_)().swap(by_word_);
  decltype(scratch_)().swap(scratch_);
  KeyedIds().swap(order_);
  KeyedIds().swap(sort_room_);
}

void PositionsCollector::Drop() {
  failed_ = true;
  open_ = false;
  FreeRunTables();
  std::vector<uint32_t>().swap(token_counts_);
  if (spill_) spill_->Close();
  spill_.reset();
  RemoveSpill();
}

void PositionsCollector::RemoveSpill() {
  runs_.clear();
  marks_.clear();
  if (spilled_) platform::RemoveFile(spill_path_);
  spilled_ = false;
}

uint32_t PositionsCollector::NewSlice(unsigned level) {
  uint32_t size = SliceSize(level);
  if (block_used_ + size > kBlockSize) {
    if (blocks_used_ == blocks_.size()) {
      // Addresses are 32-bit; a run stays far below 4 GB.
      if (blocks_.size() >= (size_t{1} << (32 - kBlockBits))) throw std::bad_alloc();
      // Owned before the list grows: a list that cannot grow must not lose the block.
      platform::PageBlock block;
      if (!block.Allocate(kBlockSize)) throw std::bad_alloc();
      blocks_.push_back(std::move(block));
    }
    ++blocks_used_;
    block_used_ = 0;
  }
  uint32_t at = static_cast<uint32_t>(((blocks_used_ - 1) << kBlockBits) + block_used_);
  block_used_ += size;
  return at;
}

void PositionsCollector::Append(Token& t, const unsigned char* p, size_t n) {
  t.bytes += static_cast<uint32_t>(n);
  while (n > 0) {
    if (t.tail == t.end) {
      bool next = t.end != 0;
      uint32_t slice = NewSlice(next ? t.level + 1 : 0);
      if (next) {
        ++t.level;
        PutLE32(At(t.end), slice);
      } else {
        t.head = slice;
      }
      t.tail = slice;
      t.end = slice + SliceSize(t.level) - 4;
    }
    size_t room = std::min<size_t>(n, t.end - t.tail);
    unsigned char* to = At(t.tail);
    for (size_t i = 0; i < room; ++i) to[i] = p[i];  // a few bytes, mostly
    t.tail += static_cast<uint32_t>(room);
    p += room;
    n -= room;
  }
}

void PositionsCollector::BeginDocument(uint32_t number, uint64_t bytes) {
  if (failed_) return;
  number_ = number;
  open_ = true;
  doc_.clear();
  words_waiting_ = 0;
  words_named_to_ = 0;
  pending_.clear();
  // A large document's tokens (about one per five bytes) held from the start, rather
  // than copied each time they outgrow their room.
  if (bytes > kLargeDocument && doc_.capacity() < bytes / 5) {
    try {
      doc_.reserve(static_cast<size_t>(bytes / 5));
    } catch (const std::bad_alloc&) {
      Drop();
    }
  }
}

void PositionsCollector::AddRaw(const char* text, size_t len) {
  if (!open_) return;
  if (len > kPositionsKeyBytes) len = kPositionsKeyBytes;
  if (pending_text_.size() < kBatchText + kPositionsKeyBytes + 8) {
    try {
      pending_text_.resize(kBatchText + kPositionsKeyBytes + 8);
      pending_.reserve(kBatch);
    } catch (const std::bad_alloc&) {
      return Drop();
    }
  }
  size_t at = pending_.empty() ? 0 : pending_.back().at + pending_.back().len;
  char* folded = &pending_text_[at];
  for (size_t i = 0; i < len; ++i) folded[i] = FoldChar(text[i]);
  Await(at, len, WordKey(folded, len));
}

void PositionsCollector::AddFolded(const char* text, size_t len) {
  if (len > kPositionsKeyBytes) len = kPositionsKeyBytes;
  Take(text, len, WordKey(text, len), false);
}

void PositionsCollector::AddFolded(const char* text, size_t len, uint32_t key) {
  Take(text, len, key, true);
}

void PositionsCollector::Take(const char* text, size_t len, uint32_t key, bool slack) {
  if (!open_) return;
  if (pending_text_.size() < kBatchText + kPositionsKeyBytes + 8) {
    try {
      pending_text_.resize(kBatchText + kPositionsKeyBytes + 8);
      pending_.reserve(kBatch);
    } catch (const std::bad_alloc&) {
      return Drop();
    }
  }
  size_t at = pending_.empty() ? 0 : pending_.back().at + pending_.back().len;
  char* to = &pending_text_[at];
  if (slack && len <= 8) {
    std::memcpy(to, text, 8);  // a whole chunk: the text is followed by slack
  } else {
    std::memcpy(to, text, len);
  }
  Await(at, len, key);
}

void PositionsCollector::Await(size_t at, size_t len, uint32_t key) {
  try {
    uint32_t place = static_cast<uint32_t>(doc_.size());
    doc_.push_back(kNoToken);
    pending_.push_back(Pending{static_cast<uint32_t>(at), static_cast<uint32_t>(len), key, place});
  } catch (const std::bad_alloc&) {
    return Drop();
  }
  if (pending_.size() == kBatch || at + len > kBatchText) Resolve();
}

void PositionsCollector::AddWordGrowing() {
  if (!open_) return;
  try {
    doc_.push_back(kWordMark);
    ++words_waiting_;
  } catch (const std::bad_alloc&) {
    Drop();
  }
}

void PositionsCollector::SetWords(const Word* words, size_t n) {
  if (!open_) return;
  if (n > words_waiting_) return Drop();  // words that were not added
  try {
    // Room by entry for every word of the batch first, so that the tables stay in place
    // (and are read through pointers of their own) while the words are named.
    uint32_t most = 0;
    for (size_t i = 0; i < n; ++i) most = std::max(most, words[i].entry);
    if (n > 0 && most >= by_word_.size()) {
      // Twice as many each time: a part's words number hundreds of thousands, and each
      // move takes fresh pages.
      size_t size = std::max<size_t>(size_t{most} + 1, 2 * by_word_.size());
      by_word_.reserve(size);
      by_word_.resize(size, kNoToken);
    }
    uint32_t* const by_word = by_word_.data();
    uint32_t* const doc = doc_.data();
    size_t place = words_named_to_;
    // The entries' places in by_word_ are fetched a few words ahead, as in Resolve.
    for (size_t i = 0; i < n; ++i) {
      if (i + kAhead < n) __builtin_prefetch(&by_word[words[i + kAhead].entry]);
      const Word& w = words[i];
      uint32_t id = by_word[w.entry];
      if (id == kNoToken) {
        // New in this run. A word's text never comes as a text (those are the tokens that
        // are not words of the table), so no lookup can meet it: it needs no slot.
        id = NewToken(w.text, w.len);
        tokens_[id].word = w.entry + 1;
        by_word[w.entry] = id;
      }
      while (doc[place] != kWordMark) ++place;  // the texts' places between are passed over
      doc[place++] = id;
    }
    words_named_to_ = place;
    words_waiting_ -= n;
  } catch (const std::bad_alloc&) {
    Drop();
  }
}

void PositionsCollector::Resolve() {
  try {
    if (slots_.empty()) slots_.assign(4096, 0);
    size_t n = pending_.size();
    size_t mask = slots_.size() - 1;
    for (size_t i = 0; i < n && i < kAhead; ++i) {
      __builtin_prefetch(&slots_[SlotOf(pending_[i].hash, mask)]);
    }
    // Three steps, each reading only what the one before fetched: the slot, half way
    // there its token, a quarter of the way there the token's text.
    auto token_of = [&](size_t i) -> const Token* {
      uint64_t slot = slots_[SlotOf(pending_[i].hash, mask)];
      if (slot == 0 || static_cast<uint32_t>(slot >> 32) != pending_[i].hash) return nullptr;
      return &tokens_[static_cast<uint32_t>(slot) - 1];
    };
    for (size_t i = 0; i < n; ++i) {
      if (i + kAhead < n) __builtin_prefetch(&slots_[SlotOf(pending_[i + kAhead].hash, mask)]);
      if (i + kAhead / 2 < n) {
        if (const Token* t = token_of(i + kAhead / 2)) __builtin_prefetch(t);
      }
      if (i + kAhead / 4 < n) {
        if (const Token* t = token_of(i + kAhead / 4)) __builtin_prefetch(&texts_[t->text]);
      }
      mask = slots_.size() - 1;  // the table may have grown
      const Pending& p = pending_[i];
      doc_[p.place] = Lookup(&pending_text_[p.at], p.len, p.hash);
    }
    pending_.clear();
  } catch (const std::bad_alloc&) {
    Drop();
  }
}

uint32_t PositionsCollector::Lookup(const char* folded, size_t len, uint32_t hash) {
  size_t mask = slots_.size() - 1;
  size_t slot = SlotOf(hash, mask);
  for (;;) {
    uint64_t s = slots_[slot];
    if (s == 0) break;
    if (static_cast<uint32_t>(s >> 32) == hash) {
      uint32_t id = static_cast<uint32_t>(s) - 1;
      const Token& t = tokens_[id];
      if (t.len == len && Same(&texts_[t.text], folded, len)) return id;
    }
    slot = (slot + 1) & mask;
  }
  uint32_t id = NewToken(folded, len);
  slots_[slot] = uint64_t{hash} << 32 | (id + 1);
  if (++looked_up_ * 2 > slots_.size()) Grow();
  return id;
}

uint32_t PositionsCollector::NewToken(const char* folded, size_t len) {
  if (tokens_.size() >= 0x7FFFFFFEu || texts_.size() + len > 0xFFFFFFFFu) throw std::bad_alloc();
  if (tokens_.capacity() == 0) ReserveRun();
  uint32_t id = static_cast<uint32_t>(tokens_.size());
  Token t{};
  t.len = static_cast<uint32_t>(len);
  // Texts keep 8 bytes of slack after the last one for Same.
  if (texts_.empty()) texts_.resize(8);
  texts_.resize(texts_.size() + len);
  t.text = static_cast<uint32_t>(texts_.size() - len - 8);
  std::memcpy(&texts_[t.text], folded, len);
  tokens_.push_back(t);
  in_doc_.push_back(0);
  return id;
}

size_t PositionsCollector::RunTokens() const {
  constexpr size_t kMostTokens = size_t{1} << 18;
  return std::min(kMostTokens, budget_ / kTokenBytes + 1024);
}

void PositionsCollector::ReserveRun() {
  // As many tokens as the budget holds (each at about kMeanTokenText bytes of text), held
  // from the start and kept from run to run, the spill's order of them too: a table that
  // doubles as it fills takes fresh pages each time, and copies. Only the pages filled are
  // taken from the system (a large page whole).
  size_t tokens = RunTokens();
  try {
    tokens_.reserve(tokens);
    in_doc_.reserve(tokens);
    texts_.reserve(tokens * kMeanTokenText);
    order_.reserve(tokens);
    sort_room_.reserve(tokens);
  } catch (const std::bad_alloc&) {
    // Only a head start: the tables grow as tokens come.
  }
}

void PositionsCollector::Grow() {
  decltype(slots_) slots(slots_.size() * 2, 0);
  size_t mask = slots.size() - 1;
  for (uint64_t s : slots_) {
    if (s == 0) continue;
    size_t slot = SlotOf(static_cast<uint32_t>(s >> 32), mask);
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = s;
  }
  slots_.swap(slots);
}

void PositionsCollector::EndDocument() {
  if (!open_) return;
  Resolve();
  if (failed_) return;
  if (words_waiting_ != 0) return Drop();  // words never named: the document is not whole
  open_ = false;
  try {
    Encode();
    if (bytes_held() > budget_) Spill();
  } catch (const std::bad_alloc&) {
    Drop();
  }
  // What a large document took is not kept for the many smaller ones after it.
  if (doc_.capacity() > kLargeDocument / 4) {
    decltype(doc_)().swap(doc_);
    decltype(touched_)().swap(touched_);
    decltype(scratch_)().swap(scratch_);
  }
}

void PositionsCollector::Encode() {
  // Positions grouped by token with two passes over the document: counts, then places.
  // (The tables through pointers of their own: the compiler cannot tell that the writes
  // leave the vectors themselves alone.)
  const size_t tokens = doc_.size();
  // At most one place a token of the run, and one more for the write past the last.
  if (touched_.size() <= std::min(tokens, tokens_.size())) {
    touched_.resize(std::min(tokens, tokens_.size()) + 1);
  }
  if (scratch_.size() < tokens) scratch_.resize(tokens);
  const uint32_t* const doc = doc_.data();
  uint32_t* const in_doc = in_doc_.data();
  uint32_t* const touched_ids = touched_.data();
  uint32_t* const scratch = scratch_.data();
  size_t touched = 0;
  for (size_t k = 0; k < tokens; ++k) {
    uint32_t id = doc[k];
    touched_ids[touched] = id;
    touched += in_doc[id]++ == 0;
  }
  uint32_t at = 0;
  for (size_t k = 0; k < touched; ++k) {
    uint32_t n = in_doc[touched_ids[k]];
    in_doc[touched_ids[k]] = at;
    at += n;
  }
  for (size_t k = 0; k < tokens; ++k) scratch[in_doc[doc[k]]++] = static_cast<uint32_t>(k);
  uint32_t from = 0;
  // The tokens' entries and their chains' ends are scattered over the run's memory: each
  // is fetched a few tokens before it is written.
  Token* const entries = tokens_.data();  // no token is added while a document is coded
  for (size_t i = 0; i < touched && i < kEncodeAhead; ++i)
    __builtin_prefetch(&entries[touched_ids[i]]);
  for (size_t i = 0; i < touched; ++i) {
    if (i + kEncodeAhead < touched) __builtin_prefetch(&entries[touched_ids[i + kEncodeAhead]]);
    if (i + kEncodeAhead / 2 < touched) {
      const Token& ahead = entries[touched_ids[i + kEncodeAhead / 2]];
      if (ahead.tail != ahead.end) __builtin_prefetch(At(ahead.tail), 1);
    }
    uint32_t id = touched_ids[i];
    Token& t = entries[id];
    uint32_t to = in_doc[id];
    // The positions' bytes are said before the positions. A token met up to
    // kFewPositions times in the document has its positions coded once, after room for
    // the head, and goes to its chain in one piece; a token met more often is coded twice,
    // its size first.
    uint32_t occurrences = to - from;
    constexpr size_t kHead = 15;  // three varints of 32 bits at most
    unsigned char buf[kHead + kFewPositions * 5];
    unsigned char head[kHead];
    const bool few = occurrences <= kFewPositions;
    size_t coded = 0;
    uint32_t prev = 0;
    for (uint32_t k = from; k < to; ++k) {
      uint32_t gap = scratch[k] - prev;
      coded += few ? PutVarint(buf + kHead + coded, gap) : VarintBytes(gap);
      prev = scratch[k];
    }
    const uint32_t gap = number_ - t.last_doc;
    if (few) {
      // The head right before the positions, the whole in one piece: mostly a few bytes
      // into room that the chain's slice has, copied as 16 (a slice's last four bytes, the
      // next one's address, are written once it is full).
      size_t n = VarintBytes(gap) + VarintBytes(occurrences) + VarintBytes(coded);
      unsigned char* whole = buf + kHead - n;
      unsigned char* p = whole + PutVarint(whole, gap);
      p += PutVarint(p, occurrences);
      PutVarint(p, coded);
      n += coded;
      if (t.end == 0 && n <= SliceSize(0) - 4) {
        // The token's first document of the run: its first slice, 16 bytes, takes it.
        uint32_t slice = NewSlice(0);
        std::memcpy(At(slice), whole, 16);
        t.head = slice;
        t.tail = slice + static_cast<uint32_t>(n);
        t.end = slice + SliceSize(0) - 4;
        t.bytes += static_cast<uint32_t>(n);
      } else if (t.tail != t.end && n <= t.end - t.tail && n <= 16 && t.end + 4 - t.tail >= 16) {
        std::memcpy(At(t.tail), whole, 16);
        t.tail += static_cast<uint32_t>(n);
        t.bytes += static_cast<uint32_t>(n);
      } else {
        Append(t, whole, n);
      }
    } else {
      size_t n = PutVarint(head, gap);
      n += PutVarint(head + n, occurrences);
      n += PutVarint(head + n, coded);
      Append(t, head, n);
      n = 0;
      prev = 0;
      for (uint32_t k = from; k < to; ++k) {
        n += PutVarint(buf + n, scratch[k] - prev);
        prev = scratch[k];
        if (n > sizeof buf - 5) {
          Append(t, buf, n);
          n = 0;
        }
      }
      Append(t, buf, n);
    }
    t.last_doc = number_;
    ++t.docs;
    in_doc[id] = 0;
    from = to;
  }
  if (token_counts_.size() < number_) token_counts_.resize(number_, 0);
  token_counts_[number_ - 1] = static_cast<uint32_t>(doc_.size());
}

void PositionsCollector::Spill() {
  if (tokens_.empty()) return;
  if (!spill_) {
    spill_ = std::make_unique<SpillWriter>();
    spilled_ = true;
    if (!spill_->Open(spill_path_)) return Drop();
  }
  // Byte order of the tokens: by their first eight bytes, then by the rest.
  // (The order's room is kept from run to run: fresh memory costs a fault a page.)
  KeyedIds& order = order_;
  order.resize(tokens_.size());
  for (uint32_t id = 0; id < tokens_.size(); ++id) {
    const Token& t = tokens_[id];
    order[id] = {TokenPrefixKey(std::string_view(&texts_[t.text], t.len)), id};
  }
  SortByKey(&order, &sort_room_);
  // Tokens of the same first eight bytes, by the rest.
  for (size_t i = 0; i < order.size();) {
    size_t j = i + 1;
    while (j < order.size() && order[j].first == order[i].first) ++j;
    if (j - i > 1) {
      std::sort(order.begin() + i, order.begin() + j, [this](const auto& a, const auto& b) {
        const Token& x = tokens_[a.second];
        const Token& y = tokens_[b.second];
        return std::string_view(&texts_[x.text], x.len) < std::string_view(&texts_[y.text], y.len);
      });
    }
    i = j;
  }
  // A token twice in a run (a word's text also given as a text) would be two records of
  // one token: such positions are not to be trusted.
  for (size_t i = 1; i < order.size(); ++i) {
    if (order[i].first != order[i - 1].first) continue;
    const Token& x = tokens_[order[i - 1].second];
    const Token& y = tokens_[order[i].second];
    if (std::string_view(&texts_[x.text], x.len) == std::string_view(&texts_[y.text], y.len)) {
      return Drop();
    }
  }
  uint64_t begin = spill_->at();
  uint32_t run = static_cast<uint32_t>(runs_.size());
  size_t run_marks = marks_.size();
  // The tokens' texts and chains lie in the order they were met: fetched a few ahead.
  constexpr size_t kSpillAhead = 8;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i + kSpillAhead < order.size()) {
      const Token& ahead = tokens_[order[i + kSpillAhead].second];
      __builtin_prefetch(&texts_[ahead.text]);
      if (ahead.end != 0) __builtin_prefetch(At(ahead.head));
    }
    const Token& t = tokens_[order[i].second];
    if (t.docs == 0) continue;  // met only in a document that failed
    if (marks_.size() == run_marks || spill_->at() - marks_.back().at >= kRunMarkBytes) {
      if (marks_.size() > run_marks) marks_.back().bytes = spill_->at() - marks_.back().at;
      marks_.push_back(PositionsRunMark{run, spill_->at(), 0, std::string(&texts_[t.text], t.len)});
    }
    spill_->Varint(t.len);
    spill_->Put(&texts_[t.text], t.len);
    spill_->Varint(t.docs);
    spill_->Varint(t.bytes);
    Chain(*this, t).CopyTo(spill_.get(), t.bytes);
  }
  if (!spill_->ok()) return Drop();
  if (marks_.size() > run_marks) marks_.back().bytes = spill_->at() - marks_.back().at;
  runs_.push_back(PositionsRun{begin, spill_->at()});
  // The words' entries name no token of the next run.
  for (const Token& t : tokens_) {
    if (t.word != 0) by_word_[t.word - 1] = kNoToken;
  }
  // The next run starts afresh, in the memory this one had: the room that the budget
  // holds is kept (the runs of a part are much alike), what grew past it (for a large
  // document) is given back, and the slots past twice what this run needed.
  size_t slots = 4096;
  while (slots < looked_up_ * 4) slots *= 2;
  if (slots_.size() > slots * 2) {
    decltype(slots_)(slots, 0).swap(slots_);
  } else {
    std::fill(slots_.begin(), slots_.end(), 0);
  }
  const size_t kept = RunTokens();
  if (tokens_.capacity() > kept) {
    decltype(tokens_)().swap(tokens_);
    decltype(in_doc_)().swap(in_doc_);
  }
  if (order_.capacity() > kept) {
    KeyedIds().swap(order_);
    KeyedIds().swap(sort_room_);
  }
  if (texts_.capacity() > kept * kMeanTokenText) decltype(texts_)().swap(texts_);
  tokens_.clear();
  in_doc_.clear();
  texts_.clear();
  looked_up_ = 0;
  blocks_used_ = 0;
  block_used_ = kBlockSize;
}

void PositionsCollector::Finish() {
  if (failed_) return;
  open_ = false;
  try {
    Spill();
  } catch (const std::bad_alloc&) {
    return Drop();
  }
  if (failed_) return;
  bool closed = !spill_ || spill_->Close();
  spill_.reset();
  FreeRunTables();
  std::vector<char>().swap(pending_text_);
  if (!closed) Drop();
}

PositionsRunReader::PositionsRunReader(const platform::File* file, PositionsRun run,
                                       size_t buffer_bytes)
    : file_(file),
      next_(run.begin),
      end_(run.end),
      buf_(std::max<size_t>(buffer_bytes, 64) + kRunReadSlack) {}

bool PositionsRunReader::Refill() {
  size_t want = static_cast<size_t>(std::min<uint64_t>(buf_.size() - kRunReadSlack, end_ - next_));
  if (want == 0 || !file_->ReadAt(next_, buf_.data(), want)) {
    error_ = true;
    return false;
  }
  next_ += want;
  at_ = 0;
  len_ = want;
  return true;
}

bool PositionsRunReader::Byte(unsigned char* b) {
  if (at_ == len_ && !Refill()) return false;
  *b = buf_[at_++];
  return true;
}

bool PositionsRunReader::Varint(uint64_t* v) {
  if (len_ - at_ >= 10 && left_ >= 10) {  // the common case: the whole varint is held
    const unsigned char* p = &buf_[at_];
    if (!GetVarint(&p, p + 10, v)) return error_ = true, false;
    size_t used = static_cast<size_t>(p - &buf_[at_]);
    at_ += used;
    left_ -= used;
    return true;
  }
  uint64_t r = 0;
  for (unsigned shift = 0; shift < 64; shift += 7) {
    unsigned char b;
    if (left_ == 0 || !Byte(&b)) {
      error_ = true;
      return false;
    }
    --left_;
    r |= uint64_t{b & 0x7Fu} << shift;
    if (b < 0x80) {
      *v = r;
      return true;
    }
  }
  error_ = true;
  return false;
}

bool PositionsRunReader::Piece(uint64_t n, const unsigned char** p, size_t* got) {
  if (n > left_) return error_ = true, false;
  if (at_ == len_ && !Refill()) return false;
  *got = static_cast<size_t>(std::min<uint64_t>(n, len_ - at_));
  *p = &buf_[at_];
  at_ += *got;
  left_ -= *got;
  return true;
}

bool PositionsRunReader::SkipRest() {
  // What the buffer holds is passed over there, the rest by reading on after it.
  uint64_t held = len_ - at_;
  if (left_ <= held) {
    at_ += static_cast<size_t>(left_);
  } else {
    if (left_ - held > end_ - next_) return error_ = true, false;
    next_ += left_ - held;
    at_ = len_;
  }
  left_ = 0;
  return true;
}

bool PositionsRunReader::NextToken() {
  if (error_ || !SkipRest()) return false;
  if (at_ == len_ && next_ == end_) return false;  // the end of the run
  uint64_t len = 0, docs = 0, bytes = 0;
  // Mostly the whole head of the record is in the buffer: read there.
  constexpr size_t kLongestHead = 10 + kPositionsKeyBytes + 20;
  if (len_ - at_ >= kLongestHead) {
    const unsigned char* p = &buf_[at_];
    const unsigned char* end = p + kLongestHead;
    if (!GetVarint(&p, end, &len) || len > kPositionsKeyBytes) return error_ = true, false;
    std::memcpy(token_, p, static_cast<size_t>(len));
    token_len_ = static_cast<size_t>(len);
    p += len;
    if (!GetVarint(&p, end, &docs) || !GetVarint(&p, end, &bytes)) return error_ = true, false;
    at_ = static_cast<size_t>(p - buf_.data());
    docs_ = static_cast<uint32_t>(docs);
    left_ = bytes;
    return true;
  }
  left_ = 10;
  if (!Varint(&len) || len > kPositionsKeyBytes) return error_ = true, false;
  token_len_ = static_cast<size_t>(len);
  for (size_t i = 0; i < token_len_; ++i) {
    unsigned char b;
    if (!Byte(&b)) return false;
    token_[i] = static_cast<char>(b);
  }
  left_ = 20;
  if (!Varint(&docs) || !Varint(&bytes)) return false;
  docs_ = static_cast<uint32_t>(docs);
  left_ = bytes;
  return true;
}

}  // namespace norvel
