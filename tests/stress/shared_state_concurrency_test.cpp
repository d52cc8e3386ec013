// SPDX-License-Identifier: Apache-2.0
// Many threads at once, each on state of its own within shared tables. A
// thread reads and writes the fields of its own registers in one register
// table, checking each read against the value it wrote last (so that a
// write that disturbed another field or thread's register shows up); makes
// random counted allocations and releases under a heap module of its own,
// checking the counters against a model after every step, and releases some
// blocks under a module that all threads share, which refuses them on
// unlocked counters (updates may be lost there, but must not race); prints
// a line through hdk_debug at every step, each of which that its level lets
// through must arrive exactly once; and increments a shared plain counter
// under the int lock.
#include <chip_util/log.h>
#include <chip_util/osal.h>
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kThreads = 8;  // thread t: register instance t, heap module 1 + t
constexpr int kSteps = 3000;

// Plain words: a thread that touched another's register would race with it.
uint32_t g_bank[kThreads * 8];
int32_t bank_read(uint32_t, uint32_t addr, uint32_t *value) {
  *value = g_bank[addr];
  return 0;
}
int32_t bank_write(uint32_t, uint32_t addr, uint32_t value) {
  g_bank[addr] = value;
  return 0;
}
const hdk_reg_ops kOps = {nullptr, nullptr, bank_read, bank_write};
// Sixteen 4-bit fields, eight in the register at 0 and eight at 4.
const hdk_reg_info kReg = HDK_REG_INFO(0, 4, 0, 4, 16, 4, HDK_REG_BIT_INDEXED);

void *g_lock = nullptr;
long g_locked_count = 0;

void run(uint32_t t) {
  const uint32_t module = 1 + t;
  std::mt19937 rng(t);
  uint32_t fields[16] = {};  // the registers start as 0
  osal_malloc_counters model = g_osal_malloc_data[module];
  std::vector<std::pair<unsigned char *, uint32_t>> live;
  for (int step = 1; step <= kSteps; ++step) {
    ASSERT_EQ(osal_int_lock(&g_lock), g_lock);
    g_locked_count = g_locked_count + 1;
    osal_int_unlock(&g_lock);
    hdk_debug(0, step % 4, "%u:%d\n", t, step);  // level 0 is filtered out

    const uint32_t elem = rng() % 16;
    if (rng() % 2 != 0) {
      fields[elem] = rng() % 16;
      ASSERT_EQ(hdk_write_reg32_field(0, t, 0, elem, fields[elem]), 0);
    }
    uint32_t value = ~fields[elem];
    ASSERT_EQ(hdk_read_reg32_field(0, t, 0, elem, &value), 0);
    ASSERT_EQ(value, fields[elem]) << "thread " << t << ", element " << elem;

    if (rng() % 2 != 0) {
      const uint32_t size = 1 + rng() % 300;
      auto *area = static_cast<unsigned char *>(osal_malloc_zero_sdk(module, size));
      ASSERT_NE(area, nullptr);
      ASSERT_EQ(std::count(area, area + size, 0), size);
      std::memset(area, 1, size);  // so that a reused block that was not zeroed shows
      model.malloc_size += size;
      model.malloc_count += 1;
      live.insert(live.begin() + rng() % (live.size() + 1), {area, size});  // released from the back
    } else if (!live.empty()) {
      const auto [area, size] = live.back();
      live.pop_back();
      // Under a module no thread allocates under: refused, freed all the same.
      const bool stranger = rng() % 4 == 0;
      osal_free_sdk(stranger ? OSAL_MODULE_COUNT - 1 : module, area);
      model.malloc_size -= stranger ? 0 : size;
      model.free_count += stranger ? 0 : 1;
    }
    ASSERT_EQ(std::memcmp(&model, &g_osal_malloc_data[module], sizeof model), 0) << "step " << step;
  }
  for (const auto &block : live) osal_free_sdk(module, block.first);
}

TEST(Stress, ThreadsShareTablesPrintingHeapAndLock) {
  hdk_reg_inst insts[kThreads];
  for (uint32_t t = 0; t < kThreads; ++t) insts[t] = {t * 8, 0, 0, 1, &kReg};
  const hdk_reg_module regs = {0, kThreads, insts, 0, 0};
  hdk_chip_reg_table table = {0, 1, &regs, {}, &kOps};
  ASSERT_EQ(hdk_register_reg(0, &table), 0);  // before any thread accesses it
  chip_test::PrintCapture capture;
  ASSERT_EQ(osal_int_lock_init(&g_lock), 0);
  ASSERT_EQ(osal_int_lock(&g_lock), g_lock);
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < kThreads; ++t) threads.emplace_back(run, t);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(g_locked_count, 0) << "the threads wait while the lock is held";
  osal_int_unlock(&g_lock);
  for (auto &thread : threads) thread.join();
  EXPECT_EQ(g_locked_count, kThreads * kSteps);
  EXPECT_EQ(osal_int_lock_destroy(&g_lock), 0);

  std::multiset<std::string> expected;
  for (uint32_t t = 0; t < kThreads; ++t) {
    for (int step = 1; step <= kSteps; ++step) {
      if (step % 4 != 0) expected.insert(std::to_string(t) + ":" + std::to_string(step) + "\n");
    }
  }
  EXPECT_EQ(std::multiset<std::string>(capture.calls().begin(), capture.calls().end()), expected);
}

}  // namespace
