// Decoding, classing and folding characters by the international word rules.
#include "index/word_rules_intl.h"

#include <algorithm>
#include <vector>

namespace norvel {

namespace {

// Windows-1252 from 0x80 to 0x9F; the bytes it leaves undefined keep their own number.
const uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t Cp1252(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b;
}

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

size_t EncodeUtf8(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// The class of every code point below 0x10000 (bits 0 and 1) and whether it has a fold
// entry (bit 2), made from the generated tables at first use: text of any script then
// costs one look-up a character instead of two searches.
class BmpTable {
 public:
  BmpTable() : info_(0x10000, 0) {
    for (size_t r = 0; r < kCharClassRangeCount; ++r) {
      const CharClassRange& range = kCharClassRanges[r];
      for (uint32_t cp = range.first; cp <= range.last && cp < 0x10000; ++cp) info_[cp] = range.cls;
    }
    for (size_t e = 0; e < kFoldEntryCount; ++e) {
      if (kFoldEntries[e].cp < 0x10000) info_[kFoldEntries[e].cp] |= kHasFold;
    }
  }
  static constexpr uint8_t kHasFold = 4;
  uint8_t operator[](uint32_t cp) const { return info_[cp]; }

 private:
  std::vector<uint8_t> info_;
};

const BmpTable& Bmp() {
  static const BmpTable table;
  return table;
}

}  // namespace

size_t DecodeChar(const char* text, size_t n, bool at_end, uint32_t* cp) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  unsigned char b = p[0];
  *cp = Cp1252(b);
  if (b < 0x80) return 1;
  size_t need;
  uint32_t value, low;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1, value = b & 0x1F, low = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2, value = b & 0x0F, low = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3, value = b & 0x07, low = 0x10000;
  } else {
    return 1;  // a continuation byte alone, or a lead byte UTF-8 never uses
  }
  for (size_t k = 1; k <= need; ++k) {
    if (k >= n) return at_end ? 1 : 0;  // cut off: wait for more, or take the byte alone
    if (!IsContinuation(p[k])) return 1;
    value = (value << 6) | (p[k] & 0x3F);
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8: known already from
    // the second byte, so that a cut sequence is only waited for when it can be valid.
    if (k == 1) {
      uint32_t floor = value << (6 * (need - 1));
      uint32_t ceiling = floor | ((1u << (6 * (need - 1))) - 1);
      if (ceiling < low || floor > 0x10FFFF || (floor >= 0xD800 && floor <= 0xDFFF)) return 1;
    }
  }
  *cp = value;
  return need + 1;
}

uint8_t IntlCharClass(uint32_t cp) {
  if (cp < 0x10000) return Bmp()[cp] & 3;
  const CharClassRange* end = kCharClassRanges + kCharClassRangeCount;
  const CharClassRange* r = std::upper_bound(
      kCharClassRanges, end, cp, [](uint32_t c, const CharClassRange& x) { return c < x.first; });
  if (r == kCharClassRanges) return 0;
  --r;
  return cp <= r->last ? r->cls : 0;
}

size_t FoldCodePoint(uint32_t cp, char* out) {
  if (cp < 0x10000 && !(Bmp()[cp] & BmpTable::kHasFold)) return EncodeUtf8(cp, out);
  const FoldEntry* end = kFoldEntries + kFoldEntryCount;
  const FoldEntry* e = std::lower_bound(kFoldEntries, end, cp,
                                        [](const FoldEntry& x, uint32_t c) { return x.cp < c; });
  if (e == end || e->cp != cp) return EncodeUtf8(cp, out);
  std::memcpy(out, kFoldText + e->at, e->len);
  return e->len;
}

std::string FoldIntlText(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    uint32_t cp;
    i += DecodeChar(text.data() + i, text.size() - i, true, &cp);
    char folded[kMaxFoldBytes];
    size_t len = IntlCharClass(cp) ? FoldCodePoint(cp, folded) : EncodeUtf8(cp, folded);
    out.append(folded, len);
  }
  return out;
}

}  // namespace norvel
