#include "support/alloc_counter.hpp"

#include <atomic>
#include <cerrno>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CHIP_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define CHIP_TEST_SANITIZED 1
#endif
#endif

namespace {

std::atomic<int> g_active{0};
std::atomic<size_t> g_allocations{0};
std::atomic<size_t> g_releases{0};

}  // namespace

#ifndef CHIP_TEST_SANITIZED
namespace {

// Allocations this thread still has to fail (AllocFailure). Initial-exec:
// reading it from inside malloc must not allocate.
__attribute__((tls_model("initial-exec"))) thread_local size_t t_failures_left = 0;

bool fail_this_allocation() {
  if (t_failures_left == 0) {
    return false;
  }
  --t_failures_left;
  return true;
}

}  // namespace

// glibc's own entry points, which its malloc is an alias of.
extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *__libc_realloc(void *block, size_t size);
extern "C" void __libc_free(void *block);

extern "C" void *malloc(size_t size) {
  if (g_active.load(std::memory_order_relaxed) != 0) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
  }
  if (fail_this_allocation()) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(size);
}

extern "C" void *calloc(size_t count, size_t size) {
  if (g_active.load(std::memory_order_relaxed) != 0) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
  }
  if (fail_this_allocation()) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_calloc(count, size);
}

extern "C" void *realloc(void *block, size_t size) {
  if (g_active.load(std::memory_order_relaxed) != 0) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
  }
  if (fail_this_allocation()) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_realloc(block, size);
}

extern "C" void free(void *block) {
  if (block != nullptr && g_active.load(std::memory_order_relaxed) != 0) {
    g_releases.fetch_add(1, std::memory_order_relaxed);
  }
  __libc_free(block);
}
#endif

namespace chip_test {

bool AllocCounter::available() {
#ifdef CHIP_TEST_SANITIZED
  return false;
#else
  // A tool that brings its own heap (valgrind) routes every malloc past the
  // replacement above even without a sanitizer: one probing allocation,
  // made through pointers the compiler cannot see through, tells.
  static const bool counting = [] {
    void *(*volatile allocate)(size_t) = &malloc;
    void (*volatile release)(void *) = &free;
    g_active.fetch_add(1);
    const size_t before = g_allocations.load();
    release(allocate(16));
    const bool seen = g_allocations.load() != before;
    g_active.fetch_sub(1);
    return seen;
  }();
  return counting;
#endif
}

AllocCounter::AllocCounter() {
  g_allocations = 0;
  g_releases = 0;
  g_active.fetch_add(1);
}

AllocCounter::~AllocCounter() { g_active.fetch_sub(1); }

size_t AllocCounter::allocations() const { return g_allocations.load(); }

size_t AllocCounter::releases() const { return g_releases.load(); }

#ifndef CHIP_TEST_SANITIZED
AllocFailure::AllocFailure(size_t count) { t_failures_left = count; }
AllocFailure::~AllocFailure() { t_failures_left = 0; }
size_t AllocFailure::remaining() const { return t_failures_left; }
#else
AllocFailure::AllocFailure(size_t) {}
AllocFailure::~AllocFailure() {}
size_t AllocFailure::remaining() const { return 0; }
#endif

}  // namespace chip_test
