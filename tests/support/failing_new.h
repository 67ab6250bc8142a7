// Allocation failures on demand: the test program's operator new throws std::bad_alloc for
// the next allocation of an armed size.
#pragma once

#include <cstddef>

namespace norvel_test {

// The next allocation of exactly size bytes fails (once); 0 disarms.
void FailNextAllocationOf(size_t size);
// The allocation after the next n allocations (of any size) fails (once); SIZE_MAX disarms.
void FailAllocationAfter(size_t n);
// True when the armed allocation has failed since it was armed.
bool ArmedAllocationFailed();

}  // namespace norvel_test
