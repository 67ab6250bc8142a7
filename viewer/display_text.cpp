// International text shown in the ANSI code page.
#include "viewer/display_text.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "index/word_rules_intl.h"
#include "platform/ansi.h"
#include "platform/path.h"

namespace norvel {

namespace {

// The code page's high bytes by code point, for turning characters back into bytes.
const std::vector<std::pair<uint32_t, unsigned char>>& AnsiBytes() {
  static const std::vector<std::pair<uint32_t, unsigned char>> bytes = [] {
    std::vector<std::pair<uint32_t, unsigned char>> v;
    for (unsigned b = 0x80; b < 0x100; ++b) {
      uint32_t cp = platform::AnsiCodePoint(static_cast<unsigned char>(b));
      if (cp != b || (b >= 0xA0)) v.emplace_back(cp, static_cast<unsigned char>(b));
    }
    std::sort(v.begin(), v.end());
    return v;
  }();
  return bytes;
}

char ToAnsi(uint32_t cp) {
  if (cp < 0x80) return static_cast<char>(cp);
  const auto& bytes = AnsiBytes();
  auto it = std::lower_bound(bytes.begin(), bytes.end(), std::make_pair(cp, (unsigned char)0));
  return (it != bytes.end() && it->first == cp) ? static_cast<char>(it->second) : kUnshownChar;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

void AnsiDisplayConverter::Convert(const char* text, size_t n, bool at_end, std::string* out) {
  std::string joined(carry_, carry_len_);
  joined.append(text ? text : "", n);
  carry_len_ = 0;
  out->clear();
  size_t i = 0;
  while (i < joined.size()) {
    uint32_t cp;
    size_t used = DecodeChar(joined.data() + i, joined.size() - i, at_end, &cp);
    if (used == 0) {
      carry_len_ = joined.size() - i;
      std::memcpy(carry_, joined.data() + i, carry_len_);
      break;
    }
    if (cp == 0xFEFF) {  // a byte-order mark is not shown
      i += used;
      continue;
    }
    out->push_back(ToAnsi(cp));
    i += used;
  }
}

std::string ToAnsiDisplay(std::string_view text) {
  size_t skip = 0;
  while (skip < text.size() && skip < 3 &&
         (static_cast<unsigned char>(text[skip]) & 0xC0) == 0x80) {
    ++skip;
  }
  AnsiDisplayConverter converter;
  std::string out;
  converter.Convert(text.data() + skip, text.size() - skip, true, &out);
  return out;
}

std::string DisplayName(const std::string& name) {
  // Only a name held as UTF-8 is converted: a name in the code page is shown as it is,
  // whatever its bytes would mean as UTF-8.
  if (!platform::HeldAsUtf8(name)) return name;
  return ToAnsiDisplay(std::string(platform::NameBytes(name)));
}

bool IsAnsiWordChar(unsigned char c) {
  return IntlCharClass(platform::AnsiCodePoint(c)) != 0;
}

std::string AnsiWordToUtf8(std::string_view word) {
  std::string out;
  for (char c : word) AppendUtf8(platform::AnsiCodePoint(static_cast<unsigned char>(c)), &out);
  return out;
}

}  // namespace norvel
