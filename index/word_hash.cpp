// The word hash and its reduction to a bucket.
#include "index/word_hash.h"

#include <cstring>

#include "index/word_rules.h"

namespace norvel {

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

}  // namespace norvel
