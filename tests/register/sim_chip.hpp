// Test helpers for field access on the simulated chip: a chip of one
// record, field access of either width, the expected refusal messages, the
// access log as comparable values, and a fixture that leaves the registries
// and the simulator empty.
#pragma once

#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace chip_test {

// The device the field tests use.
constexpr uint32_t kDev = 3;

// One module, one instance at `base_addr`, one register record; accessed
// with reg_id 0 and instance 0.
struct OneRecordChip {
  hdk_reg_info reg;
  hdk_reg_inst inst;
  hdk_reg_module module;
  hdk_chip_reg_table table;

  OneRecordChip(uint32_t base_addr, const hdk_reg_info &record,
                const hdk_reg_ops *ops = &chip_sim_reg_ops)
      : reg(record),
        inst{base_addr, 0, 0, 1, &reg},
        module{0, 1, &inst, 0, 0},
        table{0, 1, &module, {0, 0, 0, 0, 0}, ops} {}
  OneRecordChip(const OneRecordChip &) = delete;
  OneRecordChip &operator=(const OneRecordChip &) = delete;
};

// Field reads and writes of a `width`-bit register, the value widened to 32 bits.
inline int32_t read_field(uint32_t width, uint32_t elem, uint32_t *value, uint32_t reg_id = 0,
                          uint32_t inst = 0) {
  if (width == 32) {
    return hdk_read_reg32_field(kDev, inst, reg_id, elem, value);
  }
  uint16_t narrow = value != nullptr ? static_cast<uint16_t>(*value) : 0;
  const int32_t status =
      hdk_read_reg16_field(kDev, inst, reg_id, elem, value != nullptr ? &narrow : nullptr);
  if (value != nullptr) {
    *value = narrow;
  }
  return status;
}
inline int32_t write_field(uint32_t width, uint32_t elem, uint32_t value, uint32_t reg_id = 0,
                           uint32_t inst = 0) {
  return width == 32
             ? hdk_write_reg32_field(kDev, inst, reg_id, elem, value)
             : hdk_write_reg16_field(kDev, inst, reg_id, elem, static_cast<uint16_t>(value));
}
inline const char *field_function(uint32_t width, bool write) {
  if (width == 32) {
    return write ? "hdk-write-reg32-field" : "hdk_read_reg32_field";
  }
  return write ? "hdk_write_reg16_field" : "hdk_read_reg16_field";
}

// The refusal message of `name` on kDev, with the refused value if any.
inline std::string field_message(const char *name, uint32_t elem,
                                 std::optional<uint32_t> value = std::nullopt,
                                 uint32_t code = 0xFFFFFFFF, uint32_t inst = 0,
                                 uint32_t reg_id = 0) {
  char text[160];
  if (value) {
    snprintf(text, sizeof text, "\r\n%s(%u, %u, 0x%x, %u, %u) error code 0x%x.", name, kDev, inst,
             reg_id, elem, *value, code);
  } else {
    snprintf(text, sizeof text, "\r\n%s(%u, %u, 0x%x, %u) error code 0x%x.", name, kDev, inst,
             reg_id, elem, code);
  }
  return text;
}

struct Access {
  chip_sim_kind kind;
  uint32_t width;
  uint32_t addr;
  uint32_t value;
  int32_t status;
  bool operator==(const Access &) const = default;
};

inline Access read_of(uint32_t width, uint32_t addr, uint32_t value, int32_t status = 0) {
  return {CHIP_SIM_READ, width, addr, value, status};
}
inline Access write_of(uint32_t width, uint32_t addr, uint32_t value, int32_t status = 0) {
  return {CHIP_SIM_WRITE, width, addr, value, status};
}

inline std::ostream &operator<<(std::ostream &out, const Access &a) {
  return out << (a.kind == CHIP_SIM_READ ? "read" : "write") << a.width << "(0x" << std::hex
             << a.addr << ") = 0x" << a.value << std::dec << " status " << a.status;
}

// The simulator's log since the last clear (device numbers left out: the
// tests use one device at a time and check it separately where it matters).
inline std::vector<Access> sim_log() {
  std::vector<Access> out;
  const chip_sim_access *log = chip_sim_log();
  for (size_t i = 0; i < chip_sim_log_count(); ++i) {
    out.push_back({log[i].kind, log[i].width, log[i].addr, log[i].value, log[i].status});
  }
  return out;
}

class SimChipTest : public ::testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override { clear(); }
  static void clear() {
    for (uint32_t i = 0; i < HDK_MAX_DEV_NUM; ++i) {
      g_hdk_regm_chip_cfg[i] = nullptr;
      g_hdk_chip_reg[i] = nullptr;
    }
    chip_sim_reset();
  }
};

}  // namespace chip_test
