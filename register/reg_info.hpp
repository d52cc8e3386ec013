// SPDX-License-Identifier: Apache-2.0
// Decoding of the packed register record words, shared by every access path.
#pragma once

#include <chip_util/register.h>

#include <cstdint>

namespace chip_reg {

constexpr bool bit_indexed(const hdk_reg_info &r) { return (r.loc & 0x1u) != 0; }
constexpr bool whole_reg(const hdk_reg_info &r) { return (r.loc & 0x2u) != 0; }
constexpr uint32_t offset(const hdk_reg_info &r) { return r.loc >> 2; }
// The 25-bit stride sign-extended to 32 bits, kept unsigned so that all
// address arithmetic wraps modulo 2^32.
constexpr uint32_t stride(const hdk_reg_info &r) {
  const uint32_t raw = r.step & 0x1FFFFFFu;
  return (raw & 0x1000000u) != 0 ? raw | 0xFE000000u : raw;
}
constexpr uint32_t access_type(const hdk_reg_info &r) { return r.step >> 25; }
constexpr uint32_t elem_num(const hdk_reg_info &r) { return r.shape & 0x3FFFFFu; }
constexpr uint32_t reg_bytes(const hdk_reg_info &r) { return r.shape >> 22; }
constexpr uint32_t field_bits(const hdk_reg_info &r) { return (r.field >> 4) & 0x3FFFu; }
constexpr uint32_t start_bit(const hdk_reg_info &r) { return r.field >> 18; }

// The packing macros and the decoders must agree.
constexpr hdk_reg_info kProbe = HDK_REG_INFO(0x1234, 4, 28, 4, 16, -4,
                                             HDK_REG_BIT_INDEXED | HDK_REG_ACCESS_TYPE(8));
static_assert(offset(kProbe) == 0x1234 && reg_bytes(kProbe) == 4);
static_assert(start_bit(kProbe) == 28 && field_bits(kProbe) == 4);
static_assert(elem_num(kProbe) == 16 && stride(kProbe) == static_cast<uint32_t>(-4));
static_assert(bit_indexed(kProbe) && !whole_reg(kProbe) && access_type(kProbe) == 8);

}  // namespace chip_reg
