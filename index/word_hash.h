// The two hashes of a folded word: the word hash, which orders the words file (by bucket),
// and the table's own key hash, which only places a word inside a word table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace norvel {

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

}  // namespace norvel
