// Memory in whole pages straight from the system, for the large working sets of a build
// or a loaded index (word tables, their pools, read buffers). A page fault is costly on
// some hosts (virtual machines above all); a block taken here is zero-filled by the
// system, aligned to a large page when it spans one or more, and marked for large pages
// where the system offers them, so that filling it costs few faults.
#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace platform {

// Has the C library give every block of 128 KB or more a mapping of its own, returned to
// the system when freed, whatever was freed before. (glibc otherwise raises that bound to
// the largest such block freed, up to 32 MB, and takes the later ones from its heaps,
// which keep what they take: a build that frees and grows its large tables then holds
// several megabytes more at its peak.) The heap, which then holds only the smaller blocks,
// keeps what is freed at its top for the next ones. For a program's start; does nothing
// elsewhere.
void KeepLargeBlocksMapped();

// The large page a block of at least this size is aligned to.
constexpr size_t kLargePageSize = size_t{2} << 20;

// n bytes (n > 0), zero-filled, aligned to at least 4,096 bytes; nullptr when refused.
// large: aligned to and marked for large pages where it spans one; else small pages only,
// for a block that may stay mostly empty (a large page is taken whole once touched).
void* AllocatePages(size_t n, bool large = true);
// Frees a block of AllocatePages; n as it was asked for.
void FreePages(void* p, size_t n);

// An owned block of pages.
class PageBlock {
 public:
  PageBlock() = default;
  ~PageBlock() { Reset(); }
  PageBlock(PageBlock&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  PageBlock& operator=(PageBlock&& other) noexcept {
    if (this != &other) {
      Reset();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  PageBlock(const PageBlock&) = delete;
  PageBlock& operator=(const PageBlock&) = delete;

  // Replaces the block with a new zero-filled one of n bytes; false (holding none) when
  // refused. large: as AllocatePages.
  bool Allocate(size_t n, bool large = true) {
    Reset();
    data_ = static_cast<char*>(AllocatePages(n, large));
    size_ = data_ ? n : 0;
    return data_ != nullptr;
  }
  void Reset() {
    if (data_) FreePages(data_, size_);
    data_ = nullptr;
    size_ = 0;
  }
  char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
};

// An allocator for tables that grow to megabytes and are filled as they grow (a build's
// token tables, its merge of the parts' words): a block of kLargePageSize or more comes from
// AllocatePages, large pages where offered, the smaller ones from the heap. On a host where
// a page fault is costly, filling a large page costs one fault where small pages cost 512.
template <typename T>
class LargePageAllocator {
 public:
  using value_type = T;
  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) {}  // NOLINT: converts as std::allocator
  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    size_t bytes = n * sizeof(T);
    if (bytes < kLargePageSize) return static_cast<T*>(::operator new(bytes));
    void* p = AllocatePages(bytes);
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) {
    size_t bytes = n * sizeof(T);
    if (bytes < kLargePageSize) {
      ::operator delete(p);
    } else {
      FreePages(p, bytes);
    }
  }
  template <typename U>
  bool operator==(const LargePageAllocator<U>&) const {
    return true;
  }
  template <typename U>
  bool operator!=(const LargePageAllocator<U>&) const {
    return false;
  }
};

template <typename T>
using LargePageVector = std::vector<T, LargePageAllocator<T>>;

}  // namespace platform
