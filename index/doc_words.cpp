// Reading one document into its distinct words.
#include "index/doc_words.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "index/tokenizer.h"
#include "platform/file.h"

namespace norvel {

namespace {

constexpr size_t kReadBlock = 64 * 1024;
constexpr size_t kRecordHead = 6;  // u32 key, u8 length, u8 repeat_follows

uint32_t RecordKey(const DocumentWords& doc, uint32_t at) {
  uint32_t h;
  std::memcpy(&h, &doc.records[at], 4);
  return h;
}

}  // namespace

// Sizes the set of seen words for a new document: small documents keep to a few slots
// that stay in the cache, whatever size an earlier large document needed.
void DocumentWordReader::Start(uint64_t file_size) {
  size_t capacity = 256;
  // Small documents get a few slots that stay in the cache; the set grows as needed.
  while (capacity < file_size / 32 && capacity < (size_t{1} << 20)) capacity *= 2;
  SetCapacity(capacity);
  in_use_ = 0;
}

// Uses the first `capacity` slots, emptied: small documents keep to a few slots that stay
// in the cache, whatever size an earlier large document needed.
void DocumentWordReader::SetCapacity(size_t capacity) {
  if (seen_.size() < capacity) seen_.resize(capacity);
  std::fill(seen_.begin(), seen_.begin() + static_cast<long>(capacity), Seen{0, 0, 0});
  capacity_ = capacity;
  shift_ = 32;
  while ((size_t{1} << (32 - shift_)) < capacity) --shift_;
}

// Doubles the set and enters the document's words again.
void DocumentWordReader::Grow(const DocumentWords& doc) {
  SetCapacity(capacity_ * 2);
  size_t mask = capacity_ - 1;
  for (size_t at = 0; at < doc.records.size();) {
    uint32_t key = RecordKey(doc, static_cast<uint32_t>(at));
    size_t s = SlotOf(key);
    while (seen_[s].record != 0) s = (s + 1) & mask;
    uint64_t prefix = 0;
    std::memcpy(&prefix, &doc.records[at + kRecordHead],
                std::min<size_t>(8, static_cast<unsigned char>(doc.records[at + 4])));
    seen_[s] = Seen{key, static_cast<uint32_t>(at) + 1, prefix};
    at += kRecordHead + static_cast<unsigned char>(doc.records[at + 4]);
  }
}

// Adds the word as a new record unless the document had it; a repeat marks the latest
// record. False only when the word was met before.
bool DocumentWordReader::Remember(uint32_t key, const char* folded, size_t len,
                                  DocumentWords* out) {
  if ((in_use_ + 1) * 2 > capacity_) Grow(*out);
  size_t mask = capacity_ - 1;
  size_t s = SlotOf(key);
  // Words hold no NUL: the first eight bytes, zero-padded, settle most comparisons.
  uint64_t prefix;
  std::memcpy(&prefix, folded, 8);
  for (; seen_[s].record != 0; s = (s + 1) & mask) {
    const Seen& seen = seen_[s];
    if (seen.key != key || seen.prefix != prefix) continue;
    const char* rec = &out->records[seen.record - 1];
    if (static_cast<unsigned char>(rec[4]) == len &&
        (len <= 8 || std::memcmp(rec + kRecordHead + 8, folded + 8, len - 8) == 0)) {
      return false;
    }
  }
  uint32_t at = static_cast<uint32_t>(out->records.size());
  char head[kRecordHead];
  std::memcpy(head, &key, 4);
  head[4] = static_cast<char>(len);
  head[5] = 0;
  out->records.resize(at + kRecordHead + len);
  std::memcpy(&out->records[at], head, kRecordHead);
  std::memcpy(&out->records[at + kRecordHead], folded, len);
  seen_[s] = Seen{key, at + 1, prefix};
  ++in_use_;
  ++out->count;
  return true;
}

void DocumentWordReader::Read(const std::string& path, const WordTable* exclusions,
                              DocumentWords* out) {
  out->Clear();
  platform::FileStatus st;
  if (!platform::GetFileStatus(path, &st)) return;
  out->stat_ok = true;
  out->size = st.size;
  if (st.size == 0) return;
  platform::File file;
  if (!file.Open(path, "rb")) {
    out->status = DocumentWords::Status::kCannotOpen;
    return;
  }
  Start(st.size);
  const bool excluding = exclusions && exclusions->present();
  size_t last_record = 0;
  auto on_token = [&](const char* token, size_t len, size_t) {
    char folded[kMaxWordLength + kTokenSlack];
    uint32_t key;
    if (!FoldToken(token, len, folded, &key)) return true;
    if (excluding && exclusions->Find(folded, len, key) >= 0) return true;
    size_t at = out->records.size();
    if (Remember(key, folded, len, out)) {
      last_record = at;
    } else {
      out->records[last_record + 5] = 1;  // the repeat follows the latest new word
    }
    return true;
  };
  try {
    if (block_.empty()) block_.resize(kReadBlock + kTokenSlack, 0);
    TokenScanner scanner;
    for (;;) {
      size_t got = file.Read(block_.data(), kReadBlock);
      if (got == 0) {
        if (file.Error()) {
          out->status = DocumentWords::Status::kReadError;
          return;
        }
        break;
      }
      // Text mode ends the text at byte 0x1A; CR LF and LF both only separate words.
      const void* eot = std::memchr(block_.data(), 0x1A, got);
      if (eot) got = static_cast<size_t>(static_cast<const char*>(eot) - block_.data());
      scanner.Feed(block_.data(), got, on_token);
      if (eot) break;
    }
    scanner.Finish(on_token);
  } catch (const std::bad_alloc&) {
    out->status = DocumentWords::Status::kNoMemory;
  }
}

}  // namespace norvel
