// Collecting one build part's token positions in memory.
//
// Each token keeps a chain of slices (16 bytes, doubling to 2 KB; the last four bytes of
// a slice give the next one's address) holding, per document: the number's distance from
// the token's previous document (the first from 0), the occurrences, and the positions
// (the first as it is, then the gaps) -- all varints, as the positions file codes them.
#include "index/positions_collector.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "index/positions_format.h"
#include "index/word_hash.h"
#include "index/word_rules.h"

namespace norvel {

namespace {

constexpr unsigned kBlockBits = 20;
constexpr size_t kBlockSize = size_t{1} << kBlockBits;
constexpr uint32_t SliceSize(unsigned level) {
  return 16u << (level < 7 ? level : 7);
}

}  // namespace

PositionsCollector::PositionsCollector() : slots_(1024, 0), block_used_(kBlockSize) {}
PositionsCollector::~PositionsCollector() = default;

unsigned char* PositionsCollector::At(uint32_t address) {
  return blocks_[address >> kBlockBits].get() + (address & (kBlockSize - 1));
}
const unsigned char* PositionsCollector::At(uint32_t address) const {
  return blocks_[address >> kBlockBits].get() + (address & (kBlockSize - 1));
}

PositionsCollector::Chain::Chain(const PositionsCollector& c, uint32_t id) : c_(c) {
  const Token& t = c.tokens_[id];
  pos_ = c.At(t.head);
  end_ = pos_ + SliceSize(0) - 4;  // the decoding stops at the token's last document
}

void PositionsCollector::Chain::NextSlice() {
  uint32_t next = GetLE32(end_);
  ++level_;
  pos_ = c_.At(next);
  end_ = pos_ + SliceSize(level_) - 4;
}

size_t PositionsCollector::bytes_held() const {
  return blocks_.size() * kBlockSize + tokens_.capacity() * sizeof(Token) + texts_.capacity() +
         slots_.capacity() * 4 + token_counts_.capacity() * 4;
}

uint32_t PositionsCollector::NewSlice(unsigned level) {
  uint32_t size = SliceSize(level);
  if (block_used_ + size > kBlockSize) {
    // Addresses are 32-bit: one part holds at most 4 GB of coded positions.
    if (blocks_.size() >= (size_t{1} << (32 - kBlockBits))) throw std::bad_alloc();
    blocks_.emplace_back(new unsigned char[kBlockSize]);
    block_used_ = 0;
  }
  uint32_t at = static_cast<uint32_t>(((blocks_.size() - 1) << kBlockBits) + block_used_);
  block_used_ += size;
  return at;
}

void PositionsCollector::Append(Token& t, const unsigned char* p, size_t n) {
  while (n > 0) {
    if (t.tail == t.end) {
      bool next = t.end != 0;
      uint32_t slice = NewSlice(next ? t.level + 1 : 0);
      if (next) {
        ++t.level;
        unsigned char link[4];
        PutLE32(link, slice);
        std::memcpy(At(t.end), link, 4);
      } else {
        t.head = slice;
      }
      t.tail = slice;
      t.end = slice + SliceSize(t.level) - 4;
    }
    size_t room = std::min<size_t>(n, t.end - t.tail);
    std::memcpy(At(t.tail), p, room);
    t.tail += static_cast<uint32_t>(room);
    p += room;
    n -= room;
  }
}

void PositionsCollector::BeginDocument(uint32_t number) {
  if (failed_) return;
  number_ = number;
  open_ = true;
  doc_.clear();
}

void PositionsCollector::Drop() {
  failed_ = true;
  open_ = false;
  std::vector<Token>().swap(tokens_);
  std::vector<char>().swap(texts_);
  std::vector<uint32_t>().swap(slots_);
  std::vector<std::unique_ptr<unsigned char[]>>().swap(blocks_);
  std::vector<uint32_t>().swap(doc_);
  std::vector<uint32_t>().swap(touched_);
  std::vector<uint32_t>().swap(scratch_);
  std::vector<uint32_t>().swap(token_counts_);
}

void PositionsCollector::AddRaw(const char* text, size_t len) {
  if (!open_) return;
  if (len > kPositionsKeyBytes) len = kPositionsKeyBytes;
  char folded[kPositionsKeyBytes + 8];
  for (size_t i = 0; i < len; ++i) folded[i] = FoldChar(text[i]);
  try {
    Add(folded, len, WordKey(folded, len));
  } catch (const std::bad_alloc&) {
    Drop();
  }
}

void PositionsCollector::AddFolded(const char* text, size_t len) {
  if (!open_) return;
  if (len > kPositionsKeyBytes) len = kPositionsKeyBytes;
  try {
    Add(text, len, WordKey(text, len));
  } catch (const std::bad_alloc&) {
    Drop();
  }
}

void PositionsCollector::Add(const char* folded, size_t len, uint32_t hash) {
  size_t mask = slots_.size() - 1;
  size_t slot = (hash * 2654435761u) & mask;
  for (;;) {
    uint32_t s = slots_[slot];
    if (s == 0) break;
    const Token& t = tokens_[s - 1];
    if (t.hash == hash && t.len == len && std::memcmp(&texts_[t.text], folded, len) == 0) {
      doc_.push_back(s - 1);
      return;
    }
    slot = (slot + 1) & mask;
  }
  doc_.push_back(NewToken(folded, len, hash, slot));
}

uint32_t PositionsCollector::NewToken(const char* folded, size_t len, uint32_t hash, size_t slot) {
  if (tokens_.size() >= 0x7FFFFFFEu) throw std::bad_alloc();
  uint32_t id = static_cast<uint32_t>(tokens_.size());
  Token t;
  t.text = static_cast<uint32_t>(texts_.size());
  if (texts_.size() + len > 0xFFFFFFFFu) throw std::bad_alloc();
  t.hash = hash;
  t.len = static_cast<uint32_t>(len);
  texts_.insert(texts_.end(), folded, folded + len);
  tokens_.push_back(t);
  slots_[slot] = id + 1;
  if (tokens_.size() * 2 > slots_.size()) Grow();
  return id;
}

void PositionsCollector::Grow() {
  std::vector<uint32_t> slots(slots_.size() * 2, 0);
  size_t mask = slots.size() - 1;
  for (uint32_t id = 0; id < tokens_.size(); ++id) {
    size_t slot = (tokens_[id].hash * 2654435761u) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = id + 1;
  }
  slots_.swap(slots);
}

void PositionsCollector::EndDocument() {
  if (!open_) return;
  open_ = false;
  try {
    Encode();
  } catch (const std::bad_alloc&) {
    Drop();
  }
}

void PositionsCollector::Encode() {
  // Positions grouped by token with two passes over the document: counts, then places.
  touched_.clear();
  for (uint32_t id : doc_) {
    if (tokens_[id].in_doc++ == 0) touched_.push_back(id);
  }
  uint32_t at = 0;
  for (uint32_t id : touched_) {
    uint32_t n = tokens_[id].in_doc;
    tokens_[id].in_doc = at;
    at += n;
  }
  scratch_.resize(doc_.size());
  for (uint32_t pos = 0; pos < doc_.size(); ++pos) scratch_[tokens_[doc_[pos]].in_doc++] = pos;
  unsigned char buf[64];
  uint32_t from = 0;
  for (uint32_t id : touched_) {
    Token& t = tokens_[id];
    uint32_t to = t.in_doc;
    size_t n = PutVarint(buf, number_ - t.last_doc);
    n += PutVarint(buf + n, to - from);
    uint32_t prev = 0;
    for (uint32_t k = from; k < to; ++k) {
      n += PutVarint(buf + n, scratch_[k] - prev);
      prev = scratch_[k];
      if (n > sizeof(buf) - 10) {
        Append(t, buf, n);
        n = 0;
      }
    }
    Append(t, buf, n);
    t.last_doc = number_;
    ++t.docs;
    t.in_doc = 0;
    from = to;
  }
  if (token_counts_.size() < number_) token_counts_.resize(number_, 0);
  token_counts_[number_ - 1] = static_cast<uint32_t>(doc_.size());
}

std::vector<uint32_t> PositionsCollector::SortedTokens() const {
  std::vector<uint32_t> ids(tokens_.size());
  for (uint32_t i = 0; i < ids.size(); ++i) ids[i] = i;
  std::sort(ids.begin(), ids.end(), [this](uint32_t a, uint32_t b) { return Text(a) < Text(b); });
  return ids;
}

}  // namespace norvel
