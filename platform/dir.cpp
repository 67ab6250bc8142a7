// Portable part of the directory listing: wildcard matching.
#include "platform/dir.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "platform/path.h"

namespace platform {

static char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool WildcardMatch(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || (*pattern && FoldAscii(*pattern) == FoldAscii(*name))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

void DirListing::Add(const char* name, uint64_t size) {
  size_t len = std::strlen(name);
  // No file system names a file with more bytes than a length or a block can hold.
  if (len > 0xFFFF) return;
  if (block_used_ + len > kBlockSize) {
    // Owned before the list of blocks grows: a failure to grow frees it.
    std::unique_ptr<char[]> block(new char[kBlockSize]);
    blocks_.push_back(std::move(block));
    block_used_ = 0;
  }
  std::memcpy(blocks_.back().get() + block_used_, name, len);
  starts_.push_back(static_cast<uint32_t>(((blocks_.size() - 1) << kBlockBits) + block_used_));
  lengths_.push_back(static_cast<uint16_t>(len));
  order_.push_back(static_cast<uint32_t>(order_.size()));
  block_used_ += len;
  if (size == ~uint64_t{0}) sizes_known_ = false;
  if (sizes_known_) {
    sizes_.push_back(size);
  } else {
    std::vector<uint64_t>().swap(sizes_);
  }
}

void DirListing::Sort() {
  // By the names' bytes (a name held as UTF-8 among them, not by its mark); of equal
  // bytes, the name in the code page first. Each name's first eight bytes as a number
  // (zeros after a shorter name; no name holds a zero byte) order most pairs without
  // reading the names, which are scattered over the blocks.
  std::vector<std::pair<uint64_t, uint32_t>> keyed(order_.size());
  for (size_t i = 0; i < order_.size(); ++i) {
    std::string_view bytes = NameBytes(Name(order_[i]));
    uint64_t key = 0;
    for (size_t k = 0; k < 8; ++k) {
      key = key << 8 | (k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0u);
    }
    keyed[i] = {key, order_[i]};
  }
  std::sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    std::string_view x = Name(a.second), y = Name(b.second);
    int c = NameBytes(x).compare(NameBytes(y));
    return c != 0 ? c < 0 : !HeldAsUtf8(x) && HeldAsUtf8(y);
  });
  for (size_t i = 0; i < keyed.size(); ++i) order_[i] = keyed[i].second;
}

// The names alone, for callers that need no sizes: the same listing on every platform.
bool ListDirectory(const std::string& dir, const std::string& pattern,
                   std::vector<std::string>* names) {
  DirListing listing;
  names->clear();
  if (!ListDirectory(dir, pattern, &listing)) return false;
  names->reserve(listing.size());
  for (size_t i = 0; i < listing.size(); ++i) names->emplace_back(listing.name(i));
  return true;
}

}  // namespace platform
