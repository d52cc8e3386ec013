// SPDX-License-Identifier: Apache-2.0
// The trace callback: the exact records of bus accesses and of field
// reads, writes and refusals, in order; and field functions that return,
// log and access exactly the same with a callback registered as without.
#include <chip_util/bus.h>
#include <chip_util/sim.h>
#include <chip_util/trace.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kDev = 31;

struct Seen {
  uint32_t kind, bus, dev, width, addr, value;
  int32_t status;
  uint32_t inst, reg_id, elem;
  std::string function;
  bool operator==(const Seen &) const = default;
};

void PrintTo(const Seen &s, std::ostream *os) {
  *os << "{kind " << s.kind << " bus " << s.bus << " dev " << s.dev << " w" << s.width << " addr 0x"
      << std::hex << s.addr << " value 0x" << s.value << std::dec << " status " << s.status
      << " inst " << s.inst << " reg " << s.reg_id << " elem " << s.elem << " " << s.function
      << "}";
}

void collect(void *context, const chip_trace_event *e) {
  static_cast<std::vector<Seen> *>(context)->push_back(
      {e->kind, e->bus, e->dev, e->width, e->addr, e->value, e->status, e->inst, e->reg_id,
       e->elem, e->function != nullptr ? e->function : ""});
}

Seen bus(uint32_t kind, uint32_t width, uint32_t addr, uint32_t value, int32_t status) {
  return {kind, CHIP_BUS_MMIO, kDev, width, addr, value, status, 0, 0, 0, ""};
}
Seen field(uint32_t kind, uint32_t width, uint32_t reg_id, uint32_t value, int32_t status,
           const char *function) {
  return {kind, CHIP_BUS_NONE, kDev, width, 0, value, status, 1, reg_id, 0, function};
}

// Instance 1 at 0x40 of a 0x100-byte register window.
const hdk_reg_info kRegs[] = {HDK_REG32_FIELD(0x8, 4, 4), HDK_REG16_FIELD(0x12, 0, 8),
                              HDK_REG32_WHOLE(0xC0)};
const hdk_reg_inst kInsts[] = {{0, 0, 0, 3, kRegs}, {0x40, 0, 0, 3, kRegs}};
const hdk_reg_module kModule = {0, 2, kInsts, 0, 0};

TEST(Trace, BusAndFieldRecordsInOrder) {
  alignas(4) static uint8_t window[0x100];
  window[0x48] = 0xA5;
  ASSERT_EQ(chip_mmio_attach_memory(kDev, window, sizeof window), 0);
  hdk_chip_reg_table table = {0, 1, &kModule, {0, 0, 0, 0, 0}, &chip_mmio_reg_ops};
  ASSERT_EQ(hdk_register_reg(kDev, &table), 0);
  std::vector<Seen> seen;
  chip_trace_register(collect, &seen);
  const hdk_printf_func print = g_hdk_printf_func;
  hdk_printf_func_register(nullptr);
  uint32_t value = 0;
  uint16_t half = 0;
  EXPECT_EQ(hdk_write_reg32_field(kDev, 1, 0, 0, 0x3), 0);
  EXPECT_EQ(hdk_read_reg16_field(kDev, 1, 1, 0, &half), 0);
  EXPECT_EQ(hdk_write_reg32_field(kDev, 1, 0, 0, 0x10), -1);  // too wide: refused
  EXPECT_EQ(hdk_read_reg32_field(kDev, 1, 2, 0, &value), -1);  // past the window: bus refusal
  EXPECT_EQ(hdk_read_reg32_field(kDev, 1, 9, 0, &value), -1);  // no such register
  const chip_trace_event own = {CHIP_TRACE_BUS_WRITE, CHIP_BUS_OTHER, 7, 32, 0x10, 0x55, 0, 0, 0,
                                0, nullptr};
  chip_trace_emit(&own);
  chip_trace_emit(nullptr);
  chip_trace_register(nullptr, nullptr);
  EXPECT_EQ(hdk_write_reg32_field(kDev, 1, 0, 0, 0x4), 0);
  chip_trace_emit(&own);
  hdk_printf_func_register(print);
  const std::vector<Seen> expected = {
      bus(CHIP_TRACE_BUS_READ, 32, 0x48, 0xA5, 0),
      bus(CHIP_TRACE_BUS_WRITE, 32, 0x48, 0x35, 0),
      field(CHIP_TRACE_FIELD_WRITE, 32, 0, 0x3, 0, "hdk-write-reg32-field"),
      bus(CHIP_TRACE_BUS_READ, 16, 0x52, 0, 0),
      field(CHIP_TRACE_FIELD_READ, 16, 1, 0, 0, "hdk_read_reg16_field"),
      field(CHIP_TRACE_FIELD_REFUSED, 32, 0, 0x10, -1, "hdk-write-reg32-field"),
      bus(CHIP_TRACE_BUS_READ, 32, 0x100, 0, -1),
      field(CHIP_TRACE_FIELD_READ, 32, 2, 0, -1, "hdk_read_reg32_field"),
      field(CHIP_TRACE_FIELD_REFUSED, 32, 9, 0, -1, "hdk_read_reg32_field"),
      {CHIP_TRACE_BUS_WRITE, CHIP_BUS_OTHER, 7, 32, 0x10, 0x55, 0, 0, 0, 0, ""},
  };
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(window[0x48], 0x45);
  g_hdk_chip_reg[kDev] = nullptr;
  chip_bus_detach(kDev);
}

