// SPDX-License-Identifier: Apache-2.0
// The library's trace points: the registered callback behind one
// predictable branch, and the USDT probes of the "chip_util" provider.
// CHIP_UTIL_TRACE_HOOKS=0 compiles both out of a translation unit (the
// benchmark builds the field functions both ways to weigh their cost);
// without <sys/sdt.h> only the probes go.
#pragma once

#include <chip_util/trace.h>

#include <atomic>
#include <cstdint>

#ifndef CHIP_UTIL_TRACE_HOOKS
#define CHIP_UTIL_TRACE_HOOKS 1
#endif

// The probes' semaphores (trace.cpp). A tracer that attaches to a probe
// counts itself in; chip_trace_register counts a registered callback into
// the field probes' as well. So one 16-bit word per field function says
// whether anyone watches, and an unwatched call pays one compare and one
// branch for its choice of the plain or the traced copy. They exist in a
// build without <sys/sdt.h> too, counting callbacks only.
extern "C" {
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_bus_read_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_bus_write_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_field_read_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_field_write_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_field_refused_semaphore;
}

#if CHIP_UTIL_TRACE_HOOKS && defined(CHIP_UTIL_HAVE_SDT)
#define _SDT_HAS_SEMAPHORES 1
#define SDT_USE_VARIADIC 1
#include <sys/sdt.h>
#define CHIP_UTIL_PROBE(name, ...) STAP_PROBEV(chip_util, name, __VA_ARGS__)
#else
#define CHIP_UTIL_PROBE(name, ...) ((void)0)
#endif

// Jumps to `label` while the semaphore of probe `name` is not 0. On x86
// the word is compared in memory and the jump taken inside the asm: a
// compare in C leaves a register known to hold 0 (or false) on the untraced
// path, which the compiler then keeps alive, even spilled, as a spare
// zero, costing the untraced call more than the test itself.
#if CHIP_UTIL_TRACE_HOOKS && (defined(__x86_64__) || defined(__i386__))
#define CHIP_UTIL_GOTO_IF_WATCHED(name, label)                                     \
  __asm__ goto("cmpw $0, %0\n\tjne %l1" : : "m"(chip_util_##name##_semaphore) \
               : "cc" : label)
#elif CHIP_UTIL_TRACE_HOOKS
#define CHIP_UTIL_GOTO_IF_WATCHED(name, label)              \
  do {                                                     \
    if (chip_util_##name##_semaphore != 0) [[unlikely]] { \
      goto label;                                          \
    }                                                      \
  } while (0)
#else
#define CHIP_UTIL_GOTO_IF_WATCHED(name, label) \
  do {                                        \
    if (false) {                              \
      goto label;                             \
    }                                         \
  } while (0)
#endif

namespace chip_trace {

// The registered callback; read relaxed on every traced access.
[[gnu::visibility("hidden")]] extern std::atomic<chip_trace_func> g_func;

// Builds the record and calls the callback. Out of line and cold: the
// traced places only branch to it.
[[gnu::cold, gnu::noinline]] void deliver(const chip_trace_event &event);

[[gnu::always_inline]] inline bool enabled() {
#if CHIP_UTIL_TRACE_HOOKS
  return g_func.load(std::memory_order_relaxed) != nullptr;
#else
  return false;
#endif
}

[[gnu::cold, gnu::noinline]] void field_event(uint32_t kind, const char *function, uint32_t dev,
                                              uint32_t width, uint32_t inst, uint32_t reg_id,
                                              uint32_t elem, uint32_t value, int32_t status);

[[gnu::cold, gnu::noinline]] void bus_event(uint32_t kind, uint32_t bus, uint32_t dev,
                                            uint32_t width, uint32_t addr, uint32_t value,
                                            int32_t status);

}  // namespace chip_trace
