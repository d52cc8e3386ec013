// SPDX-License-Identifier: Apache-2.0
// Counts calls of malloc and free made while a counter is alive, on any
// thread, and fails chosen allocations. Both rest on a replacement of the
// process's malloc (alloc_counter.cpp), which the sanitizers and valgrind
// replace too, so they work only in builds without a sanitizer and outside
// valgrind: tests then skip with CHIP_TEST_REQUIRE_ALLOC_COUNTER().
#pragma once

#include <atomic>
#include <cstddef>

namespace chip_test {

inline std::atomic<int> g_counters_alive{0};
inline std::atomic<size_t> g_allocations{0};
inline std::atomic<size_t> g_releases{0};
// Allocations the thread still has to fail. Initial-exec: malloc reads it
// and must not allocate to do so.
inline __attribute__((tls_model("initial-exec"))) thread_local size_t t_failures_left = 0;

struct AllocCounter {
  // Whether the replacement is the malloc that runs.
  static bool available();
  AllocCounter() {
    g_allocations = g_releases = 0;
    ++g_counters_alive;
  }
  ~AllocCounter() { --g_counters_alive; }
  size_t allocations() const { return g_allocations; }
  size_t releases() const { return g_releases; }
};

// While alive, the next `count` heap allocations made by the calling
// thread fail (null, errno ENOMEM); other threads are not affected.
struct AllocFailure {
  explicit AllocFailure(size_t count = 1) { t_failures_left = count; }
  ~AllocFailure() { t_failures_left = 0; }
  // Failures not yet used up.
  size_t remaining() const { return t_failures_left; }
};

}  // namespace chip_test

// Skips the rest of the test where heap counting is unavailable.
#define CHIP_TEST_REQUIRE_ALLOC_COUNTER() \
  if (!::chip_test::AllocCounter::available()) GTEST_SKIP() << "no heap counting under sanitizers or valgrind"
