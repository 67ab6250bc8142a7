// The check of a caller's mistake: NORVEL_EXPECTS(condition) for a documented precondition.
//
// Two classes of error are kept apart. What the environment does (a missing file, a full
// disk, a damaged index, no memory) is an error result and a log line, in every build. A
// precondition that the calling code broke (a table of size 0 written, an index searched
// before it is loaded) is a programming error: where the checks are on (NORVEL_CHECKS, the
// sanitizer build) it stops the program at its cause with the condition, file and line on
// stderr; in a release it is not evaluated and the routine behaves as documented for it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace platform {

#if defined(NORVEL_CHECKS)
constexpr bool kChecksOn = true;
#else
constexpr bool kChecksOn = false;
#endif

[[noreturn]] inline void PreconditionFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: precondition failed: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace platform

#if defined(NORVEL_CHECKS)
#define NORVEL_EXPECTS(condition)     \
  ((condition) ? static_cast<void>(0) \
               : ::platform::PreconditionFailed(#condition, __FILE__, __LINE__))
#else
// Not evaluated, but still compiled, so that a check cannot rot in a release.
#define NORVEL_EXPECTS(condition) static_cast<void>(sizeof(!(condition)))
#endif
