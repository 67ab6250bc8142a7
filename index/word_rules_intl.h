// The international word rules: text read as UTF-8 where it is valid and as Windows-1252
// where it is not, letters of any script, case and accents folded, words stored as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "index/tokenizer.h"
#include "index/unicode_tables.h"
#include "index/word_rules.h"

namespace norvel {

// Which rules an index's words were made with. kAscii is the rule of an index without a
// recorded choice.
enum class WordRules : uint8_t { kAscii, kInternational };

// Reads one character at p (n > 0 bytes there): a valid UTF-8 sequence gives its code
// point, any other byte its Windows-1252 character (the five bytes that code page leaves
// undefined stand for the control characters of the same number). Returns the bytes used,
// or 0 when p holds the valid beginning of a sequence that n cuts off and more text may
// follow (at_end false).
size_t DecodeChar(const char* p, size_t n, bool at_end, uint32_t* cp);

// kCharLetter, kCharJoiner or 0 (a separator).
uint8_t IntlCharClass(uint32_t cp);

// The most bytes one code point folds to.
constexpr size_t kMaxFoldBytes = 12;
// Writes the folded form of cp (UTF-8, 0 to kMaxFoldBytes bytes) to out; returns its length.
size_t FoldCodePoint(uint32_t cp, char* out);

// Folds every character of text (decoded as above) and returns the UTF-8 result: the form
// a query word is looked up in. Characters that are no letters stay, as UTF-8.
std::string FoldIntlText(std::string_view text);

// Cuts text into the words of the international rules across read blocks, delivering
// each word folded. A character cut by the end of a block waits for the next block.
class IntlTokenScanner {
 public:
  static constexpr size_t kEndOfText = static_cast<size_t>(-1);

  // every_token: deliver every run of word characters, whatever its first character or
  // length (only the first kMaxWordLength + 1 folded bytes are then valid); otherwise only
  // words (a letter first, at most kMaxWordLength bytes folded).
  explicit IntlTokenScanner(bool every_token = false) : every_token_(every_token) {}

  // Feeds one block. For every word completed in it, calls
  //   bool on_token(const char* folded, size_t len, size_t sep_offset)
  // where sep_offset is the offset in this block of the separator that ended the word
  // (0 when that separator began in the block before). A false return stops the scan;
  // Feed then returns false.
  template <typename OnToken>
  bool Feed(const char* block, size_t n, OnToken&& on_token);
  // The same, where a token of ASCII word bytes only, with ASCII bytes (or the block's
  // edges) on both sides, goes unfolded to
  //   bool on_ascii(const char* raw, size_t len, size_t sep_offset)
  // instead, whatever its first character or length: what the ASCII rules make of it is
  // what these rules make of it. Most text is such tokens, cut 64 bytes a step.
  template <typename OnToken, typename OnAscii>
  bool Feed(const char* block, size_t n, OnToken&& on_token, OnAscii&& on_ascii);
  // Ends the text: bytes of a cut character and a pending word are handled.
  template <typename OnToken>
  bool Finish(OnToken&& on_token);

  // In on_token: whether the token delivered begins with a letter (every_token mode).
  bool starts_with_letter() const { return starts_with_letter_; }

  void Reset() {
    carry_len_ = 0;
    in_token_ = false;
    len_ = 0;
  }

 private:
  static constexpr size_t kKeep = kMaxWordLength + 1;

  void Append(const char* s, size_t n) {
    if (len_ < kKeep) std::memcpy(word_ + len_, s, n < kKeep - len_ ? n : kKeep - len_);
    len_ += n;
  }
  void Append(char c) {
    if (len_ < kKeep) word_[len_] = c;
    ++len_;
  }
  // Cuts ASCII tokens from block[i] on, outside a token, to on_ascii; *stop is where a
  // character must be taken one at a time: a byte from 0x80 up outside a token, the start
  // of a token that such a byte or the block's end may continue, or n.
  template <typename OnAscii>
  bool ScanAscii(const char* block, size_t n, size_t i, OnAscii& on_ascii, size_t* stop);
  // The words of an ASCII token, folded as any other.
  template <typename OnToken>
  bool FoldAscii(const char* raw, size_t len, size_t offset, OnToken& on_token);
  // Takes one character of class cls; false when on_token stopped the scan.
  template <typename OnToken>
  bool Take(uint32_t cp, uint8_t cls, size_t offset, OnToken& on_token);
  template <typename OnToken>
  bool Emit(size_t offset, OnToken& on_token) {
    in_token_ = false;
    if (!every_token_ && (!starts_with_letter_ || len_ > kMaxWordLength)) return true;
    return on_token(static_cast<const char*>(word_), len_, offset);
  }

