// SPDX-License-Identifier: Apache-2.0
// Where a field of a 16- or 32-bit register lies: the register address, the
// effective start bit and the mask of one element, computed in the
// register's own width. Pure functions, shared by both widths and by the
// in-memory merge of hdk_set_reg_field32.
#pragma once

#include <cstdint>

#include "reg_info.hpp"

namespace chip_reg {

// A register word of the 16- or 32-bit access families. Address arithmetic
// wraps in the same width as the word: modulo 2^16 for 16-bit registers
// (their access functions take a 16-bit address), modulo 2^32 otherwise.
template <typename Word>
struct RegWidth {
  static_assert(sizeof(Word) == 2 || sizeof(Word) == 4);
  static constexpr uint32_t kBits = 8u * sizeof(Word);
  static constexpr uint32_t kBytes = sizeof(Word);
};

// The record is accessed as one whole word: no mask, no shift, no range test.
template <typename Word>
constexpr bool whole_word_access(const hdk_reg_info &reg) {
  return whole_reg(reg) || field_bits(reg) == RegWidth<Word>::kBits;
}

// Field writes of access types 7 and 8 write the register without reading
// it first; the bits outside the field are written as 0.
constexpr bool write_skips_read(const hdk_reg_info &reg) {
  const uint32_t type = access_type(reg);
  return type == 7 || type == 8;
}

// Address of element `elem` of a record accessed as a whole register.
template <typename Word>
constexpr Word whole_word_address(uint32_t base_addr, const hdk_reg_info &reg, uint32_t elem) {
  return static_cast<Word>(base_addr + offset(reg) + stride(reg) * elem);
}

// A field of `field_bits` bits at `start_bit` lies inside one Word. Every
// shift below relies on this, so that none reaches the word width.
template <typename Word>
constexpr bool field_fits(uint32_t start_bit, uint32_t field_bits) {
  return start_bit < RegWidth<Word>::kBits && field_bits <= RegWidth<Word>::kBits - start_bit;
}

// (2^field_bits - 1) << start_bit. Requires field_fits.
template <typename Word>
constexpr Word field_mask(uint32_t start_bit, uint32_t field_bits) {
  return static_cast<Word>(((uint64_t{1} << field_bits) - 1u) << start_bit);
}

// The value is below 2^field_bits; a field as wide as the word or wider
// holds any value.
template <typename Word>
constexpr bool value_fits(Word value, uint32_t field_bits) {
  return field_bits >= RegWidth<Word>::kBits || (static_cast<uint32_t>(value) >> field_bits) == 0;
}

template <typename Word>
struct FieldSpot {
  Word addr;
  uint32_t start_bit;  // effective start bit, below the word width
  Word mask;
  bool valid;  // false: this element's field does not lie inside one register
};

// Locates element `elem` of a field record.
//
// Element 0 is the field as stored. For another element the signed stride
// times the element index steps the address (bit_indexed clear) or the bit
// position (bit_indexed set); a bit position past the word carries into the
// following registers, sizeof(Word) address units each.
//
// Invalid, so that no access is ever made for it: a bit-indexed element
// whose position falls below bit 0 (a negative stride stepping back past the
// first register), and an element whose effective start bit plus field_bits
// passes the word width (a field wider than the register, or a start bit at
// or past the word width at element 0 or without bit indexing).
template <typename Word>
constexpr FieldSpot<Word> locate_field(uint32_t base_addr, const hdk_reg_info &reg,
                                       uint32_t elem) {
  constexpr uint32_t kBits = RegWidth<Word>::kBits;
  uint32_t addr = base_addr + offset(reg);
  uint32_t start = start_bit(reg);
  if (elem != 0) {
    const uint32_t step = stride(reg) * elem;
    if (!bit_indexed(reg)) {
      addr += step;
    } else {
      // |stride| < 2^24 and elem < 2^22: the true position fits 64 bits.
      const int64_t position =
          int64_t{start} + int64_t{static_cast<int32_t>(stride(reg))} * int64_t{elem};
      if (position < 0) {
        return {};
      }
      const uint32_t wrapped = static_cast<Word>(start + step);
      addr += (wrapped / kBits) * RegWidth<Word>::kBytes;
      start = wrapped % kBits;
    }
  }
  const uint32_t bits = field_bits(reg);
  if (!field_fits<Word>(start, bits)) {
    return {};
  }
  return {static_cast<Word>(addr), start, field_mask<Word>(start, bits), true};
}

// Locates element `elem` of a field record inside a register word the caller
// already holds: the address step is dropped, and a bit-indexed element's
// position is taken modulo the word width (a position below bit 0 wraps into
// the same word; no other register is involved). Invalid when the field does
// not lie inside the word at that position.
template <typename Word>
constexpr FieldSpot<Word> locate_in_word(const hdk_reg_info &reg, uint32_t elem) {
  uint32_t start = start_bit(reg);
  if (elem != 0 && bit_indexed(reg)) {
    start = (start + stride(reg) * elem) % RegWidth<Word>::kBits;
  }
  const uint32_t bits = field_bits(reg);
  if (!field_fits<Word>(start, bits)) {
    return {};
  }
  return {0, start, field_mask<Word>(start, bits), true};
}

// The register word with `value` merged into the field at `spot`.
template <typename Word>
constexpr Word merge_field(Word old_word, const FieldSpot<Word> &spot, Word value) {
  const uint32_t placed = (static_cast<uint32_t>(value) << spot.start_bit) & spot.mask;
  return static_cast<Word>((old_word & static_cast<Word>(~spot.mask)) | placed);
}

// The field's value inside a register word.
template <typename Word>
constexpr Word extract_field(Word word, const FieldSpot<Word> &spot) {
  return static_cast<Word>((static_cast<uint32_t>(word) & spot.mask) >> spot.start_bit);
}

}  // namespace chip_reg
