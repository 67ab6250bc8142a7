// Cutting text into tokens (maximal runs of word characters) across read blocks: the part
// of a token at the end of one block waits as the pending word for the next block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "index/word_rules.h"

namespace norvel {

// Bit k of *word set when p[k] is a word character, of *high when p[k] is 0x80 or above,
// for k below len (at most 64). Sixteen bytes a step where SSE2 is there (64-bit builds);
// elsewhere a table look-up per byte, which gives the same bits.
inline void CharMasks(const char* p, size_t len, uint64_t* word, uint64_t* high) {
#if defined(__SSE2__)
  if (len == 64) {
    // Digits, letters of either case, '-' and '_'. Unsigned range checks are signed
    // compares of the bytes moved down by the range's start and 0x80.
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    auto in_range = [flip](__m128i v, char lo, int count) {
      __m128i moved = _mm_xor_si128(_mm_sub_epi8(v, _mm_set1_epi8(lo)), flip);
      return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(count - 128)));
    };
    uint64_t w_bits = 0, h_bits = 0;
    for (int part = 0; part < 4; ++part) {
      __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
      __m128i lower = _mm_or_si128(c, _mm_set1_epi8(0x20));
      __m128i w = _mm_or_si128(in_range(c, '0', 10), in_range(lower, 'a', 26));
      w = _mm_or_si128(w, _mm_cmpeq_epi8(c, _mm_set1_epi8('-')));
      w = _mm_or_si128(w, _mm_cmpeq_epi8(c, _mm_set1_epi8('_')));
      w_bits |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(w))} << (16 * part);
      h_bits |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(c))} << (16 * part);
    }
    *word = w_bits;
    *high = h_bits;
    return;
  }
#endif
  uint64_t w_bits = 0, h_bits = 0;
  for (size_t k = 0; k < len; ++k) {
    unsigned char b = static_cast<unsigned char>(p[k]);
    w_bits |= uint64_t{kWordCharTable[b]} << k;
    h_bits |= static_cast<uint64_t>(b >> 7) << k;
  }
  *word = w_bits;
  *high = h_bits;
}

// Bit k set when p[k] is a word character, for k below len (at most 64).
inline uint64_t WordCharMask(const char* p, size_t len) {
  uint64_t word, high;
  CharMasks(p, len, &word, &high);
  return word;
}

class TokenScanner {
 public:
  // sep_offset of a token ended by the end of the text.
  static constexpr size_t kEndOfText = static_cast<size_t>(-1);

  // Feeds one block. For every token completed in it, calls
  //   bool on_token(const char* text, size_t len, size_t sep_offset)
  // where sep_offset is the offset in this block of the separator that ended the token.
  // Only the first kMaxWordLength + 1 characters of text are valid when len is larger.
  // A false return stops the scan; Feed then returns false.
  template <typename OnToken>
  bool Feed(const char* block, size_t n, OnToken&& on_token);

  // Ends the text: a pending token is handled with sep_offset kEndOfText.
  template <typename OnToken>
  bool Finish(OnToken&& on_token);

  void Reset() { pending_len_ = 0; }

 private:
  static constexpr size_t kKeep = kMaxWordLength + 1;
  void Append(const char* s, size_t n) {
    if (pending_len_ < kKeep) {
      size_t room = kKeep - pending_len_;
      std::memcpy(pending_ + pending_len_, s, n < room ? n : room);
    }
    pending_len_ += n;
  }

  // Zeroed slack after the kept characters, for readers of whole eight-byte chunks.
  char pending_[kKeep + kTokenSlack] = {};
  size_t pending_len_ = 0;
};

template <typename OnToken>
bool TokenScanner::Feed(const char* block, size_t n, OnToken&& on_token) {
  size_t i = 0;
  if (pending_len_ > 0) {
    while (i < n && IsWordByte(block[i])) ++i;
    Append(block, i);
    if (i == n) return true;  // the token runs on into the next block
    size_t len = pending_len_;
    pending_len_ = 0;
    if (!on_token(static_cast<const char*>(pending_), len, i)) return false;
  }
  // The word characters of 64 bytes at a time become the bits of a mask, so finding the
  // token boundaries costs a few bit operations per token instead of a branch per byte.
  bool in_token = false;
  size_t start = 0;
  for (size_t base = i; base < n; base += 64) {
    size_t len = n - base < 64 ? n - base : 64;
    uint64_t word = WordCharMask(block + base, len);
    uint64_t separators = ~word & (len == 64 ? ~uint64_t{0} : (uint64_t{1} << len) - 1);
    unsigned pos = 0;
    for (;;) {
      if (!in_token) {
        uint64_t starts = word >> pos;
        if (starts == 0) break;
        pos += static_cast<unsigned>(__builtin_ctzll(starts));
        start = base + pos;
        in_token = true;
      }
      uint64_t ends = separators >> pos;
      if (ends == 0) break;  // the token goes on in the next 64 bytes
      pos += static_cast<unsigned>(__builtin_ctzll(ends));
      in_token = false;
      if (!on_token(block + start, base + pos - start, base + pos)) return false;
    }
  }
  if (in_token) Append(block + start, n - start);
  return true;
}

template <typename OnToken>
bool TokenScanner::Finish(OnToken&& on_token) {
  if (pending_len_ == 0) return true;
  size_t len = pending_len_;
  pending_len_ = 0;
  return on_token(static_cast<const char*>(pending_), len, kEndOfText);
}

}  // namespace norvel