  bool every_token_;
  char carry_[4] = {};
  size_t carry_len_ = 0;
  bool in_token_ = false;
  bool starts_with_letter_ = false;
  char word_[kKeep + kMaxFoldBytes + kTokenSlack] = {};
  size_t len_ = 0;
};

template <typename OnToken>
bool IntlTokenScanner::Take(uint32_t cp, uint8_t cls, size_t offset, OnToken& on_token) {
  if (cls == 0) return in_token_ ? Emit(offset, on_token) : true;
  if (!in_token_) {
    in_token_ = true;
    starts_with_letter_ = cls == kCharLetter;
    len_ = 0;
  }
  if (cp < 0x80) {
    Append(FoldChar(static_cast<char>(cp)));
  } else {
    char folded[kMaxFoldBytes];
    Append(folded, FoldCodePoint(cp, folded));
  }
  return true;
}

template <typename OnAscii>
bool IntlTokenScanner::ScanAscii(const char* block, size_t n, size_t i, OnAscii& on_ascii,
                                 size_t* stop) {
  bool in_ascii = false;
  size_t start = 0;
  for (size_t base = i; base < n; base += 64) {
    size_t len = n - base < 64 ? n - base : 64;
    uint64_t word, high;
    CharMasks(block + base, len, &word, &high);
    uint64_t separators = ~word & (len == 64 ? ~uint64_t{0} : (uint64_t{1} << len) - 1);
    unsigned pos = 0;
    for (;;) {
      if (!in_ascii) {
        uint64_t starts = (word | high) >> pos;
        if (starts == 0) break;
        pos += static_cast<unsigned>(__builtin_ctzll(starts));
        if ((high >> pos) & 1) {
          *stop = base + pos;
          return true;
        }
        start = base + pos;
        in_ascii = true;
      }
      uint64_t ends = separators >> pos;
      if (ends == 0) break;  // the token goes on in the next 64 bytes
      pos += static_cast<unsigned>(__builtin_ctzll(ends));
      if ((high >> pos) & 1) {  // a letter of another script may go on with it
        *stop = start;
        return true;
      }
      in_ascii = false;
      if (!on_ascii(block + start, base + pos - start, base + pos)) return false;
    }
  }
  *stop = in_ascii ? start : n;
  return true;
}

template <typename OnToken>
bool IntlTokenScanner::FoldAscii(const char* raw, size_t len, size_t offset, OnToken& on_token) {
  starts_with_letter_ = startsWithLetter(raw, len);
  if (!every_token_ && (len > kMaxWordLength || !starts_with_letter_)) return true;
  size_t keep = len < kKeep ? len : kKeep;
  for (size_t k = 0; k < keep; ++k) word_[k] = FoldChar(raw[k]);
  return on_token(static_cast<const char*>(word_), len, offset);
}

template <typename OnToken>
bool IntlTokenScanner::Feed(const char* block, size_t n, OnToken&& on_token) {
  return Feed(block, n, on_token, [this, &on_token](const char* raw, size_t len, size_t offset) {
    return FoldAscii(raw, len, offset, on_token);
  });
}

template <typename OnToken, typename OnAscii>
bool IntlTokenScanner::Feed(const char* block, size_t n, OnToken&& on_token, OnAscii&& on_ascii) {
  size_t i = 0;
  if (carry_len_ > 0) {
    // The cut character, completed by the first bytes of this block.
    char joined[8];
    size_t from_block = n < 4 ? n : 4;
    std::memcpy(joined, carry_, carry_len_);
    std::memcpy(joined + carry_len_, block, from_block);
    size_t have = carry_len_ + from_block, at = 0;
    while (at < carry_len_) {
      uint32_t cp;
      size_t used = DecodeChar(joined + at, have - at, false, &cp);
      if (used == 0) {  // still cut: the whole block belongs to it
        std::memmove(carry_, joined + at, have - at);
        carry_len_ = have - at;
        return true;
      }
      if (!Take(cp, IntlCharClass(cp), 0, on_token)) return false;
      at += used;
    }
    i = at - carry_len_;
    carry_len_ = 0;
  }
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(block[i]);
    if (!in_token_ && b < 0x80) {
      if (!ScanAscii(block, n, i, on_ascii, &i)) return false;
      if (i == n) break;
      b = static_cast<unsigned char>(block[i]);
    }
    if (b < 0x80) {
      // ASCII: the table of the ASCII rules; letters are the word bytes but '-', '_' and
      // the digits.
      uint8_t cls = 0;
      if (kWordCharTable[b])
        cls = static_cast<unsigned>((b | 0x20) - 'a') < 26 ? kCharLetter : kCharJoiner;
      if (!Take(b, cls, i, on_token)) return false;
      ++i;
      continue;
    }
    uint32_t cp;
    size_t used = DecodeChar(block + i, n - i, false, &cp);
    if (used == 0) {
      carry_len_ = n - i;
      std::memcpy(carry_, block + i, carry_len_);
      return true;
    }
    if (!Take(cp, IntlCharClass(cp), i, on_token)) return false;
    i += used;
  }
  return true;
}

template <typename OnToken>
bool IntlTokenScanner::Finish(OnToken&& on_token) {
  size_t at = 0;
  while (at < carry_len_) {
    uint32_t cp;
    at += DecodeChar(carry_ + at, carry_len_ - at, true, &cp);
    if (!Take(cp, IntlCharClass(cp), kEndOfText, on_token)) return false;
  }
  carry_len_ = 0;
  if (!in_token_) return true;
  return Emit(kEndOfText, on_token);
}

}  // namespace norvel
