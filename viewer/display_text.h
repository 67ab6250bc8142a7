// International documents in the window's ANSI drawing: their text (UTF-8 where valid,
// Windows-1252 elsewhere) turned into the ANSI code page, and the words of that text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "viewer/document_layout.h"

namespace norvel {

// A character the code page has no byte for is shown as this.
constexpr char kUnshownChar = '?';

// Turns text read by the international rules into the ANSI code page, block by block: a
// character cut by a block's end waits for the next block.
class AnsiDisplayConverter : public TextConverter {
 public:
  void Convert(const char* text, size_t n, bool at_end, std::string* out) override;

 private:
  char carry_[4] = {};
  size_t carry_len_ = 0;
};

// The whole of a text (an excerpt) in the ANSI code page; bytes of a character cut at
// its beginning are left out.
std::string ToAnsiDisplay(std::string_view text);

// A file name for the window: a name held as UTF-8 because the code page cannot spell it
// (platform/path.h) in the code page, '?' for what it lacks; any other name as it is.
std::string DisplayName(const std::string& name);

// Whether an ANSI byte of the shown text belongs to a word by the international rules.
bool IsAnsiWordChar(unsigned char c);

// A word of the shown text (ANSI) as UTF-8, for folding by the international rules.
std::string AnsiWordToUtf8(std::string_view word);

}  // namespace norvel
