// Pages on Windows: committed virtual memory. Large pages there need a privilege that
// ordinary accounts lack, so small pages serve.
#include <windows.h>

#include "platform/memory_pages.h"

namespace platform {

// The heap of Windows gives large blocks virtual memory of their own by itself: there is no
// bound to set.
void KeepLargeBlocksMapped() {}

void* AllocatePages(size_t n, bool) {
  if (n == 0) return nullptr;
  return VirtualAlloc(nullptr, n, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreePages(void* p, size_t) {
  if (p) VirtualFree(p, 0, MEM_RELEASE);
}

}  // namespace platform
