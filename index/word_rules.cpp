// The word characters and the folding of words.
#include "index/word_rules.h"

#include <string>

namespace norvel {

#define W1(c)                                                                                \
  (((c) >= '0' && (c) <= '9') || ((c) >= 'A' && (c) <= 'Z') || ((c) >= 'a' && (c) <= 'z') || \
   (c) == '-' || (c) == '_')
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

}  // namespace norvel
