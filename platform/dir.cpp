// Portable part of the directory listing: wildcard matching.
#include "platform/dir.h"

#include <algorithm>
#include <numeric>

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
  if (starts_.empty()) starts_.push_back(0);
  names_ += name;
  starts_.push_back(static_cast<uint32_t>(names_.size()));
  if (size == ~uint64_t{0}) sizes_known_ = false;
  if (sizes_known_) {
    sizes_.push_back(size);
  } else {
    std::vector<uint64_t>().swap(sizes_);
  }
}

void DirListing::Sort() {
  size_t n = size();
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [this](uint32_t a, uint32_t b) { return name(a) < name(b); });
  std::string names;
  names.reserve(names_.size());
  std::vector<uint32_t> starts;
  starts.reserve(starts_.size());
  std::vector<uint64_t> sizes;
  sizes.reserve(sizes_.size());
  starts.push_back(0);
  for (uint32_t i : order) {
    names += name(i);
    starts.push_back(static_cast<uint32_t>(names.size()));
    if (!sizes_.empty()) sizes.push_back(sizes_[i]);
  }
  names_.swap(names);
  starts_.swap(starts);
  sizes_.swap(sizes);
}

}  // namespace platform
