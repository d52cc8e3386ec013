// The packing macros in C++ constant expressions, and their round trip
// through the library's decoders for every field at its limits.
#include "register/reg_info.hpp"

#include <gtest/gtest.h>

namespace {

constexpr hdk_reg_info kFull = HDK_REG_INFO(0x3FFFFFFF, 1023, 0x3FFF, 0x3FFF, 0x3FFFFF, -1,
                                            HDK_REG_BIT_INDEXED | HDK_REG_WHOLE |
                                                HDK_REG_ACCESS_TYPE(0x7F));
static_assert(chip_reg::offset(kFull) == 0x3FFFFFFF);
static_assert(chip_reg::reg_bytes(kFull) == 1023);

struct Packed {
  uint32_t offset, reg_bytes, start_bit, field_bits, elem_num;
  int32_t stride;
  uint32_t flags;
};

class PackingRoundTrip : public ::testing::TestWithParam<Packed> {};

TEST_P(PackingRoundTrip, DecodesWhatWasPacked) {
  const Packed p = GetParam();
  const hdk_reg_info r =
      HDK_REG_INFO(p.offset, p.reg_bytes, p.start_bit, p.field_bits, p.elem_num, p.stride, p.flags);
  EXPECT_EQ(chip_reg::offset(r), p.offset);
  EXPECT_EQ(chip_reg::reg_bytes(r), p.reg_bytes);
  EXPECT_EQ(chip_reg::start_bit(r), p.start_bit);
  EXPECT_EQ(chip_reg::field_bits(r), p.field_bits);
  EXPECT_EQ(chip_reg::elem_num(r), p.elem_num);
  EXPECT_EQ(static_cast<int32_t>(chip_reg::stride(r)), p.stride);
  EXPECT_EQ(chip_reg::bit_indexed(r), (p.flags & HDK_REG_BIT_INDEXED) != 0);
  EXPECT_EQ(chip_reg::whole_reg(r), (p.flags & HDK_REG_WHOLE) != 0);
  EXPECT_EQ(chip_reg::access_type(r), p.flags >> 25);
  EXPECT_EQ(r.user0 | r.user5 | r.user6 | (r.field & 0xFu), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PackingRoundTrip,
    ::testing::Values(Packed{0, 4, 0, 1, 1, 0, 0},
                      Packed{0x3FFFFFFF, 1023, 0x3FFF, 0x3FFF, 0x3FFFFF, -1, 0xFE000003u},
                      Packed{0x40, 2, 12, 4, 16, 4, HDK_REG_BIT_INDEXED},
                      Packed{0x8, 4, 0, 32, 4, -(1 << 24), HDK_REG_WHOLE | HDK_REG_ACCESS_TYPE(8)},
                      Packed{0x1234, 16, 20, 40, 2, (1 << 24) - 1, HDK_REG_ACCESS_TYPE(7)}));

}  // namespace
