// SPDX-License-Identifier: Apache-2.0
// Fuzzes the wide-field functions on a drawn record of 1 to 1023 bytes
// whose field lies inside the register (sometimes a record of no bytes or
// a field of no bits): hdk_access_reg_field reads or writes one element of
// it through a registered table, then hdk_set_field_info and
// hdk_get_field_info set and get a field at the record's start bit or a
// drawn one (perhaps past the register), with a null buffer sometimes.
// Register images and field buffers are heap blocks of exactly the words
// the record requires, so that AddressSanitizer reports any write past
// them. A bit-by-bit model checks the field read out and the image
// written: no bit outside the field changes, a top chunk with bits above
// the field is left unwritten while the full chunks below it are written,
// a whole register copies reg_bytes bytes and not one more, refused calls
// touch nothing, and a field set then got gives the value set.
//
// Input: a seed for the buffer contents, the record, the access call's
// choices, then the placement of the direct calls.
#include <chip_util/register.h>

#include <random>

#include "fuzz_support.hpp"

namespace {

using Words = std::vector<uint32_t>;

size_t words_for(uint64_t bits) { return (bits + 31u) / 32u; }

// Copies n bits from bit `from_bit` of `from` to bit `to_bit` of `to`
// (arrays most significant word first).
void copy_bits(const Words &from, uint64_t from_bit, Words &to, uint64_t to_bit, uint64_t n) {
  for (uint64_t f = from_bit, t = to_bit; f < from_bit + n; ++f, ++t) {
    const uint32_t bit = (from[from.size() - 1 - f / 32] >> (f % 32)) & 1u;
    uint32_t &word = to[to.size() - 1 - t / 32];
    word = (word & ~(1u << (t % 32))) | (bit << (t % 32));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  std::mt19937 fill(in.u32());
  // Random words, with the bits above the top one of `bits` cleared
  // (none when `bits` is a multiple of 32).
  const auto random_words = [&fill](size_t n, uint32_t bits) {
    Words w(n);
    w.reserve(1);  // an empty buffer is still not a null pointer
    for (uint32_t &x : w) x = fill();
    if (bits % 32u != 0) w[0] &= (1u << bits % 32u) - 1u;
    return w;
  };
  const uint8_t pick = in.u8();
  const uint32_t reg_bytes = pick < 0xE0 ? pick % 21u : 1u + in.u16() % 1023u;  // 0: no register
  const uint32_t reg_bits = 8u * reg_bytes;
  const uint32_t bits = in.below(reg_bits + 1u);  // 0: no field
  const uint32_t start = in.below(reg_bits - bits + 1u);
  const uint8_t flags = in.u8();  // bit-indexed and whole_reg, then the choices of the calls
  const uint32_t stride = in.u16() % 512u - 256u;
  const uint32_t elem_num = 1u + in.u8() % 16u, elem = in.below(elem_num);
  const hdk_reg_info record = HDK_REG_INFO(0x40, reg_bytes, start, bits, elem_num, stride, flags & 3u);
  const hdk_reg_inst instance = {0x1000u, 0, 0, 1, &record};
  const hdk_reg_module module = {0, 1, &instance, 0, 0};
  hdk_chip_reg_table table = {0, 1, &module, {}, nullptr};
  FUZZ_CHECK(hdk_register_reg(0, &table) == 0);

  // A bit-indexed element's field lies at its position wrapped within the
  // register, and is refused where it then passes the register's end.
  const bool whole = (flags & 2u) != 0, read = (flags & 4u) == 0, null_image = (flags & 0x38u) == 0;
  const uint32_t position = (flags & 1u) != 0 && reg_bits != 0 ? (stride * elem + start) % reg_bits : start;
  const bool done = !null_image && (whole ? reg_bits != 0 : bits != 0 && position + bits <= reg_bits);
  Words image = random_words(words_for(reg_bits), 0);
  Words field = random_words(whole ? image.size() : words_for(bits), (flags & 0x40u) != 0 ? 0 : bits);
  Words image_after = image, field_after = field;
  const int32_t result = hdk_access_reg_field(0, 0, 0, elem, null_image ? nullptr : image.data(),
                                              field.data(), read ? 0u : in.u32() | 1u);
  g_hdk_chip_reg[0] = nullptr;
  const uint32_t rem = bits % 32u;
  if (done && whole) {
    std::memcpy(read ? field_after.data() : image_after.data(),
                read ? image_after.data() : field_after.data(), reg_bytes);
  } else if (done && read) {
    field_after.assign(field.size(), 0);
    copy_bits(image_after, position, field_after, 0, bits);
  } else if (done) {
    copy_bits(field, 0, image_after, position, rem != 0 && (field[0] >> rem) != 0 ? bits - rem : bits);
  }
  FUZZ_CHECK(result == (done ? 0 : -1) && image == image_after && field == field_after);

  const uint8_t direct = in.u8();
  const uint32_t at = direct < 0x80 ? start : in.u16();
  const bool moves = bits != 0 && uint64_t{at} + bits <= reg_bits && (direct & 3u) == 0;
  const Words value = random_words(words_for(bits), bits);
  Words got(words_for(bits), ~0u);
  uint32_t *const image_block = (direct & 1u) != 0 ? nullptr : image.data();
  hdk_set_field_info(at, bits, reg_bytes, image_block, (direct & 2u) != 0 ? nullptr : value.data());
  hdk_get_field_info(at, bits, reg_bytes, image_block, (direct & 2u) != 0 ? nullptr : got.data());
  if (moves) copy_bits(value, 0, image_after, at, bits);
  FUZZ_CHECK(image == image_after && got == (moves ? value : Words(got.size(), ~0u)));
  return 0;
}
