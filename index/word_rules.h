// The word rules: which bytes make words, which tokens become words (a letter first, at
// most 254 characters), and how a word is folded to the form the index stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "index/word_hash.h"

namespace norvel {

constexpr size_t kMaxWordLength = 254;  // a token of 255 characters or more is dropped

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

// True when the token is not empty and begins with A-Z or a-z.
inline bool startsWithLetter(const char* token, size_t len) {
  return len > 0 && static_cast<unsigned char>((token[0] | 0x20) - 'a') < 26;
}
inline bool startsWithLetter(std::string_view token) {
  return startsWithLetter(token.data(), token.size());
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

}  // namespace norvel
