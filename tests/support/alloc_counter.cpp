// SPDX-License-Identifier: Apache-2.0
#include "support/alloc_counter.hpp"

#include <cerrno>
#include <cstdlib>

using namespace chip_test;

// gcc's sanitizers bring their own heap, which a replacement would bypass.
// Memory from the calloc and realloc left in place is glibc's all the same.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// glibc's own entry points, which its malloc and free are aliases of.
extern "C" void *__libc_malloc(size_t size);
extern "C" void __libc_free(void *block);

extern "C" void *malloc(size_t size) {
  if (g_counters_alive.load(std::memory_order_relaxed) != 0) ++g_allocations;
  if (t_failures_left == 0) return __libc_malloc(size);
  --t_failures_left;
  errno = ENOMEM;
  return nullptr;
}

extern "C" void free(void *block) {
  if (block != nullptr && g_counters_alive.load(std::memory_order_relaxed) != 0) ++g_releases;
  __libc_free(block);
}
#endif

// A tool that brings its own heap (a sanitizer, valgrind) routes every
// malloc past the replacement: one allocation the replacement would fail,
// made through a pointer the compiler cannot see through, tells.
bool AllocCounter::available() {
  static const bool counting = [] {
    void *(*volatile allocate)(size_t) = &malloc;
    const AllocFailure failing;
    free(allocate(16));
    return failing.remaining() == 0;
  }();
  return counting;
}
