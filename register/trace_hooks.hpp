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

#if CHIP_UTIL_TRACE_HOOKS && defined(CHIP_UTIL_HAVE_SDT)
#define _SDT_HAS_SEMAPHORES 1
#define SDT_USE_VARIADIC 1
#include <sys/sdt.h>
// The probes' semaphores (trace.cpp): a tracer that attaches to a probe
// counts itself in, so that the field functions take their traced path
// only while someone watches.
extern "C" {
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_bus_read_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_bus_write_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_field_read_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_field_write_semaphore;
[[gnu::visibility("hidden")]] extern volatile unsigned short chip_util_field_refused_semaphore;
}
#define CHIP_UTIL_PROBE(name, ...) STAP_PROBEV(chip_util, name, __VA_ARGS__)
#define CHIP_UTIL_PROBE_WATCHERS(name) (chip_util_##name##_semaphore)
#else
#define CHIP_UTIL_PROBE(name, ...) ((void)0)
#define CHIP_UTIL_PROBE_WATCHERS(name) 0u
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

// Whether a callback is registered or `watchers` (a probe's semaphore) is
// not 0, tested with one branch.
[[gnu::always_inline]] inline bool enabled_or(unsigned watchers) {
#if CHIP_UTIL_TRACE_HOOKS
  const auto func = reinterpret_cast<uintptr_t>(g_func.load(std::memory_order_relaxed));
  return (func | watchers) != 0;
#else
  return watchers != 0;
#endif
}

[[gnu::cold, gnu::noinline]] void field_event(uint32_t kind, const char *function, uint32_t dev,
                                              uint32_t width, uint32_t inst, uint32_t reg_id,
                                              uint32_t elem, uint32_t value, int32_t status);

[[gnu::cold, gnu::noinline]] void bus_event(uint32_t kind, uint32_t bus, uint32_t dev,
                                            uint32_t width, uint32_t addr, uint32_t value,
                                            int32_t status);

}  // namespace chip_trace
