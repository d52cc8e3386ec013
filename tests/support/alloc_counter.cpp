#include "support/alloc_counter.hpp"

#include <cerrno>
#include <cstdlib>

using chip_test::g_allocations;
using chip_test::g_counters_alive;

// gcc's sanitizers bring their own heap, which a replacement would bypass.
// Memory from the calloc and realloc left in place is glibc's all the same.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// glibc's own entry points, which its malloc and free are aliases of.
extern "C" void *__libc_malloc(size_t size);
extern "C" void __libc_free(void *block);

extern "C" void *malloc(size_t size) {
  if (g_counters_alive.load(std::memory_order_relaxed) != 0) ++g_allocations;
  if (chip_test::t_failures_left == 0) return __libc_malloc(size);
  --chip_test::t_failures_left;
  errno = ENOMEM;
  return nullptr;
}

extern "C" void free(void *block) {
  if (block != nullptr && g_counters_alive.load(std::memory_order_relaxed) != 0) {
    ++chip_test::g_releases;
  }
  __libc_free(block);
}
#endif

// A tool that brings its own heap (a sanitizer, valgrind) routes every
// malloc past the replacement: one probing allocation, made through
// pointers the compiler cannot see through, tells.
bool chip_test::AllocCounter::available() {
  static const bool counting = [] {
    void *(*volatile allocate)(size_t) = &malloc;
    void (*volatile release)(void *) = &free;
    ++g_counters_alive;
    const size_t before = g_allocations;
    release(allocate(16));
    const bool seen = g_allocations != before;
    --g_counters_alive;
    return seen;
  }();
  return counting;
}
