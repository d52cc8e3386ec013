// Many threads reading and writing fields of one shared register table at
// once, each on registers of its own (instance t belongs to thread t),
// through access functions that are safe on any thread. Every thread checks
// each read against the value it wrote last, so that a write that disturbed
// another field, element or thread's register shows up. Refused accesses
// run alongside, each printing its message once.
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kThreads = 8;
constexpr uint32_t kDevices = 4;  // threads t and t + 4 share a device
constexpr uint32_t kChipId = 7;   // every device resolves to this chip's table
constexpr uint32_t kRounds = 20000;
constexpr uint32_t kInstWords = 16;  // addresses per instance

// One bank of atomic words per device, zero at the start, so that the
// access functions take no lock; an address outside it answers with a
// status the test sees.
std::atomic<uint32_t> g_bank[kDevices][kThreads * kInstWords];

int32_t bank_read(uint32_t dev, uint32_t addr, uint32_t *value) {
  if (dev >= kDevices || addr >= kThreads * kInstWords) return 0x5A;
  *value = g_bank[dev][addr].load(std::memory_order_relaxed);
  return 0;
}
int32_t bank_write(uint32_t dev, uint32_t addr, uint32_t value) {
  if (dev >= kDevices || addr >= kThreads * kInstWords) return 0x5A;
  g_bank[dev][addr].store(value, std::memory_order_relaxed);
  return 0;
}
const hdk_reg_ops kBankOps = {nullptr, nullptr, bank_read, bank_write};

uint32_t to_shared_chip(uint32_t) { return kChipId; }

// The records of each instance: three fields sharing the register at 0, a
// whole register at 1, eight 3-bit fields at addresses 2-9, and four
// bit-indexed 4-bit fields from bit 24 of the register at 10 in steps of 4
// bits, the last two of which carry into the register at 14.
const hdk_reg_info kRegs[] = {
    HDK_REG32_FIELD(0, 0, 5),   HDK_REG32_FIELD(0, 5, 11),
    HDK_REG32_FIELD(0, 16, 16), HDK_REG32_WHOLE(1),
    HDK_REG_INFO(2, 4, 4, 3, 8, 1, 0), HDK_REG_INFO(10, 4, 24, 4, 4, 4, HDK_REG_BIT_INDEXED)};
constexpr uint32_t kBits[] = {5, 11, 16, 32, 3, 4};
constexpr uint32_t kElems[] = {1, 1, 1, 1, 8, 4};
constexpr uint32_t kRegCount = std::size(kRegs);

// Thread t: random field writes and reads, each read checked against the
// value written last, and every 50th round a refused read of an element past
// the array, which must store nothing.
void run_thread(uint32_t t, uint32_t &mismatches) {
  const uint32_t dev = t % kDevices;
  std::mt19937 random(0xC0FFEEu + t);
  uint32_t fields[kRegCount][8] = {};  // the registers start as 0
  for (uint32_t round = 0; round < kRounds; ++round) {
    const uint32_t r = random() % kRegCount;
    const uint32_t elem = random() % kElems[r];
    if (random() % 2 != 0) {
      fields[r][elem] = static_cast<uint32_t>(random() % (uint64_t{1} << kBits[r]));
      mismatches += hdk_write_reg32_field(dev, t, r, elem, fields[r][elem]) != 0;
    }
    uint32_t value = ~fields[r][elem];
    mismatches += hdk_read_reg32_field(dev, t, r, elem, &value) != 0 || value != fields[r][elem];
    if (round % 50 == 0) {
      mismatches += hdk_read_reg32_field(dev, t, r, kElems[r], &value) != -1 ||
                    value != fields[r][elem];
    }
  }
}

TEST(SharedTableStress, FieldAccessOnDistinctRegistersStaysExact) {
  hdk_reg_inst insts[kThreads];
  for (uint32_t t = 0; t < kThreads; ++t) insts[t] = {t * kInstWords, 0, 0, kRegCount, kRegs};
  const hdk_reg_module module = {0, kThreads, insts, 0, 0};
  hdk_chip_reg_table table = {0, 1, &module, {0, 0, 0, 0, 0}, &kBankOps};
  // Registration completes before any thread touches a device.
  for (uint32_t dev = 0; dev < kDevices; ++dev) hdk_register_reg_chip_id(dev, to_shared_chip);
  ASSERT_EQ(hdk_register_reg(0, &table), 0);

  chip_test::PrintCapture capture;
  std::vector<uint32_t> mismatches(kThreads);
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back(run_thread, t, std::ref(mismatches[t]));
  }
  for (std::thread &thread : threads) thread.join();

  EXPECT_EQ(mismatches, std::vector<uint32_t>(kThreads, 0));
  EXPECT_EQ(capture.calls().size(), kThreads * kRounds / 50) << "one message per refusal";
  for (uint32_t dev = 0; dev < kDevices; ++dev) hdk_register_reg_chip_id(dev, nullptr);
  g_hdk_chip_reg[kChipId] = nullptr;
}

}  // namespace
