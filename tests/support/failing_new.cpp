// A replacement of the global operator new that can fail one allocation of a given size.
#include "failing_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace norvel_test {

namespace {
std::atomic<size_t> g_armed_size{0};
std::atomic<bool> g_failed{false};
std::atomic<long long> g_countdown{-1};  // allocations to let pass before one fails; -1: none
}  // namespace

void FailNextAllocationOf(size_t size) {
  g_failed = false;
  g_armed_size = size;
}

void FailAllocationAfter(size_t n) {
  g_failed = false;
  g_countdown = static_cast<long long>(n);
}

bool ArmedAllocationFailed() {
  return g_failed;
}

}  // namespace norvel_test

void* operator new(size_t size) {
  size_t armed = norvel_test::g_armed_size.load();
  if (armed != 0 && size == armed && norvel_test::g_armed_size.compare_exchange_strong(armed, 0)) {
    norvel_test::g_failed = true;
    throw std::bad_alloc();
  }
  if (norvel_test::g_countdown.load() >= 0 && norvel_test::g_countdown.fetch_sub(1) == 0) {
    norvel_test::g_failed = true;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void* operator new[](size_t size) {
  return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& nothrow) noexcept {
  return operator new(size, nothrow);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
