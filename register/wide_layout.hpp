// SPDX-License-Identifier: Apache-2.0
// Where a wide field lies in a register image: word counts, the fit test
// and the bit position of an element. Pure functions, shared by the field
// functions and the table-driven access.
#pragma once

#include <chip_util/register.h>

#include <cstdint>

#include "reg_info.hpp"

namespace chip_reg {

// Words of a register image of reg_bytes bytes. Rounded up without adding
// to reg_bytes first, which would wrap to 0 words just below 4 GiB.
constexpr uint32_t image_words(uint32_t reg_bytes) {
  return reg_bytes / 4u + (reg_bytes % 4u != 0 ? 1u : 0u);
}

// Words of a field buffer of field_bits bits.
constexpr uint32_t field_words(uint32_t field_bits) {
  return field_bits / 32u + (field_bits % 32u != 0 ? 1u : 0u);
}

// True when the field is not empty and every one of its bits is a bit of
// the register. Computed in 64 bits: start_bit + field_bits may exceed 2^32.
constexpr bool field_lies_within(uint32_t start_bit, uint32_t field_bits, uint32_t reg_bytes) {
  return field_bits != 0 &&
         uint64_t{start_bit} + uint64_t{field_bits} <= uint64_t{reg_bytes} * 8u;
}

// The bit position of element `elem` of a bit-indexed record: the stride
// counts bits and the position wraps within the one register. The record
// must have a non-zero reg_bytes. Unsigned arithmetic wraps modulo 2^32
// before the reduction, as the register tables expect.
constexpr uint32_t element_start_bit(const hdk_reg_info &r, uint32_t elem) {
  return (stride(r) * elem + start_bit(r)) % (reg_bytes(r) * 8u);
}

// A mask of the low n bits, for n below 32.
constexpr uint32_t low_bits(uint32_t n) { return (uint32_t{1} << n) - 1u; }

static_assert(image_words(0) == 0 && image_words(1) == 1 && image_words(12) == 3);
static_assert(image_words(1023) == 256 && image_words(0xFFFFFFFFu) == 0x40000000u);
static_assert(field_words(1) == 1 && field_words(32) == 1 && field_words(33) == 2);
static_assert(field_lies_within(96, 32, 16) && !field_lies_within(97, 32, 16));
static_assert(!field_lies_within(0, 0, 4) && !field_lies_within(0xFFFFFFFFu, 2, 1023));
constexpr hdk_reg_info kWrapProbe = HDK_REG_INFO(0, 4, 28, 4, 2, 4, HDK_REG_BIT_INDEXED);
static_assert(element_start_bit(kWrapProbe, 1) == 0);
constexpr hdk_reg_info kBackProbe = HDK_REG_INFO(0, 4, 0, 4, 2, -4, HDK_REG_BIT_INDEXED);
static_assert(element_start_bit(kBackProbe, 1) == 28);

}  // namespace chip_reg
