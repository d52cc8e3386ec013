// Fuzzes the wide-field functions: hdk_access_reg_field over a registered
// table whose one record is drawn (a consistent record of 1 to 1023 bytes
// mostly, raw record words sometimes), then hdk_get_field_info and
// hdk_set_field_info called directly on the record's field or on one
// placed anywhere, with a null buffer sometimes. Register images and field
// buffers are heap blocks of exactly the words the record requires, so that
// AddressSanitizer reports any overrun. A bit-by-bit model checks the field
// read out and the image written: no bit outside the field changes, a top
// chunk with bits above the field is left unwritten while the full chunks
// below it are written, a whole register copies reg_bytes bytes and not one
// more, and refused calls touch nothing.
//
// Input: a seed for the buffer contents, the record, the access call's
// indexes and direction, then the placement of the direct calls.
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
    const bool on = ((from[from.size() - 1 - f / 32] >> (f % 32)) & 1u) != 0;
    uint32_t &word = to[to.size() - 1 - t / 32];
    word = on ? (word | (1u << (t % 32))) : (word & ~(1u << (t % 32)));
  }
}

// A field read out of an image: its words, bits above the field cleared.
Words read_bits(const Words &image, uint32_t start, uint32_t bits) {
  Words field(words_for(bits), 0);
  copy_bits(image, start, field, 0, bits);
  return field;
}

// A field written into an image, but for a top partial chunk with bits
// above the field, which stays unwritten.
void write_bits(Words &image, uint32_t start, uint32_t bits, const Words &field) {
  const uint32_t rem = bits % 32u;
  copy_bits(field, 0, image, start, rem != 0 && (field[0] >> rem) != 0 ? bits - rem : bits);
}

hdk_reg_info fuzzed_record(fuzz::Input &in) {
  if (in.u8() < 0x30) return {0, in.u32(), in.u32(), in.u32(), in.u32(), 0, 0};  // raw words
  const uint8_t pick = in.u8();
  const uint32_t reg_bytes = pick < 0xE0 ? 1u + pick % 20u : 1u + in.u16() % 1023u;
  const uint32_t bits = 1u + in.below(8u * reg_bytes);
  const uint32_t start = in.below(8u * reg_bytes - bits + 1u);
  const uint8_t flags = in.u8();
  const int32_t stride = static_cast<int32_t>(in.u16() % 512u) - 256;
  const uint32_t elem_num = 1u + in.u8() % 16u;
  return HDK_REG_INFO(in.u16(), reg_bytes, start, bits, elem_num, stride, flags & 3u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint64_t seed_high = in.u32();
  std::mt19937_64 fill((seed_high << 32) | in.u32());
  // Random words; a field value has no bit above the field, mostly.
  const auto random_words = [&fill](size_t n, uint32_t field_bits) {
    Words w(n);
    w.reserve(1);  // an empty buffer is still not a null pointer
    for (uint32_t &x : w) x = static_cast<uint32_t>(fill());
    if (field_bits % 32u != 0 && (fill() & 3u) != 0) w[0] &= (1u << field_bits % 32u) - 1u;
    return w;
  };
  const hdk_reg_info record = fuzzed_record(in);
  const hdk_reg_inst instance = {0x1000u, 0, 0, 1, &record};
  const hdk_reg_module module = {0, 1, &instance, 0, 0};
  hdk_chip_reg_table table = {0, 1, &module, {}, nullptr};
  g_hdk_printf_func = fuzz::keeping_print;
  fuzz::printed.clear();
  FUZZ_CHECK(hdk_register_reg(0, &table) == 0);

  const auto stride = static_cast<uint32_t>(static_cast<int32_t>(record.step << 7) >> 7);
  const bool bit_indexed = (record.loc & 1u) != 0;
  const bool whole = (record.loc & 2u) != 0;
  const uint32_t elem_num = record.shape & 0x3FFFFFu;
  const uint32_t reg_bits = 8u * (record.shape >> 22);
  const uint32_t bits = (record.field >> 4) & 0x3FFFu;
  const uint32_t start = record.field >> 18;

  const uint8_t pick = in.u8();
  const uint32_t elem =
      (pick & 0x80u) != 0 ? in.u32() % (elem_num + 2u) : (elem_num != 0 ? in.below(elem_num) : 0u);
  const uint32_t reg_id = (pick & 0x40u) != 0 ? in.u32() : HDK_REG_ID(0, 0);
  const uint32_t inst = (pick & 0x20u) != 0 ? in.u8() % 3u : 0u;
  const bool read = (pick & 0x10u) == 0;
  const uint32_t direction = read ? 0u : in.u32() | 1u;
  const bool null_image = (pick & 0x0Fu) == 0;

  // A field lies at its element's position (wrapping within the register
  // when bit-indexed); a whole register is copied as reg_bytes bytes.
  const bool placed = bits != 0 && !(bit_indexed && reg_bits == 0);
  const uint32_t position = placed && bit_indexed ? (stride * elem + start) % reg_bits : start;
  const bool done = reg_id == HDK_REG_ID(0, 0) && inst == 0 && elem < elem_num && !null_image &&
                    (whole ? reg_bits != 0 : placed && uint64_t{position} + bits <= reg_bits);
  Words image = random_words(words_for(reg_bits), 0);
  Words field = random_words(whole ? image.size() : words_for(bits), whole ? 0 : bits);
  Words image_after = image;
  Words field_after = field;
  const int32_t result = hdk_access_reg_field(
      0, inst, reg_id, elem, null_image ? nullptr : image.data(), field.data(), direction);
  g_hdk_chip_reg[0] = nullptr;
  if (done && whole) {
    std::memcpy(read ? field_after.data() : image_after.data(),
                read ? image_after.data() : field_after.data(), reg_bits / 8);
  } else if (done && read) {
    field_after = read_bits(image_after, position, bits);
  } else if (done) {
    write_bits(image_after, position, bits, field_after);
  }
  FUZZ_CHECK(result == (done ? 0 : -1) && image == image_after && field == field_after);

  // The field functions called directly, at the record's start bit or a
  // drawn one (perhaps past the register), with a null buffer sometimes.
  const uint8_t direct = in.u8();
  const uint32_t at = direct < 0x80 ? start : in.u16();
  const bool moves = bits != 0 && uint64_t{at} + bits <= reg_bits && (direct & 3u) == 0;
  Words got = random_words(words_for(bits), 0);
  Words got_after = got;
  const Words value = random_words(words_for(bits), bits);
  uint32_t *const image_block = (direct & 1u) != 0 ? nullptr : image.data();
  hdk_get_field_info(at, bits, reg_bits / 8, image_block,
                     (direct & 2u) != 0 ? nullptr : got.data());
  hdk_set_field_info(at, bits, reg_bits / 8, image_block,
                     (direct & 2u) != 0 ? nullptr : value.data());
  if (moves) {
    got_after = read_bits(image_after, at, bits);
    write_bits(image_after, at, bits, value);
  }
  FUZZ_CHECK(image == image_after && got == got_after);
  return 0;
}
