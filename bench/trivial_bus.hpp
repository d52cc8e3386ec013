// SPDX-License-Identifier: Apache-2.0
// What the field benchmarks share: the cheapest access functions possible
// (one word in memory per register width), so that a figure shows the
// library's own cost, and the register layout they measure on: one field,
// bits 4-6, of a 32-bit register at 0x10 and of a 16-bit register at 0x20,
// whose instance 1 sits at kBase; and the baselines every ratio is taken
// against: the hand-written read-modify-write (or read) through the access
// functions, with the address and mask precomputed.
#pragma once

#include <chip_util/register.h>

#include <benchmark/benchmark.h>

#include <cstdint>

namespace chip_bench {

inline uint32_t g_word32;
inline uint16_t g_word16;

inline int32_t trivial_read16(uint32_t, uint16_t, uint16_t *value) {
  *value = g_word16;
  return 0;
}
inline int32_t trivial_write16(uint32_t, uint16_t, uint16_t value) {
  g_word16 = value;
  return 0;
}
inline int32_t trivial_read32(uint32_t, uint32_t, uint32_t *value) {
  *value = g_word32;
  return 0;
}
inline int32_t trivial_write32(uint32_t, uint32_t, uint32_t value) {
  g_word32 = value;
  return 0;
}
inline const hdk_reg_ops kTrivialOps = {trivial_read16, trivial_write16, trivial_read32,
                                        trivial_write32};

enum { kReg32 = 0, kReg16 = 1 };
inline const hdk_reg_info kRegs[] = {HDK_REG32_FIELD(0x10, 4, 3), HDK_REG16_FIELD(0x20, 4, 3)};
constexpr uint32_t kBase = 0x1000;
constexpr uint32_t kInst = 1;
inline const hdk_reg_inst kInsts[] = {{0, 0, 0, 2, kRegs}, {kBase, 0, 0, 2, kRegs}};
inline const hdk_reg_module kModules[] = {{0, 2, kInsts, 0, 0}};
constexpr uint32_t kAddr32 = kBase + 0x10;
constexpr uint16_t kAddr16 = kBase + 0x20;
constexpr uint32_t kStart = 4;
constexpr uint32_t kMask = 0x70;

template <uint32_t kDev, const hdk_reg_ops &kOps>
void write32_baseline(benchmark::State &state) {
  const hdk_reg_ops *ops = &kOps;
  benchmark::DoNotOptimize(ops);
  uint32_t value = 0;
  for (auto _ : state) {
    uint32_t old_word = 0;
    const int32_t status = ops->read32(kDev, kAddr32, &old_word);
    benchmark::DoNotOptimize(
        status | ops->write32(kDev, kAddr32, (old_word & ~kMask) | ((value << kStart) & kMask)));
    value = (value + 1) & 7;
  }
}

template <uint32_t kDev, const hdk_reg_ops &kOps>
void read32_baseline(benchmark::State &state) {
  const hdk_reg_ops *ops = &kOps;
  benchmark::DoNotOptimize(ops);
  for (auto _ : state) {
    uint32_t word = 0;
    benchmark::DoNotOptimize(ops->read32(kDev, kAddr32, &word));
    uint32_t value = (word & kMask) >> kStart;
    benchmark::DoNotOptimize(value);
  }
}

template <uint32_t kDev, const hdk_reg_ops &kOps>
void write16_baseline(benchmark::State &state) {
  const hdk_reg_ops *ops = &kOps;
  benchmark::DoNotOptimize(ops);
  uint16_t value = 0;
  for (auto _ : state) {
    uint16_t old_word = 0;
    const int32_t status = ops->read16(kDev, kAddr16, &old_word);
    const auto merged = static_cast<uint16_t>((old_word & ~kMask) | ((value << kStart) & kMask));
    benchmark::DoNotOptimize(status | ops->write16(kDev, kAddr16, merged));
    value = static_cast<uint16_t>((value + 1) & 7);
  }
}

template <uint32_t kDev, const hdk_reg_ops &kOps>
void read16_baseline(benchmark::State &state) {
  const hdk_reg_ops *ops = &kOps;
  benchmark::DoNotOptimize(ops);
  for (auto _ : state) {
    uint16_t word = 0;
    benchmark::DoNotOptimize(ops->read16(kDev, kAddr16, &word));
    auto value = static_cast<uint16_t>((word & kMask) >> kStart);
    benchmark::DoNotOptimize(value);
  }
}

}  // namespace chip_bench
