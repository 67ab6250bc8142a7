// What the positions file's writer and reader share: its constants, the varint and
// little-endian codings, the tokens' prefix keys, the block check and the fingerprint of
// the index files.
// The layout itself is written down in index/positions.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace norvel {

struct InMemoryIndex;

constexpr char kPositionsMagic[8] = {'N', 'V', 'P', 'O', 'S', 'I', 'T', 'S'};
constexpr uint32_t kPositionsVersion = 2;
constexpr uint32_t kPositionsVersionWithoutBounds = 1;  // read too: its blocks carry no bounds
constexpr size_t kPositionsHeaderSize = 128;
constexpr uint32_t kDocsPerBlock = 128;       // documents of a token per skip entry
constexpr uint32_t kMaxBlockBounds = 8;       // (occurrences, tokens) pairs per skip entry
constexpr uint32_t kTokensPerDictBlock = 64;  // tokens per dictionary block
constexpr uint32_t kCountsPerChunk = 1024;    // document token counts per checked chunk
// A token is kept by its first kPositionsKeyBytes folded bytes (kMaxWordLength + 1).
constexpr size_t kPositionsKeyBytes = 255;

inline void PutLE32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void PutLE64(unsigned char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline uint32_t GetLE32(const unsigned char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
inline uint64_t GetLE64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// Appends v as a varint (7 bits a byte, low first, high bit: more follows); returns the
// bytes written (at most 10).
inline size_t PutVarint(unsigned char* p, uint64_t v) {
  size_t n = 0;
  while (v >= 0x80) {
    p[n++] = static_cast<unsigned char>(v | 0x80);
    v >>= 7;
  }
  p[n++] = static_cast<unsigned char>(v);
  return n;
}

// The bytes PutVarint writes for v.
inline size_t VarintBytes(uint32_t v) {
  return v < (1u << 7) ? 1 : v < (1u << 14) ? 2 : v < (1u << 21) ? 3 : v < (1u << 28) ? 4 : 5;
}

// A token's first eight bytes as a number, zeros after a shorter one: where the keys of
// two tokens differ, they are in the tokens' byte order (where they are equal, the tokens
// must be compared).
inline uint64_t TokenPrefixKey(std::string_view token) {
  unsigned char b[8] = {};
  std::memcpy(b, token.data(), token.size() < 8 ? token.size() : 8);
  uint64_t key = 0;
  for (size_t i = 0; i < 8; ++i) key = key << 8 | b[i];
  return key;
}

// Reads a varint of at most 10 bytes from [*p, end); false when it runs past end or is
// longer.
inline bool GetVarint(const unsigned char** p, const unsigned char* end, uint64_t* v) {
  uint64_t r = 0;
  const unsigned char* q = *p;
  for (unsigned shift = 0; shift < 70; shift += 7) {
    if (q == end) return false;
    unsigned char b = *q++;
    r |= uint64_t{b & 0x7Fu} << shift;
    if (b < 0x80) {
      *p = q;
      *v = r;
      return true;
    }
  }
  return false;
}
// Passes over n varints: a varint ends at each byte below 0x80, so whole words of bytes
// are counted at a time. False when fewer than n end before `end`.
inline bool SkipVarints(const unsigned char** p, const unsigned char* end, uint64_t n) {
  const unsigned char* q = *p;
  while (n >= 8 && end - q >= 8) {
    uint64_t w;
    std::memcpy(&w, q, 8);
    // The bytes' top bits, each moved to the bottom of its byte, added up by a multiply.
    uint64_t ends = (((~w & 0x8080808080808080ull) >> 7) * 0x0101010101010101ull) >> 56;
    if (ends >= n) break;  // the last of them ends within these 8 bytes
    n -= ends;
    q += 8;
  }
  for (; n > 0; --n) {
    while (q != end && *q >= 0x80) ++q;
    if (q == end) return false;
    ++q;
  }
  *p = q;
  return true;
}

inline bool GetVarint32(const unsigned char** p, const unsigned char* end, uint32_t* v) {
  uint64_t w;
  if (!GetVarint(p, end, &w) || w > 0xFFFFFFFFu) return false;
  *v = static_cast<uint32_t>(w);
  return true;
}

// The check of a run of bytes, taken as they come: two running sums, so that a changed,
// moved or lost byte changes it.
class BlockCheck {
 public:
  void Add(const unsigned char* p, size_t n) {
    uint64_t a = a_, b = b_;
    size_t i = 0;
    // 16 bytes x0..x15 (each byte + 1) at a time, which the compiler can do side by side:
    // they add sum(x) to a and 16 a + sum((16 - j) xj) to b, as one by one.
    for (; i + 16 <= n; i += 16) {
      uint32_t sum = 0, weighed = 0;
      for (uint32_t j = 0; j < 16; ++j) {
        uint32_t x = p[i + j] + 1u;
        sum += x;
        weighed += (16 - j) * x;
      }
      b += 16 * a + weighed;
      a += sum;
    }
    for (; i < n; ++i) {
      a += p[i] + 1;
      b += a;
    }
    a_ = a;
    b_ = b;
  }
  uint32_t Value() const {
    uint64_t x = a_ * 0x9E3779B97F4A7C15ull ^ b_ * 0xC2B2AE3D27D4EB4Full;
    return static_cast<uint32_t>(x ^ (x >> 29) ^ (x >> 47));
  }

 private:
  uint64_t a_ = 1, b_ = 0;
};
inline uint32_t CheckOf(const unsigned char* p, size_t n) {
  BlockCheck c;
  c.Add(p, n);
  return c.Value();
}

// The fingerprint of the four index files a positions file belongs to: the statistics'
// two counts, every word record (text and posting offset) in the words file's order, and
// the sizes of the postings file and of every file list.
class FingerprintHash {
 public:
  FingerprintHash() = default;
  // Goes on from the Value() of a hash that took the first part of the bytes.
  explicit FingerprintHash(uint64_t state) : h_(state) {}
  void Bytes(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) h_ = (h_ ^ b[i]) * 0x100000001B3ull;
  }
  void Number(uint64_t v) {
    unsigned char b[8];
    PutLE64(b, v);
    Bytes(b, 8);
  }
  void Word(std::string_view text, uint32_t posting_offset) {
    Number(posting_offset);
    Number(text.size());
    Bytes(text.data(), text.size());
  }
  uint64_t Value() const { return h_; }

 private:
  uint64_t h_ = 0xCBF29CE484222325ull;
};

// The fingerprint of the loaded index of index_dir: its counts and words from memory, the
// sizes from the files. False when a file's size cannot be taken.
bool LoadedIndexFingerprint(const std::string& index_dir, const InMemoryIndex& index,
                            uint64_t* out);
// The same from the files of a new index (the "_new" names) as a build wrote them, with
// the counts its statistics are to hold. False when one cannot be read.
bool NewIndexFingerprint(const std::string& index_dir, uint32_t distinct_words,
                         uint32_t total_files, uint64_t* out);

}  // namespace norvel
