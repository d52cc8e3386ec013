// SPDX-License-Identifier: Apache-2.0
// The device slots, the refusal messages shared by every backend, detach,
// and chip_bus_read/write, which pick the backend by what is attached.
#include <chip_util/log.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include "bus_slots.hpp"

namespace chip_bus {

Slot g_slots[HDK_MAX_DEV_NUM];

namespace {

constexpr uint32_t kLogLevel = 1;

const char *bus_name(uint32_t bus) {
  switch (bus) {
    case CHIP_BUS_MMIO:
      return "mmio";
    case CHIP_BUS_MDIO:
      return "mdio";
    case CHIP_BUS_I2C:
      return "i2c";
    default:
      return "no";
  }
}

}  // namespace

int32_t refuse_access(uint32_t trace_kind, uint32_t bus, const char *function, uint32_t dev,
                      uint32_t width, uint32_t addr, uint32_t value, const char *reason) {
  hdk_debug(dev, kLogLevel, "\r\n%s(%u, 0x%x): %s", function, dev, addr, reason);
  if (trace_kind == CHIP_TRACE_BUS_READ) {
    CHIP_UTIL_PROBE(bus_read, bus, dev, width, addr, 0u, -1);
  } else {
    CHIP_UTIL_PROBE(bus_write, bus, dev, width, addr, value, -1);
  }
  if (chip_trace::enabled()) {
    chip_trace::bus_event(trace_kind, bus, dev, width, addr,
                          trace_kind == CHIP_TRACE_BUS_READ ? 0u : value, -1);
  }
  return -1;
}

int32_t refuse_slot(uint32_t trace_kind, uint32_t bus, const char *function, uint32_t dev,
                    uint32_t width, uint32_t addr, uint32_t value) {
  char reason[96];
  if (dev >= HDK_MAX_DEV_NUM) {
    std::snprintf(reason, sizeof reason, "device number above %u", HDK_MAX_DEV_NUM - 1);
  } else if (g_slots[dev].kind == CHIP_BUS_NONE) {
    std::snprintf(reason, sizeof reason, "no bus attached to device %u", dev);
  } else {
    std::snprintf(reason, sizeof reason, "device %u has an %s bus attached, not %s", dev,
                  bus_name(g_slots[dev].kind), bus_name(bus));
  }
  return refuse_access(trace_kind, bus, function, dev, width, addr, value, reason);
}

int32_t refuse_attach(const char *function, uint32_t dev, const char *reason) {
  hdk_debug(dev, kLogLevel, "\r\n%s(%u, ...): %s", function, dev, reason);
  return -1;
}

Slot *free_slot(const char *function, uint32_t dev) {
  if (dev >= HDK_MAX_DEV_NUM) {
    refuse_attach(function, dev, "device number above 319");
    return nullptr;
  }
  if (g_slots[dev].kind != CHIP_BUS_NONE) {
    char reason[64];
    std::snprintf(reason, sizeof reason, "an %s bus is attached already; detach it first",
                  bus_name(g_slots[dev].kind));
    refuse_attach(function, dev, reason);
    return nullptr;
  }
  return &g_slots[dev];
}

}  // namespace chip_bus

using chip_bus::g_slots;

extern "C" int32_t chip_bus_detach(uint32_t dev) {
  if (dev >= HDK_MAX_DEV_NUM || g_slots[dev].kind == CHIP_BUS_NONE) {
    return -1;
  }
  chip_bus::Slot &slot = g_slots[dev];
  switch (slot.kind) {
    case CHIP_BUS_MMIO:
      if (slot.mmio.mapping != nullptr) {
        munmap(slot.mmio.mapping, slot.mmio.mapping_length);
      }
      break;
    case CHIP_BUS_MDIO:
      close(slot.mdio.fd);
      break;
    case CHIP_BUS_I2C:
      close(slot.i2c.fd);
      break;
    default:
      break;
  }
  slot = chip_bus::Slot{};
  return 0;
}

extern "C" uint32_t chip_bus_kind(uint32_t dev) {
  return dev < HDK_MAX_DEV_NUM ? g_slots[dev].kind : CHIP_BUS_NONE;
}

extern "C" uint64_t chip_mmio_size(uint32_t dev) {
  return chip_bus_kind(dev) == CHIP_BUS_MMIO ? g_slots[dev].mmio.size : 0;
}

extern "C" int32_t chip_bus_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value) {
  switch (chip_bus_kind(dev)) {
    case CHIP_BUS_MMIO:
      return chip_bus::mmio_read(dev, width, addr, value);
    case CHIP_BUS_MDIO:
      return chip_bus::mdio_read(dev, width, addr, value);
    case CHIP_BUS_I2C:
      return chip_bus::i2c_read(dev, width, addr, value);
    default:
      return chip_bus::refuse_slot(CHIP_TRACE_BUS_READ, CHIP_BUS_NONE, "chip_bus_read", dev,
                                   width, addr, 0);
  }
}

extern "C" int32_t chip_bus_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value) {
  switch (chip_bus_kind(dev)) {
    case CHIP_BUS_MMIO:
      return chip_bus::mmio_write(dev, width, addr, value);
    case CHIP_BUS_MDIO:
      return chip_bus::mdio_write(dev, width, addr, value);
    case CHIP_BUS_I2C:
      return chip_bus::i2c_write(dev, width, addr, value);
    default:
      return chip_bus::refuse_slot(CHIP_TRACE_BUS_WRITE, CHIP_BUS_NONE, "chip_bus_write", dev,
                                   width, addr, value);
  }
}
