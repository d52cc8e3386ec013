// Counts calls of the C heap (malloc, calloc, realloc, free) made while a
// counter is alive, on any thread. The counting replaces the process's
// malloc, which the sanitizers and valgrind also do, so it is only
// available in builds without a sanitizer and outside valgrind: tests then
// skip with GTEST_SKIP.
#pragma once

#include <cstddef>

namespace chip_test {

class AllocCounter {
 public:
  static bool available();
  AllocCounter();
  ~AllocCounter();
  AllocCounter(const AllocCounter &) = delete;
  AllocCounter &operator=(const AllocCounter &) = delete;
  size_t allocations() const;
  size_t releases() const;
};

// While alive, the next `count` heap allocations made by the calling
// thread fail (null, errno ENOMEM); other threads are not affected. Built
// on the same replacement, so only where AllocCounter::available().
class AllocFailure {
 public:
  explicit AllocFailure(size_t count = 1);
  ~AllocFailure();
  AllocFailure(const AllocFailure &) = delete;
  AllocFailure &operator=(const AllocFailure &) = delete;
  // Failures not yet used up.
  size_t remaining() const;
};

}  // namespace chip_test

#define CHIP_TEST_REQUIRE_ALLOC_COUNTER()                                   \
  do {                                                                      \
    if (!::chip_test::AllocCounter::available()) {                          \
      GTEST_SKIP() << "heap counting is unavailable under a sanitizer or valgrind";     \
    }                                                                       \
  } while (0)