// The same calls on the simulated chip with and without a callback: same
// results, same messages, same accesses, same values.
TEST(Trace, FieldFunctionsUnchangedByTracing) {
  hdk_chip_reg_table table = {0, 1, &kModule, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};
  ASSERT_EQ(hdk_register_reg(kDev, &table), 0);
  using Outcome = std::tuple<std::vector<int32_t>, std::vector<std::string>,
                             std::vector<std::tuple<uint32_t, uint32_t, int32_t, int>>>;
  const auto run = [] {
    chip_sim_reset();
    chip_sim_set_reset_value(0xF5F5F5F5);
    const int32_t statuses[] = {0, 3, 0, 0, 5};
    chip_sim_queue_statuses(statuses, 5);
    chip_test::PrintCapture capture;
    std::vector<int32_t> results;
    uint32_t value = 0;
    uint16_t half = 0;
    results.push_back(hdk_write_reg32_field(kDev, 1, 0, 0, 0x9));
    results.push_back(hdk_read_reg32_field(kDev, 1, 0, 0, &value));
    results.push_back(static_cast<int32_t>(value));
    results.push_back(hdk_write_reg16_field(kDev, 1, 1, 0, 0x100));
    results.push_back(hdk_write_reg16_field(kDev, 1, 1, 0, 0x7E));
    results.push_back(hdk_read_reg16_field(kDev, 1, 1, 0, &half));
    results.push_back(half);
    results.push_back(hdk_read_reg32_field(kDev, 1, 2, 0, nullptr));
    results.push_back(hdk_write_reg16_field(kDev, 1, 0, 0, 1));
    results.push_back(hdk_write_reg32_field(kDev, 2, 0, 0, 1));
    std::vector<std::tuple<uint32_t, uint32_t, int32_t, int>> accesses;
    for (size_t i = 0; i < chip_sim_log_count(); ++i) {
      const chip_sim_access &a = chip_sim_log()[i];
      accesses.emplace_back(a.addr, a.value, a.status, a.kind);
    }
    return Outcome{results, capture.calls(), accesses};
  };
  const Outcome untraced = run();
  std::vector<Seen> seen;
  chip_trace_register(collect, &seen);
  const Outcome traced = run();
  chip_trace_register(nullptr, nullptr);
  EXPECT_EQ(traced, untraced);
  EXPECT_EQ(std::get<1>(traced).size(), 3u);  // the three logged refusals
  EXPECT_EQ(seen.size(), 8u);                  // 4 completed calls, 4 refusals
  g_hdk_chip_reg[kDev] = nullptr;
}

}  // namespace
