// SPDX-License-Identifier: Apache-2.0
// The trace callback registry and the record builders behind the trace
// points of trace_hooks.hpp.
#include "trace_hooks.hpp"

// In the section where USDT tools look for them; zero until a tracer
// attaches or a callback is registered.
#define CHIP_UTIL_SEMAPHORE(name) \
  [[gnu::section(".probes")]] volatile unsigned short chip_util_##name##_semaphore
extern "C" {
CHIP_UTIL_SEMAPHORE(bus_read);
CHIP_UTIL_SEMAPHORE(bus_write);
CHIP_UTIL_SEMAPHORE(field_read);
CHIP_UTIL_SEMAPHORE(field_write);
CHIP_UTIL_SEMAPHORE(field_refused);
}

namespace chip_trace {

std::atomic<chip_trace_func> g_func{nullptr};
// Written before g_func is published (release) and read after g_func was
// seen (acquire): an access that starts after the registration returned
// gets the pair that was registered together.
static std::atomic<void *> g_context{nullptr};

void deliver(const chip_trace_event &event) {
  const chip_trace_func func = g_func.load(std::memory_order_acquire);
  if (func != nullptr) {
    func(g_context.load(std::memory_order_relaxed), &event);
  }
}

void field_event(uint32_t kind, const char *function, uint32_t dev, uint32_t width,
                 uint32_t inst, uint32_t reg_id, uint32_t elem, uint32_t value, int32_t status) {
  deliver({kind, CHIP_BUS_NONE, dev, width, 0, value, status, inst, reg_id, elem, function});
}

void bus_event(uint32_t kind, uint32_t bus, uint32_t dev, uint32_t width, uint32_t addr,
               uint32_t value, int32_t status) {
  deliver({kind, bus, dev, width, addr, value, status, 0, 0, 0, nullptr});
}

}  // namespace chip_trace

extern "C" void chip_trace_register(chip_trace_func func, void *context) {
  // Stop first, so that an access starting now skips the trace rather than
  // pair the old callback with the new context.
  const bool had = chip_trace::g_func.exchange(nullptr, std::memory_order_acq_rel) != nullptr;
  chip_trace::g_context.store(context, std::memory_order_relaxed);
  chip_trace::g_func.store(func, std::memory_order_release);
  // A callback watches the field functions as an attached tracer does.
  const int change = (func != nullptr) - static_cast<int>(had);
  if (change != 0) {
    __atomic_add_fetch(&chip_util_field_read_semaphore, change, __ATOMIC_SEQ_CST);
    __atomic_add_fetch(&chip_util_field_write_semaphore, change, __ATOMIC_SEQ_CST);
  }
}

extern "C" void chip_trace_emit(const chip_trace_event *event) {
  if (event != nullptr && chip_trace::enabled()) {
    chip_trace::deliver(*event);
  }
}
