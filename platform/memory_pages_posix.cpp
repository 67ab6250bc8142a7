// Pages on Linux and other POSIX systems: anonymous mappings, large pages by advice.
#include <sys/mman.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdint>

#include "platform/memory_pages.h"

namespace platform {

namespace {

size_t RoundUp(size_t n, size_t to) {
  return (n + to - 1) / to * to;
}

}  // namespace

void KeepLargeBlocksMapped() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);  // set, it no longer moves
  // The heap holds the smaller blocks only: what frees at its top is kept for the next
  // ones rather than given back and faulted in again a page at a time.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

void* AllocatePages(size_t n, bool large) {
  if (n == 0) return nullptr;
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t length = RoundUp(n, page);
  if (length < kLargePageSize || !large) {
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#ifdef MADV_NOHUGEPAGE
    // Where every mapping may get large pages, this one keeps to small ones.
    if (!large && length >= kLargePageSize) madvise(p, length, MADV_NOHUGEPAGE);
#endif
    return p;
  }
  // A large block starts on a large-page boundary: map a large page more, then give back
  // what lies before the boundary and after the block.
  if (length > SIZE_MAX - kLargePageSize) return nullptr;
  size_t mapped = length + kLargePageSize;
  void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(p);
  uintptr_t aligned = RoundUp(start, kLargePageSize);
  if (aligned > start) munmap(p, aligned - start);
  size_t tail = start + mapped - (aligned + length);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + length), tail);
#ifdef MADV_HUGEPAGE
  // Only advice: where large pages are off or none is free, small pages serve.
  madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

void FreePages(void* p, size_t n) {
  if (!p) return;
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  munmap(p, RoundUp(n, page));
}

}  // namespace platform
