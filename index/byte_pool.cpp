// Handing out bytes from blocks of large pages.
#include "index/byte_pool.h"

#include <new>

namespace norvel {

uint32_t BytePool::Alloc(size_t n) {
  if (used_ + n + kTokenSlack > kBlockSize) {
    // Positions are 32-bit: a pool holds at most 4 GB.
    if (blocks_.size() >= (size_t{1} << (32 - kBlockBits))) throw std::bad_alloc();
    platform::PageBlock block;
    if (!block.Allocate(kBlockSize, large_pages_)) throw std::bad_alloc();
    blocks_.push_back(std::move(block));
    used_ = 0;
  }
  uint32_t pos = static_cast<uint32_t>(((blocks_.size() - 1) << kBlockBits) + used_);
  used_ += n;
  return pos;
}

}  // namespace norvel
