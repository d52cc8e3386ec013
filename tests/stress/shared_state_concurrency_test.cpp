// Many threads at once, each on state of its own within shared tables. A
// thread reads and writes fields of its own registers in one register
// table, checking each read against the value it wrote last (so that a
// write that disturbed another field or thread's register shows up); makes
// random counted allocations and releases under a heap module of its own,
// checking the counters against a model after every step (they take no
// lock and may lose updates between threads that share a module); prints a
// line through hdk_debug at every step, each of which must arrive exactly
// once; and increments a shared plain counter under the int lock.
#include <chip_util/log.h>
#include <chip_util/osal.h>
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kThreads = 8;  // thread t: register instance t, heap module 1 + t
constexpr int kSteps = 3000;
constexpr uint32_t kWords = 9;     // register addresses per instance
constexpr uint32_t kStranger = 9;  // a module no thread owns: releases under it are refused

// Plain words: a thread that touched another's register would race with it.
uint32_t g_bank[kThreads * kWords];
int32_t bank_read(uint32_t, uint32_t addr, uint32_t *value) {
  *value = g_bank[addr];
  return 0;
}
int32_t bank_write(uint32_t, uint32_t addr, uint32_t value) {
  g_bank[addr] = value;
  return 0;
}
const hdk_reg_ops kOps = {nullptr, nullptr, bank_read, bank_write};
// Two fields sharing the register at 0, eight 3-bit fields at 1 to 8.
const hdk_reg_info kRegs[] = {HDK_REG32_FIELD(0, 0, 5), HDK_REG32_FIELD(0, 5, 27),
                              HDK_REG_INFO(1, 4, 4, 3, 8, 1, 0)};
constexpr uint32_t kBits[] = {5, 27, 3};
constexpr uint32_t kElems[] = {1, 1, 8};

void *g_lock = nullptr;
long g_locked_count = 0;

void run(uint32_t t) {
  const uint32_t module = 1 + t;
  const auto fill = static_cast<unsigned char>(t + 1);
  const auto filled = [](unsigned char *area, uint32_t size, unsigned char with) {
    return std::all_of(area, area + size, [with](unsigned char b) { return b == with; });
  };
  std::mt19937 rng(t);
  uint32_t fields[3][8] = {};  // the registers start as 0
  osal_malloc_counters model = g_osal_malloc_data[module];
  std::vector<std::pair<unsigned char *, uint32_t>> live;
  alignas(8) unsigned char untagged[16] = {};
  for (int step = 0; step <= kSteps; ++step) {
    ASSERT_EQ(osal_int_lock(&g_lock), g_lock);
    g_locked_count = g_locked_count + 1;
    osal_int_unlock(&g_lock);
    hdk_debug(0, step % 4, "thread %u step %d\n", t, step);  // level 0 is filtered out

    const uint32_t r = rng() % 3;
    const uint32_t elem = rng() % kElems[r];
    if (rng() % 2 != 0) {
      fields[r][elem] = rng() % (1u << kBits[r]);
      ASSERT_EQ(hdk_write_reg32_field(0, t, r, elem, fields[r][elem]), 0);
    }
    uint32_t value = ~fields[r][elem];
    ASSERT_EQ(hdk_read_reg32_field(0, t, r, elem, &value), 0);
    ASSERT_EQ(value, fields[r][elem]) << "thread " << t << ", record " << r << ", element " << elem;

    const unsigned action = step == kSteps ? 4 : rng() % 8;  // the last step releases all
    if (action < 4) {
      // Plain or zeroed; refused for 0 bytes, a size whose header does not
      // fit 32 bits, or a module outside the table.
      const uint32_t size = rng() % 40 == 0 ? UINT32_MAX - 7 * (rng() % 2) : rng() % 300;
      const uint32_t where = rng() % 40 == 0 ? OSAL_MODULE_COUNT : module;
      auto *area = static_cast<unsigned char *>(action % 2 ? osal_malloc_sdk(where, size)
                                                           : osal_malloc_zero_sdk(where, size));
      ASSERT_EQ(area != nullptr, size != 0 && size < 300 && where == module) << size;
      if (area == nullptr) continue;
      const uint32_t header[2] = {OSAL_BLOCK_TAG(module), size};
      ASSERT_EQ(std::memcmp(area - OSAL_BLOCK_HEADER_SIZE, header, sizeof header), 0);
      ASSERT_TRUE(action % 2 != 0 || filled(area, size, 0));
      std::memset(area, fill, size);  // another thread's block landing on it would show
      model.malloc_size += size;
      model.malloc_count += 1;
      live.emplace_back(area, size);
    } else if (action < 7) {
      // Under its own module, verified; under the stranger, refused there
      // (unchecked: the threads share its counters) and freed all the same.
      for (size_t n = step == kSteps ? live.size() : std::min<size_t>(live.size(), 1); n > 0; --n) {
        std::swap(live[rng() % live.size()], live.back());
        const auto [area, size] = live.back();
        live.pop_back();
        ASSERT_TRUE(filled(area, size, fill));
        osal_free_sdk(action == 6 ? kStranger : module, area);
        model.malloc_size -= action == 6 ? 0 : size;
        model.free_count += action == 6 ? 0 : 1;
      }
    } else {
      // Refused without touching the heap; untagged memory counts an error.
      const unsigned which = rng() % 3;
      osal_free_sdk(which == 2 ? OSAL_MODULE_COUNT : module, which == 0 ? nullptr : untagged + 8);
      model.free_error_count += which == 1 ? 1 : 0;
    }
    ASSERT_EQ(std::memcmp(&model, &g_osal_malloc_data[module], sizeof model), 0) << "step " << step;
  }
  EXPECT_TRUE(filled(untagged, sizeof untagged, 0)) << "a refused release writes nothing";
}

TEST(Stress, ThreadsShareTablesPrintingHeapAndLock) {
  hdk_reg_inst insts[kThreads];
  for (uint32_t t = 0; t < kThreads; ++t) insts[t] = {t * kWords, 0, 0, 3, kRegs};
  const hdk_reg_module regs = {0, kThreads, insts, 0, 0};
  hdk_chip_reg_table table = {0, 1, &regs, {}, &kOps};
  ASSERT_EQ(hdk_register_reg(0, &table), 0);  // before any thread accesses it
  chip_test::PrintCapture capture;
  ASSERT_EQ(osal_int_lock_init(&g_lock), 0);
  ASSERT_EQ(osal_int_lock(&g_lock), g_lock);
  {
    std::vector<std::jthread> threads;
    for (uint32_t t = 0; t < kThreads; ++t) threads.emplace_back(run, t);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(g_locked_count, 0) << "the threads wait while the lock is held";
    osal_int_unlock(&g_lock);
  }
  EXPECT_EQ(g_locked_count, kThreads * (kSteps + 1));
  EXPECT_EQ(osal_int_lock_destroy(&g_lock), 0);
  EXPECT_EQ(g_lock, nullptr);
  g_hdk_chip_reg[0] = nullptr;

  std::vector<std::string> expected;
  for (uint32_t t = 0; t < kThreads; ++t) {
    for (int step = 1; step <= kSteps; ++step) {
      const std::string line = "thread " + std::to_string(t) + " step " + std::to_string(step);
      if (step % 4 != 0) expected.push_back(line + "\n");
    }
  }
  std::vector<std::string> printed = capture.calls();
  std::sort(printed.begin(), printed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(printed, expected);
}

}  // namespace
