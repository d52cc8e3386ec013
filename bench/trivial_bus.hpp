// SPDX-License-Identifier: Apache-2.0
// What the field benchmarks share: the cheapest access functions possible
// (one word in memory per register width), so that a figure shows the
// library's own cost, and the register layout they measure on: one field,
// bits 4-6, of a 32-bit register at 0x10 and of a 16-bit register at 0x20,
// whose instance 1 sits at kBase.
#pragma once

#include <chip_util/register.h>

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

}  // namespace chip_bench
