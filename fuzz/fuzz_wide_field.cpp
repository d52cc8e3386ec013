// Fuzzes the wide-field functions: hdk_get_field_info and
// hdk_set_field_info on fields of any width in registers of 1 to 1023
// bytes, and hdk_access_reg_field over a registered table whose one record
// is fuzzed (consistent records mostly, raw record words sometimes).
// Register images and field buffers are heap blocks of exactly
// ceil(reg_bytes / 4) and ceil(field_bits / 32) words, so that
// AddressSanitizer reports any overrun. A bit-by-bit reference model checks
// the field read out and the image written: no bit outside the field
// changes, a top chunk with bits above the field is left unwritten while
// the full chunks below it are written, and a whole register copies
// reg_bytes bytes and not one more. Refused calls and null buffers leave
// both buffers untouched.
//
// Input: a seed for the buffer contents, then the shapes of the three checks.
#include <chip_util/log.h>
#include <chip_util/register.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "fuzz_support.hpp"

namespace {

using Words = std::vector<uint32_t>;

uint32_t image_words(uint32_t reg_bytes) { return (reg_bytes + 3u) / 4u; }
uint32_t field_words(uint32_t field_bits) { return (field_bits + 31u) / 32u; }

// Bit b of a most-significant-word-first array.
bool bit_of(const Words &w, uint64_t b) {
  return ((w[w.size() - 1 - b / 32] >> (b % 32)) & 1u) != 0;
}
void put_bit(Words &w, uint64_t b, bool on) {
  uint32_t &word = w[w.size() - 1 - b / 32];
  word = on ? (word | (1u << (b % 32))) : (word & ~(1u << (b % 32)));
}

// The field's words as hdk_get_field_info delivers them.
Words reference_get(const Words &image, uint32_t start, uint32_t bits) {
  Words field(field_words(bits), 0);
  for (uint32_t j = 0; j < bits; ++j) put_bit(field, j, bit_of(image, uint64_t{start} + j));
  return field;
}

// The image after hdk_set_field_info: field bits from the buffer, except a
// top partial chunk with bits above the field, which is not written.
Words reference_set(const Words &image, uint32_t start, uint32_t bits, const Words &field) {
  Words out = image;
  const uint32_t rem = bits % 32u;
  const uint32_t written = rem != 0 && (field[0] >> rem) != 0 ? bits - rem : bits;
  for (uint32_t j = 0; j < written; ++j) put_bit(out, uint64_t{start} + j, bit_of(field, j));
  return out;
}

std::mt19937_64 g_fill;  // buffer contents, seeded from the input
Words random_words(size_t n) {
  Words w(n);
  for (uint32_t &x : w) x = static_cast<uint32_t>(g_fill());
  return w;
}

uint32_t pick_reg_bytes(fuzz::Input &in) {
  const uint8_t pick = in.u8();
  return pick < 0xE0 ? 1u + pick % 20u : 1u + in.u16() % 1023u;
}

// The two field functions on a field that lies within the register. Each
// buffer handed over is a copy in a heap block of exactly its size.
void check_field_functions(fuzz::Input &in) {
  const uint32_t reg_bytes = pick_reg_bytes(in);
  const uint32_t reg_bits = 8u * reg_bytes;
  const uint32_t bits = 1u + in.below(reg_bits);
  const uint32_t start = in.below(reg_bits - bits + 1u);
  const bool unmasked_top = (in.u8() & 7u) == 0;

  const Words image = random_words(image_words(reg_bytes));
  Words image_block = image;
  Words field_block = random_words(field_words(bits));
  hdk_get_field_info(start, bits, reg_bytes, image_block.data(), field_block.data());
  FUZZ_CHECK(field_block == reference_get(image, start, bits) && image_block == image);

  Words value = random_words(field_words(bits));
  const uint32_t rem = bits % 32u;
  if (rem != 0 && !unmasked_top) value[0] &= (1u << rem) - 1u;
  Words value_block = value;
  hdk_set_field_info(start, bits, reg_bytes, image_block.data(), value_block.data());
  FUZZ_CHECK(image_block == reference_set(image, start, bits, value) && value_block == value);
}

// Fields that do not lie within the register, and null buffers for fields
// that do: nothing is read or written.
void check_refused_field(fuzz::Input &in) {
  const uint32_t reg_bytes = in.u16() % 1024u;
  const uint32_t start = in.flag() ? in.u32() : in.u16();
  const uint32_t bits = in.flag() ? in.u32() : in.u16() % 64u;
  const bool fits = bits != 0 && uint64_t{start} + bits <= uint64_t{reg_bytes} * 8u;
  const Words image = random_words(image_words(reg_bytes));
  const Words field = random_words(2);
  Words image_block = image;
  Words field_block = field;
  uint32_t *const image_ptr = fits && start % 2 == 0 ? nullptr : image_block.data();
  uint32_t *const field_ptr = fits && start % 2 != 0 ? nullptr : field_block.data();
  hdk_get_field_info(start, bits, reg_bytes, image_ptr, field_ptr);
  hdk_set_field_info(start, bits, reg_bytes, image_ptr, field_ptr);
  FUZZ_CHECK(image_block == image && field_block == field);
}

constexpr uint32_t kDev = 0;

hdk_reg_info fuzzed_record(fuzz::Input &in) {
  // Raw record words: anything a broken table could hold.
  if (in.u8() < 0x30) return {0, in.u32(), in.u32(), in.u32(), in.u32(), 0, 0};
  const uint32_t reg_bytes = pick_reg_bytes(in);
  const uint32_t bits = 1u + in.below(8u * reg_bytes);
  const uint32_t start = in.below(8u * reg_bytes - bits + 1u);
  const uint8_t flags = in.u8();
  const int32_t stride = static_cast<int32_t>(in.u16() % 512u) - 256;
  const uint32_t elem_num = 1u + in.u8() % 16u;
  return HDK_REG_INFO(in.u16(), reg_bytes, start, bits, elem_num, stride, flags & 3u);
}

// hdk_access_reg_field on a table of one module, one instance, one record.
void check_access(fuzz::Input &in) {
  const hdk_reg_info record = fuzzed_record(in);
  const hdk_reg_inst instance = {0x1000u, 0, 0, 1, &record};
  const hdk_reg_module module = {0, 1, &instance, 0, 0};
  hdk_chip_reg_table table = {0, 1, &module, {0, 0, 0, 0, 0}, nullptr};
  FUZZ_CHECK(hdk_register_reg(kDev, &table) == 0);

  const auto stride = static_cast<uint32_t>(static_cast<int32_t>(record.step << 7) >> 7);
  const bool bit_indexed = (record.loc & 1u) != 0;
  const bool whole = (record.loc & 2u) != 0;
  const uint32_t elem_num = record.shape & 0x3FFFFFu;
  const uint32_t reg_bytes = record.shape >> 22;
  const uint32_t bits = (record.field >> 4) & 0x3FFFu;
  const uint32_t start = record.field >> 18;

  const uint8_t pick = in.u8();
  const uint32_t elem = (pick & 0x80u) != 0 ? in.u32() % (elem_num + 2u)
                                            : (elem_num != 0 ? in.below(elem_num) : 0u);
  const uint32_t reg_id = (pick & 0x40u) != 0 ? in.u32() : HDK_REG_ID(0, 0);
  const uint32_t inst = (pick & 0x20u) != 0 ? in.u8() % 3u : 0u;
  const uint32_t direction = (pick & 0x10u) != 0 ? in.u32() | 1u : 0u;
  const bool null_buffer = (pick & 0x0Fu) == 0;

  // A field lies at the position of its element; a whole register is
  // copied as reg_bytes bytes, and the rest of its last word stays.
  const uint32_t reg_bits = 8u * reg_bytes;
  const bool fits = bits != 0 && !(bit_indexed && reg_bytes == 0);
  const uint32_t position = fits && bit_indexed ? (stride * elem + start) % reg_bits : start;
  const bool done = reg_id == HDK_REG_ID(0, 0) && inst == 0 && elem < elem_num && !null_buffer &&
                    (whole ? reg_bytes != 0 : fits && uint64_t{position} + bits <= reg_bits);
  const Words image = random_words(image_words(reg_bytes));
  Words field = random_words(whole ? image.size() : field_words(bits));
  const uint32_t rem = bits % 32u;
  if (!whole && rem != 0 && (g_fill() & 3u) != 0) field[0] &= (1u << rem) - 1u;
  Words image_block = image;
  Words field_block = field;
  image_block.reserve(1);  // an empty buffer must not be a null pointer
  field_block.reserve(1);
  const int32_t result =
      hdk_access_reg_field(kDev, inst, reg_id, elem, null_buffer ? nullptr : image_block.data(),
                           field_block.data(), direction);
  FUZZ_CHECK(result == (done ? 0 : -1));
  g_hdk_chip_reg[kDev] = nullptr;
  Words image_after = image;
  Words field_after = field;
  if (done && whole) {
    std::memcpy((direction == 0 ? field_after : image_after).data(),
                (direction == 0 ? image : field).data(), reg_bytes);
  } else if (done && direction == 0) {
    field_after = reference_get(image, position, bits);
  } else if (done) {
    image_after = reference_set(image, position, bits, field);
  }
  FUZZ_CHECK(image_block == image_after && field_block == field_after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  g_hdk_printf_func = fuzz::quiet_print;
  fuzz::Input in(data, size);
  const uint64_t seed_high = in.u32();
  g_fill.seed((seed_high << 32) | in.u32());
  check_field_functions(in);
  check_refused_field(in);
  check_access(in);
  return 0;
}
