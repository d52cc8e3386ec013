// SPDX-License-Identifier: Apache-2.0
// The packing macros in C++ constant expressions, and their round trip
// through the library's decoders for every field at its limits.
#include "register/reg_info.hpp"

#include <gtest/gtest.h>

namespace {

constexpr bool round_trips(uint32_t offset, uint32_t reg_bytes, uint32_t start_bit,
                           uint32_t field_bits, uint32_t elem_num, int32_t stride, uint32_t flags) {
  const hdk_reg_info r =
      HDK_REG_INFO(offset, reg_bytes, start_bit, field_bits, elem_num, stride, flags);
  return chip_reg::offset(r) == offset && chip_reg::reg_bytes(r) == reg_bytes &&
         chip_reg::start_bit(r) == start_bit && chip_reg::field_bits(r) == field_bits &&
         chip_reg::elem_num(r) == elem_num && chip_reg::stride(r) == static_cast<uint32_t>(stride) &&
         chip_reg::bit_indexed(r) == ((flags & HDK_REG_BIT_INDEXED) != 0) &&
         chip_reg::whole_reg(r) == ((flags & HDK_REG_WHOLE) != 0) &&
         chip_reg::access_type(r) == flags >> 25 && (r.user0 | r.user5 | r.user6 | (r.field & 0xFu)) == 0;
}

static_assert(round_trips(0x3FFFFFFF, 1023, 0x3FFF, 0x3FFF, 0x3FFFFF, -1, 0xFE000003u));

TEST(PackingMacros, RoundTripAtTheLimitsOfEveryField) {
  EXPECT_TRUE(round_trips(0, 4, 0, 1, 1, 0, 0));
  EXPECT_TRUE(round_trips(0x40, 2, 12, 4, 16, 4, HDK_REG_BIT_INDEXED));
  EXPECT_TRUE(round_trips(0x8, 4, 0, 32, 4, -(1 << 24), HDK_REG_WHOLE | HDK_REG_ACCESS_TYPE(8)));
  EXPECT_TRUE(round_trips(0x1234, 16, 20, 40, 2, (1 << 24) - 1, HDK_REG_ACCESS_TYPE(7)));
}

}  // namespace
