// Cutting text into tokens (maximal runs of word characters) across read blocks: the part
// of a token at the end of one block waits as the pending word for the next block.
#pragma once

#include <cstddef>
#include <cstring>

#include "index/word_table.h"

namespace norvel {

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

  char pending_[kKeep];
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
  for (;;) {
    while (i < n && !IsWordByte(block[i])) ++i;
    if (i == n) return true;
    size_t start = i;
    while (i < n && IsWordByte(block[i])) ++i;
    if (i == n) {
      Append(block + start, n - start);
      return true;
    }
    if (!on_token(block + start, i - start, i)) return false;
  }
}

template <typename OnToken>
bool TokenScanner::Finish(OnToken&& on_token) {
  if (pending_len_ == 0) return true;
  size_t len = pending_len_;
  pending_len_ = 0;
  return on_token(static_cast<const char*>(pending_), len, kEndOfText);
}

}  // namespace norvel
