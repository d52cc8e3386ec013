// SPDX-License-Identifier: Apache-2.0
// Threads doing field writes over MMIO on their own device numbers while a
// trace callback is registered: every record arrives, each thread's
// registers end as written.
#include <chip_util/bus.h>
#include <chip_util/trace.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kFirstDev = 40;
constexpr uint32_t kThreads = 4;
constexpr uint32_t kWrites = 2000;

std::atomic<uint32_t> g_records{0};

void count(void *, const chip_trace_event *) { g_records.fetch_add(1, std::memory_order_relaxed); }

TEST(TraceConcurrency, EveryRecordOfEveryThread) {
  const hdk_reg_info regs[] = {HDK_REG32_FIELD(0x0, 0, 16)};
  const hdk_reg_inst inst = {0, 0, 0, 1, regs};
  const hdk_reg_module module = {0, 1, &inst, 0, 0};
  hdk_chip_reg_table table = {0, 1, &module, {0, 0, 0, 0, 0}, &chip_mmio_reg_ops};
  alignas(4) static uint32_t windows[kThreads][4];
  for (uint32_t t = 0; t < kThreads; ++t) {
    ASSERT_EQ(chip_mmio_attach_memory(kFirstDev + t, windows[t], sizeof windows[t]), 0);
    ASSERT_EQ(hdk_register_reg(kFirstDev + t, &table), 0);
  }
  chip_trace_register(count, nullptr);
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (uint32_t i = 0; i < kWrites; ++i) {
        EXPECT_EQ(hdk_write_reg32_field(kFirstDev + t, 0, 0, 0, i), 0);
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  chip_trace_register(nullptr, nullptr);
  EXPECT_EQ(g_records.load(), kThreads * kWrites * 3);  // read, write, field write
  for (uint32_t t = 0; t < kThreads; ++t) {
    EXPECT_EQ(windows[t][0], kWrites - 1);
    g_hdk_chip_reg[kFirstDev + t] = nullptr;
    chip_bus_detach(kFirstDev + t);
  }
}

}  // namespace
