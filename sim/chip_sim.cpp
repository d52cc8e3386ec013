// SPDX-License-Identifier: Apache-2.0
// The simulated chip: a sparse register bank with an access log and queued
// failure statuses, behind the four hdk_reg_ops access functions.
#include <chip_util/sim.h>

#include <cstring>

namespace {

// Open addressing with linear probing, at most half full.
constexpr uint32_t kSlotBits = 13;
constexpr uint32_t kSlots = 1u << kSlotBits;
static_assert(kSlots >= 2 * CHIP_SIM_MAX_REGS);

struct Slot {
  uint32_t dev;
  uint32_t addr;
  uint32_t value;
  bool used;
};

struct Sim {
  Slot slots[kSlots];
  uint32_t used_slots[CHIP_SIM_MAX_REGS];  // indexes of used slots, to reset quickly
  size_t reg_count;
  uint32_t reset_value;

  chip_sim_access log[CHIP_SIM_LOG_MAX];
  size_t log_count;
  size_t log_dropped;
  bool log_off;  // zero-initialised: logging is on from the start

  int32_t statuses[CHIP_SIM_STATUS_QUEUE_MAX];
  size_t status_head;
  size_t status_count;
};

Sim g_sim;

uint32_t home_slot(uint32_t dev, uint32_t addr) {
  const uint64_t key = (uint64_t{dev} << 32) | addr;
  return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
}

// The slot of (dev, addr), or the empty slot where it would go.
Slot &find_slot(uint32_t dev, uint32_t addr) {
  uint32_t i = home_slot(dev, addr);
  while (g_sim.slots[i].used && (g_sim.slots[i].dev != dev || g_sim.slots[i].addr != addr)) {
    i = (i + 1) & (kSlots - 1);
  }
  return g_sim.slots[i];
}

uint32_t load(uint32_t dev, uint32_t addr) {
  const Slot &slot = find_slot(dev, addr);
  return slot.used ? slot.value : g_sim.reset_value;
}

bool store(uint32_t dev, uint32_t addr, uint32_t value) {
  Slot &slot = find_slot(dev, addr);
  if (!slot.used) {
    if (g_sim.reg_count == CHIP_SIM_MAX_REGS) {
      return false;
    }
    slot = {dev, addr, 0, true};
    g_sim.used_slots[g_sim.reg_count++] = static_cast<uint32_t>(&slot - g_sim.slots);
  }
  slot.value = value;
  return true;
}

int32_t next_status() {
  if (g_sim.status_count == 0) {
    return 0;
  }
  const int32_t status = g_sim.statuses[g_sim.status_head];
  g_sim.status_head = (g_sim.status_head + 1) % CHIP_SIM_STATUS_QUEUE_MAX;
  --g_sim.status_count;
  return status;
}

void record(uint32_t dev, uint32_t addr, uint32_t value, int32_t status, chip_sim_kind kind,
            uint32_t width) {
  if (g_sim.log_off) {
    return;
  }
  if (g_sim.log_count == CHIP_SIM_LOG_MAX) {
    ++g_sim.log_dropped;
    return;
  }
  g_sim.log[g_sim.log_count++] = {dev, addr, value, status, kind, width};
}

template <typename Word>
int32_t sim_read(uint32_t dev, uint32_t addr, Word *value) {
  const int32_t status = next_status();
  uint32_t stored = 0;
  if (status == 0) {
    stored = static_cast<Word>(load(dev, addr));
    *value = static_cast<Word>(stored);
  }
  record(dev, addr, stored, status, CHIP_SIM_READ, 8 * sizeof(Word));
  return status;
}

template <typename Word>
int32_t sim_write(uint32_t dev, uint32_t addr, Word value) {
  int32_t status = next_status();
  if (status == 0 && !store(dev, addr, value)) {
    status = CHIP_SIM_STATUS_BANK_FULL;
  }
  record(dev, addr, value, status, CHIP_SIM_WRITE, 8 * sizeof(Word));
  return status;
}

int32_t read16(uint32_t dev, uint16_t addr, uint16_t *value) { return sim_read(dev, addr, value); }
int32_t write16(uint32_t dev, uint16_t addr, uint16_t value) { return sim_write(dev, addr, value); }
int32_t read32(uint32_t dev, uint32_t addr, uint32_t *value) { return sim_read(dev, addr, value); }
int32_t write32(uint32_t dev, uint32_t addr, uint32_t value) { return sim_write(dev, addr, value); }

}  // namespace

extern "C" {

const hdk_reg_ops chip_sim_reg_ops = {read16, write16, read32, write32};

const hdk_reg_ops *chip_sim_ops(void) { return &chip_sim_reg_ops; }

void chip_sim_reset(void) {
  for (size_t i = 0; i < g_sim.reg_count; ++i) {
    g_sim.slots[g_sim.used_slots[i]] = Slot{};
  }
  g_sim.reg_count = 0;
  g_sim.reset_value = 0;
  g_sim.log_count = 0;
  g_sim.log_dropped = 0;
  g_sim.log_off = false;
  g_sim.status_head = 0;
  g_sim.status_count = 0;
}

void chip_sim_set_reset_value(uint32_t value) { g_sim.reset_value = value; }

uint32_t chip_sim_peek(uint32_t dev, uint32_t addr) { return load(dev, addr); }

int chip_sim_poke(uint32_t dev, uint32_t addr, uint32_t value) {
  return store(dev, addr, value) ? 0 : -1;
}

int chip_sim_fail_next(size_t count, int32_t status) {
  if (count > CHIP_SIM_STATUS_QUEUE_MAX - g_sim.status_count) {
    return -1;
  }
  for (size_t i = 0; i < count; ++i) {
    g_sim.statuses[(g_sim.status_head + g_sim.status_count++) % CHIP_SIM_STATUS_QUEUE_MAX] =
        status;
  }
  return 0;
}

int chip_sim_queue_statuses(const int32_t *statuses, size_t count) {
  if (count > CHIP_SIM_STATUS_QUEUE_MAX - g_sim.status_count ||
      (statuses == nullptr && count != 0)) {
    return -1;
  }
  for (size_t i = 0; i < count; ++i) {
    g_sim.statuses[(g_sim.status_head + g_sim.status_count++) % CHIP_SIM_STATUS_QUEUE_MAX] =
        statuses[i];
  }
  return 0;
}

size_t chip_sim_queued_statuses(void) { return g_sim.status_count; }

size_t chip_sim_log_count(void) { return g_sim.log_count; }

const chip_sim_access *chip_sim_log(void) { return g_sim.log; }

size_t chip_sim_log_dropped(void) { return g_sim.log_dropped; }

void chip_sim_log_clear(void) {
  g_sim.log_count = 0;
  g_sim.log_dropped = 0;
}

void chip_sim_log_enable(int on) { g_sim.log_off = on == 0; }

}  // extern "C"
