// Fuzzes the wide-field functions: hdk_get_field_info and
// hdk_set_field_info on fields of any width in registers of 1 to 1023
// bytes, and hdk_access_reg_field over a registered table whose one record
// is fuzzed (consistent records mostly, raw record words sometimes).
// Register images and field buffers are heap blocks of exactly the size the
// record requires (ceil(reg_bytes / 4) and ceil(field_bits / 32) words, or
// reg_bytes bytes for a whole register), so AddressSanitizer reports any
// overrun. A bit-by-bit reference model checks that a set then a get gives
// the value back (top partial word masked), that no bit outside the field
// changes, that a top chunk with bits above the field is left unwritten
// while the full chunks below it are written, and that refused calls leave
// both buffers untouched.
//
// Input: a few bytes choose the shape, the rest seeds the buffer contents.
#include <chip_util/log.h>
#include <chip_util/register.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.hpp"

namespace {

using Words = std::vector<uint32_t>;

uint32_t image_words(uint32_t reg_bytes) { return (reg_bytes + 3u) / 4u; }
uint32_t field_words(uint32_t field_bits) { return (field_bits + 31u) / 32u; }

// Bit b of a most-significant-word-first array of n words.
bool bit_of(const Words &w, uint64_t b) { return ((w[w.size() - 1 - b / 32] >> (b % 32)) & 1u) != 0; }
void put_bit(Words &w, uint64_t b, bool on) {
  uint32_t &word = w[w.size() - 1 - b / 32];
  const uint32_t m = 1u << (b % 32);
  word = on ? (word | m) : (word & ~m);
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
  const bool top_refused = rem != 0 && (field[0] >> rem) != 0;
  const uint32_t written = top_refused ? bits - rem : bits;
  for (uint32_t j = 0; j < written; ++j) put_bit(out, uint64_t{start} + j, bit_of(field, j));
  return out;
}

// Exact-size heap copies of a word array, and back.
std::unique_ptr<uint32_t[]> heap_words(const Words &w) {
  std::unique_ptr<uint32_t[]> out(new uint32_t[w.size()]);
  if (!w.empty()) std::memcpy(out.get(), w.data(), w.size() * sizeof(uint32_t));
  return out;
}
bool same_words(const uint32_t *p, const Words &w) {
  return w.empty() || std::memcmp(p, w.data(), w.size() * sizeof(uint32_t)) == 0;
}

// Deterministic contents for the buffers, seeded from the input.
class Filler {
 public:
  explicit Filler(uint64_t seed) : state_(seed) {}
  uint32_t next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>(z ^ (z >> 31));
  }
  Words words(size_t n) {
    Words w(n);
    for (uint32_t &x : w) x = next();
    return w;
  }

 private:
  uint64_t state_;
};

uint32_t pick_reg_bytes(fuzz::Input &in) {
  const uint8_t pick = in.u8();
  return pick < 0xE0 ? 1u + pick % 20u : 1u + in.u16() % 1023u;
}

// The two field functions on a field that lies within the register.
void check_field_functions(fuzz::Input &in, Filler &fill) {
  const uint32_t reg_bytes = pick_reg_bytes(in);
  const uint32_t reg_bits = 8u * reg_bytes;
  const uint32_t bits = 1u + in.below(reg_bits);
  const uint32_t start = in.below(reg_bits - bits + 1u);
  const bool unmasked_top = (in.u8() & 7u) == 0;

  const Words image = fill.words(image_words(reg_bytes));
  const auto image_block = heap_words(image);
  const auto field_block = heap_words(fill.words(field_words(bits)));
  hdk_get_field_info(start, bits, reg_bytes, image_block.get(), field_block.get());
  FUZZ_CHECK(same_words(field_block.get(), reference_get(image, start, bits)));
  FUZZ_CHECK(same_words(image_block.get(), image));

  Words value = fill.words(field_words(bits));
  const uint32_t rem = bits % 32u;
  if (rem != 0 && !unmasked_top) value[0] &= (1u << rem) - 1u;
  const auto value_block = heap_words(value);
  hdk_set_field_info(start, bits, reg_bytes, image_block.get(), value_block.get());
  const Words expected = reference_set(image, start, bits, value);
  FUZZ_CHECK(same_words(image_block.get(), expected));
  FUZZ_CHECK(same_words(value_block.get(), value));

  if (rem == 0 || (value[0] >> rem) == 0) {
    hdk_get_field_info(start, bits, reg_bytes, image_block.get(), field_block.get());
    FUZZ_CHECK(same_words(field_block.get(), value));
  }
}

