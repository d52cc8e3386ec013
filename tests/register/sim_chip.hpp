// Test helpers for field access on the simulated chip: a chip of one
// record, the access log as comparable values, and a fixture that leaves
// the registries and the simulator empty.
#pragma once

#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace chip_test {

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
