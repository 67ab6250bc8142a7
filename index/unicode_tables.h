// The generated Unicode tables of international words: which code points are letters or
// join words, and what a code point folds to (index/unicode_tables.cpp, made by
// scripts/gen-unicode-tables.py).
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvel {

// Classes of code points; a code point in no range separates words.
constexpr uint8_t kCharLetter = 1;  // begins a word and belongs to it
constexpr uint8_t kCharJoiner = 2;  // a digit, a combining mark, '-' or '_': belongs to a word

struct CharClassRange {
  uint32_t first;
  uint32_t last;
  uint8_t cls;
};
// Ascending, not overlapping.
extern const CharClassRange kCharClassRanges[];
extern const size_t kCharClassRangeCount;

// A code point whose folded form differs from itself: the form is kFoldText[at, at + len)
// (UTF-8; len 0 when it folds away, as a combining accent does).
struct FoldEntry {
  uint32_t cp;
  uint16_t at;
  uint8_t len;
};
// Ascending by code point.
extern const FoldEntry kFoldEntries[];
extern const size_t kFoldEntryCount;
extern const char kFoldText[];

}  // namespace norvel