// Fields that do not lie within the register: nothing is read or written.
void check_refused_field(fuzz::Input &in, Filler &fill) {
  const uint32_t reg_bytes = in.u16() % 1024u;
  const uint32_t start = in.flag() ? in.u32() : in.u16();
  const uint32_t bits = in.flag() ? in.u32() : in.u16() % 64u;
  if (bits != 0 && uint64_t{start} + bits <= uint64_t{reg_bytes} * 8u) {
    return;  // fits: covered above
  }
  const Words image = fill.words(image_words(reg_bytes));
  const Words field = fill.words(1);
  const auto image_block = heap_words(image);
  const auto field_block = heap_words(field);
  hdk_get_field_info(start, bits, reg_bytes, image_block.get(), field_block.get());
  hdk_set_field_info(start, bits, reg_bytes, image_block.get(), field_block.get());
  FUZZ_CHECK(same_words(image_block.get(), image) && same_words(field_block.get(), field));
}

// The table of the access checks: one module, one instance, one record.
constexpr uint32_t kDev = 0;
hdk_reg_info g_record;
hdk_reg_inst g_inst;
hdk_reg_module g_module;
hdk_chip_reg_table g_table;

void register_record(const hdk_reg_info &record) {
  g_record = record;
  g_inst = {0x1000u, 0, 0, 1, &g_record};
  g_module = {0, 1, &g_inst, 0, 0};
  g_table = {};
  g_table.module_num = 1;
  g_table.modules = &g_module;
  FUZZ_CHECK(hdk_register_reg(kDev, &g_table) == 0);
}

int32_t sign_extend25(uint32_t raw) {
  raw &= 0x1FFFFFFu;
  return static_cast<int32_t>((raw & 0x1000000u) != 0 ? raw | 0xFE000000u : raw);
}

