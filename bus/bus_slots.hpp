// SPDX-License-Identifier: Apache-2.0
// The per-device bus contexts behind the backends: one slot per device
// number, filled by an attach call and read by every access.
#pragma once

#include <chip_util/bus.h>

#include <cstddef>
#include <cstdint>

#include "../register/trace_hooks.hpp"

namespace chip_bus {

constexpr size_t kNameMax = 16;  // IFNAMSIZ

struct MmioContext {
  volatile uint8_t *base;  // address 0 of the registers
  uint64_t size;           // bytes reachable from base
  void *mapping;           // what munmap releases; null for caller memory
  size_t mapping_length;
};

struct MdioContext {
  int fd;
  char ifname[kNameMax];
  uint16_t phy_id;  // clause 22 PHY address, or the clause 45 phy_id word
  bool clause45;
};

struct I2cContext {
  int fd;
  uint16_t addr;
  uint8_t reg_addr_bytes;
  bool lsb_first;
};

struct Slot {
  uint32_t kind;  // CHIP_BUS_*
  MmioContext mmio;
  MdioContext mdio;
  I2cContext i2c;
};

[[gnu::visibility("hidden")]] extern Slot g_slots[HDK_MAX_DEV_NUM];

// Logs "\r\n<function>(<dev>, 0x<addr>): <reason>" at level 1, traces the
// refused access with status -1 and returns -1.
[[gnu::cold, gnu::noinline]] int32_t refuse_access(uint32_t trace_kind, uint32_t bus,
                                                   const char *function, uint32_t dev,
                                                   uint32_t width, uint32_t addr, uint32_t value,
                                                   const char *reason);

// Refuses an access to a slot that does not hold `bus`, naming what it holds.
[[gnu::cold, gnu::noinline]] int32_t refuse_slot(uint32_t trace_kind, uint32_t bus,
                                                 const char *function, uint32_t dev,
                                                 uint32_t width, uint32_t addr, uint32_t value);

// The slot of `dev` when it holds `bus`, else null.
[[gnu::always_inline]] inline Slot *slot_holding(uint32_t dev, uint32_t bus) {
  return dev < HDK_MAX_DEV_NUM && g_slots[dev].kind == bus ? &g_slots[dev] : nullptr;
}

// An attach refusal: "\r\n<function>(<dev>, ...): <reason>" at level 1; -1.
[[gnu::cold]] int32_t refuse_attach(const char *function, uint32_t dev, const char *reason);

// "cannot <what> <path>: <strerror>", naming the likely causes for EPERM
// and EACCES (not root, the region claimed by a kernel driver, kernel
// lockdown): what a person at the machine needs to fix it.
void describe_os_failure(char *out, size_t size, const char *what, const char *path, int error);

// The slot an attach call may fill, or null after refusing (device number
// above 319 or already attached).
Slot *free_slot(const char *function, uint32_t dev);

// Trace of a completed access: the probe and one predictable branch.
#define CHIP_BUS_TRACE_DONE(trace_kind, bus, dev, width, addr, value, status)                 \
  do {                                                                                       \
    if ((trace_kind) == CHIP_TRACE_BUS_READ) {                                               \
      CHIP_UTIL_PROBE(bus_read, (bus), (dev), (width), (addr), (value), (status));           \
    } else {                                                                                 \
      CHIP_UTIL_PROBE(bus_write, (bus), (dev), (width), (addr), (value), (status));          \
    }                                                                                        \
    if (chip_trace::enabled()) [[unlikely]] {                                                \
      chip_trace::bus_event((trace_kind), (bus), (dev), (width), (addr), (value), (status)); \
    }                                                                                        \
  } while (0)

// Width-generic access of each backend, used by chip_bus_read/write.
int32_t mmio_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value);
int32_t mmio_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value);
int32_t mdio_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value);
int32_t mdio_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value);
int32_t i2c_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value);
int32_t i2c_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value);

}  // namespace chip_bus
