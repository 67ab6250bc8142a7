// Bytes handed out in blocks of whole large pages that never move: the word tables keep
// their texts and posting runs in such pools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/word_rules.h"
#include "platform/memory_pages.h"

namespace norvel {

// Bytes handed out in blocks that never move: growing never copies what is held, and
// nothing is cleared before it is written. A position names a byte of any block; what one
// Alloc returns lies in one block. Blocks are whole large pages from the system.
class BytePool {
 public:
  static constexpr unsigned kBlockBits = 21;
  static constexpr size_t kBlockSize = size_t{1} << kBlockBits;
  static_assert(kBlockSize == platform::kLargePageSize, "a block is one large page");
  // n bytes (at most kBlockSize - kTokenSlack) at the returned position, with at least
  // kTokenSlack readable bytes after them; throws std::bad_alloc.
  uint32_t Alloc(size_t n);
  // Blocks of small pages from now on: only what is filled is taken from the system.
  void UseSmallPages() { large_pages_ = false; }
  char* At(uint32_t pos) { return blocks_[pos >> kBlockBits].data() + (pos & (kBlockSize - 1)); }
  const char* At(uint32_t pos) const {
    return blocks_[pos >> kBlockBits].data() + (pos & (kBlockSize - 1));
  }
  // Hints that the byte at pos will be read soon; pos may be any number (a position not
  // handed out fetches nothing).
  void Prefetch(uint32_t pos) const {
    if ((pos >> kBlockBits) < blocks_.size()) __builtin_prefetch(At(pos));
  }

 private:
  std::vector<platform::PageBlock> blocks_;
  size_t used_ = kBlockSize;  // bytes used of the last block
  bool large_pages_ = true;
};

}  // namespace norvel