void check_access(fuzz::Input &in, Filler &fill) {
  hdk_reg_info record{};
  if (in.u8() < 0x30) {
    // Raw record words: anything a broken table could hold.
    record.loc = in.u32();
    record.step = in.u32();
    record.shape = in.u32();
    record.field = in.u32();
  } else {
    const uint32_t reg_bytes = pick_reg_bytes(in);
    const uint32_t reg_bits = 8u * reg_bytes;
    const uint32_t bits = 1u + in.below(reg_bits);
    const uint32_t start = in.below(reg_bits - bits + 1u);
    const uint8_t flags = in.u8();
    const int32_t stride = static_cast<int32_t>(in.u16() % 512u) - 256;
    const uint32_t elem_num = 1u + in.u8() % 16u;
    const hdk_reg_info built =
        HDK_REG_INFO(in.u16(), reg_bytes, start, bits, elem_num, stride, flags & 3u);
    record = built;
  }
  register_record(record);

  const uint32_t loc = record.loc;
  const bool bit_indexed = (loc & 1u) != 0;
  const bool whole = (loc & 2u) != 0;
  const uint32_t stride = static_cast<uint32_t>(sign_extend25(record.step));
  const uint32_t elem_num = record.shape & 0x3FFFFFu;
  const uint32_t reg_bytes = record.shape >> 22;
  const uint32_t bits = (record.field >> 4) & 0x3FFFu;
  const uint32_t start = record.field >> 18;

  const uint8_t pick = in.u8();
  const uint32_t elem = (pick & 0x80u) != 0 ? in.u32() % (elem_num + 2u) : (elem_num != 0 ? in.below(elem_num) : 0u);
  const uint32_t reg_id = (pick & 0x40u) != 0 ? in.u32() : HDK_REG_ID(0, 0);
  const uint32_t inst = (pick & 0x20u) != 0 ? in.u8() % 3u : 0u;
  const uint32_t direction = (pick & 0x10u) != 0 ? in.u32() | 1u : 0u;
  const bool null_buffer = (pick & 0x0Fu) == 0;
  const bool index_ok = reg_id == HDK_REG_ID(0, 0) && inst == 0 && elem < elem_num;

  if (whole) {
    // Whole-register buffers are reg_bytes bytes each.
    const size_t n = reg_bytes;
    std::unique_ptr<uint8_t[]> image(new uint8_t[n]);
    std::unique_ptr<uint8_t[]> field(new uint8_t[n]);
    for (size_t i = 0; i < n; ++i) {
      image[i] = static_cast<uint8_t>(fill.next());
      field[i] = static_cast<uint8_t>(fill.next());
    }
    const std::vector<uint8_t> image_before(image.get(), image.get() + n);
    const std::vector<uint8_t> field_before(field.get(), field.get() + n);
    auto *image_words_ptr = reinterpret_cast<uint32_t *>(image.get());
    auto *field_words_ptr = reinterpret_cast<uint32_t *>(field.get());
    const int32_t result = hdk_access_reg_field(kDev, inst, reg_id, elem,
                                                null_buffer ? nullptr : image_words_ptr,
                                                field_words_ptr, direction);
    const bool copied = index_ok && !null_buffer && n != 0;
    FUZZ_CHECK(result == (copied ? 0 : -1));
    const std::vector<uint8_t> &expected_image = copied && direction != 0 ? field_before : image_before;
    const std::vector<uint8_t> &expected_field = copied && direction == 0 ? image_before : field_before;
    FUZZ_CHECK(n == 0 || std::memcmp(image.get(), expected_image.data(), n) == 0);
    FUZZ_CHECK(n == 0 || std::memcmp(field.get(), expected_field.data(), n) == 0);
    return;
  }

  const uint32_t reg_bits = 8u * reg_bytes;
  bool fits = bits != 0 && !(bit_indexed && reg_bytes == 0);
  uint32_t position = start;
  if (fits && bit_indexed) position = (stride * elem + start) % reg_bits;
  fits = fits && uint64_t{position} + bits <= reg_bits;

  const Words image = fill.words(image_words(reg_bytes));
  Words field = fill.words(field_words(bits));
  const uint32_t rem = bits % 32u;
  if (rem != 0 && (fill.next() & 3u) != 0) field[0] &= (1u << rem) - 1u;
  const auto image_block = heap_words(image);
  const auto field_block = heap_words(field);
  const int32_t result =
      hdk_access_reg_field(kDev, inst, reg_id, elem, null_buffer ? nullptr : image_block.get(),
                           field_block.get(), direction);
  const bool done = index_ok && !null_buffer && fits;
  FUZZ_CHECK(result == (done ? 0 : -1));
  if (!done) {
    FUZZ_CHECK(same_words(image_block.get(), image) && same_words(field_block.get(), field));
  } else if (direction == 0) {
    FUZZ_CHECK(same_words(image_block.get(), image));
    FUZZ_CHECK(same_words(field_block.get(), reference_get(image, position, bits)));
  } else {
    FUZZ_CHECK(same_words(field_block.get(), field));
    FUZZ_CHECK(same_words(image_block.get(), reference_set(image, position, bits, field)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  g_hdk_printf_func = fuzz::quiet_print;
  fuzz::Input in(data, size);
  const uint64_t seed_high = in.u32();
  Filler fill((seed_high << 32) | in.u32());
  check_field_functions(in, fill);
  check_refused_field(in, fill);
  check_access(in, fill);
  g_hdk_chip_reg[kDev] = nullptr;
  return 0;
}
