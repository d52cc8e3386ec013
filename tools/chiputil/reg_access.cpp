// SPDX-License-Identifier: Apache-2.0
#include "reg_access.hpp"

#include <chip_util/bus.h>
#include <chip_util/sim.h>
#include <chip_util/trace.h>

#include <cstdio>
#include <cstring>

namespace chiputil {
namespace {

void emit(uint32_t kind, uint32_t dev, uint32_t width, uint32_t addr, uint32_t value,
          int32_t status) {
  const chip_trace_event event = {kind, CHIP_BUS_OTHER, dev, width, addr, value, status, 0, 0, 0,
                                  nullptr};
  chip_trace_emit(&event);
}

// The simulated chip's access functions, each access reported to the trace
// callback as the bus backends report theirs. A 16-bit register has a
// 16-bit address, so the address has the register's type.
template <typename Word>
int32_t sim_read(uint32_t dev, Word addr, Word *value) {
  int32_t status = 0;
  if constexpr (sizeof(Word) == 2) {
    status = chip_sim_reg_ops.read16(dev, addr, value);
  } else {
    status = chip_sim_reg_ops.read32(dev, addr, value);
  }
  emit(CHIP_TRACE_BUS_READ, dev, 8 * sizeof(Word), addr, status == 0 ? *value : 0, status);
  return status;
}

template <typename Word>
int32_t sim_write(uint32_t dev, Word addr, Word value) {
  int32_t status = 0;
  if constexpr (sizeof(Word) == 2) {
    status = chip_sim_reg_ops.write16(dev, addr, value);
  } else {
    status = chip_sim_reg_ops.write32(dev, addr, value);
  }
  emit(CHIP_TRACE_BUS_WRITE, dev, 8 * sizeof(Word), addr, value, status);
  return status;
}

const hdk_reg_ops kTracedSim = {sim_read<uint16_t>, sim_write<uint16_t>, sim_read<uint32_t>,
                                 sim_write<uint32_t>};

const char *bus_name(uint32_t bus) {
  switch (bus) {
    case CHIP_BUS_MMIO:
      return "mmio";
    case CHIP_BUS_MDIO:
      return "mdio";
    case CHIP_BUS_I2C:
      return "i2c";
    default:
      return "sim";
  }
}

void print_event(void *, const chip_trace_event *e) {
  switch (e->kind) {
    case CHIP_TRACE_BUS_READ:
    case CHIP_TRACE_BUS_WRITE:
      std::fprintf(stderr, "trace: %s %s%u 0x%x %s 0x%x status %d\n", bus_name(e->bus),
                   e->kind == CHIP_TRACE_BUS_READ ? "read" : "write", e->width, e->addr,
                   e->kind == CHIP_TRACE_BUS_READ ? "->" : "<-", e->value, e->status);
      break;
    case CHIP_TRACE_FIELD_READ:
    case CHIP_TRACE_FIELD_WRITE:
    case CHIP_TRACE_FIELD_REFUSED:
      std::fprintf(stderr, "trace: field %s %s(%u, %u, 0x%x, %u) value 0x%x status %d\n",
                   e->kind == CHIP_TRACE_FIELD_READ    ? "read"
                   : e->kind == CHIP_TRACE_FIELD_WRITE ? "write"
                                                       : "refused",
                   e->function, e->dev, e->inst, e->reg_id, e->elem, e->value, e->status);
      break;
    default:
      break;
  }
}

}  // namespace

const hdk_reg_ops *ops_for(BusKind kind) {
  switch (kind) {
    case BusKind::mmio:
      return &chip_mmio_reg_ops;
    case BusKind::mdio:
      return &chip_mdio_reg_ops;
    case BusKind::i2c:
      return &chip_i2c_reg_ops;
    case BusKind::sim:
      break;
  }
  return &kTracedSim;
}

int32_t read_at(BusKind kind, uint32_t width, uint32_t addr, uint32_t *value) {
  if (kind != BusKind::sim) {
    return chip_bus_read(kToolDev, width, addr, value);
  }
  if (width == 32) {
    return sim_read<uint32_t>(kToolDev, addr, value);
  }
  uint16_t half = 0;
  const int32_t status = sim_read<uint16_t>(kToolDev, static_cast<uint16_t>(addr), &half);
  *value = half;
  return status;
}

int32_t write_at(BusKind kind, uint32_t width, uint32_t addr, uint32_t value) {
  if (kind != BusKind::sim) {
    return chip_bus_write(kToolDev, width, addr, value);
  }
  return width == 32 ? sim_write<uint32_t>(kToolDev, addr, value)
                     : sim_write<uint16_t>(kToolDev, static_cast<uint16_t>(addr),
                                           static_cast<uint16_t>(value));
}

std::string describe_failure(int32_t status, const std::string &logged) {
  if (!logged.empty()) {
    return logged;
  }
  if (status > 0) {
    return "bus error: " + std::string(std::strerror(status)) + " (status " +
           std::to_string(status) + ")";
  }
  return "access failed with status " + std::to_string(status);
}

void trace_to_stderr() { chip_trace_register(print_event, nullptr); }

}  // namespace chiputil
