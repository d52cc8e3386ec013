// hdk_get_field_info / hdk_set_field_info against a bit-by-bit model of the
// register image, with guard words around both buffers.
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kGuard = 0xA5C3F00Du;

uint32_t words_for_bits(uint32_t bits) { return (bits + 31u) / 32u; }

// A most-significant-word-first array with one guard word on each side;
// data() points past the leading guard. Bit access follows the image
// layout: bit b lives in word (size - 1 - b / 32), bit b % 32.
class Guarded {
 public:
  explicit Guarded(uint32_t words) : store_(words + 2u, kGuard), words_(words) {}
  uint32_t *data() { return store_.data() + 1; }
  uint32_t size() const { return words_; }
  uint32_t &word(uint32_t i) { return store_[i + 1u]; }
  bool bit(uint32_t b) const { return (store_[words_ - b / 32u] >> (b % 32u)) & 1u; }
  void set_bit(uint32_t b, bool v) {
    uint32_t &w = store_[words_ - b / 32u];
    w = v ? (w | (1u << (b % 32u))) : (w & ~(1u << (b % 32u)));
  }
  bool guards_intact() const { return store_.front() == kGuard && store_.back() == kGuard; }
  std::vector<uint32_t> inner() const { return {store_.begin() + 1, store_.end() - 1}; }

 private:
  std::vector<uint32_t> store_;
  uint32_t words_;
};

struct Shape {
  uint32_t reg_bytes;
  uint32_t start_bit;
  uint32_t field_bits;
};

Shape random_shape(std::mt19937 &rng) {
  // Mostly small registers, where every word boundary case is frequent, and
  // now and then the widest one a record can describe.
  const uint32_t max_bytes = rng() % 8 == 0 ? 1023u : 40u;
  const uint32_t reg_bytes = 1u + rng() % max_bytes;
  const uint32_t reg_bits = reg_bytes * 8u;
  const uint32_t field_bits = 1u + rng() % reg_bits;
  const uint32_t start_bit = rng() % (reg_bits - field_bits + 1u);
  return {reg_bytes, start_bit, field_bits};
}

void fill_random(Guarded &g, std::mt19937 &rng) {
  for (uint32_t i = 0; i < g.size(); ++i) {
    g.word(i) = rng();
  }
}

TEST(WideField, GetMatchesBitModel) {
  std::mt19937 rng(20261206u);
  for (int round = 0; round < 20000; ++round) {
    const Shape s = random_shape(rng);
    Guarded image(words_for_bits(s.reg_bytes * 8u));
    Guarded field(words_for_bits(s.field_bits));
    fill_random(image, rng);
    fill_random(field, rng);
    // An exact-size copy of the image, so that the sanitizer build flags
    // any read outside it.
    const std::vector<uint32_t> exact = image.inner();
    hdk_get_field_info(s.start_bit, s.field_bits, s.reg_bytes, exact.data(), field.data());

    SCOPED_TRACE(::testing::Message() << "reg_bytes " << s.reg_bytes << " start " << s.start_bit
                                      << " bits " << s.field_bits);
    for (uint32_t j = 0; j < field.size() * 32u; ++j) {
      const bool expected = j < s.field_bits && image.bit(s.start_bit + j);
      ASSERT_EQ(field.bit(j), expected) << "field bit " << j;
    }
    ASSERT_EQ(exact, image.inner());
    ASSERT_TRUE(field.guards_intact());
  }
}

TEST(WideField, SetMatchesBitModelIncludingTopChunkRefusal) {
  std::mt19937 rng(7u);
  int refused = 0;
  for (int round = 0; round < 20000; ++round) {
    const Shape s = random_shape(rng);
    Guarded image(words_for_bits(s.reg_bytes * 8u));
    Guarded field(words_for_bits(s.field_bits));
    fill_random(image, rng);
    fill_random(field, rng);
    const uint32_t rem = s.field_bits % 32u;
    if (rem != 0 && rng() % 2 == 0) {
      field.word(0) &= (1u << rem) - 1u;  // a top chunk that fits
    }
    const bool top_refused = rem != 0 && (field.word(0) >> rem) != 0;
    refused += top_refused;
    // Only the full 32-bit chunks are written when the top one is refused.
    const uint32_t written_bits = top_refused ? s.field_bits - rem : s.field_bits;
    Guarded expected = image;
    for (uint32_t j = 0; j < written_bits; ++j) {
      expected.set_bit(s.start_bit + j, field.bit(j));
    }
    const std::vector<uint32_t> field_before = field.inner();

    hdk_set_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());

    SCOPED_TRACE(::testing::Message() << "reg_bytes " << s.reg_bytes << " start " << s.start_bit
                                      << " bits " << s.field_bits);
    ASSERT_EQ(image.inner(), expected.inner());
    ASSERT_EQ(field.inner(), field_before);
    ASSERT_TRUE(image.guards_intact() && field.guards_intact());
  }
  EXPECT_GT(refused, 1000) << "the refusal path must be exercised";
}

// Fields reaching past the register, empty fields and null buffers are
// refused by doing nothing: no word of either buffer (or its guards) moves.
TEST(WideField, OutOfRangeShapesTouchNothing) {
  const Shape shapes[] = {
      {16, 0, 0},            // empty field
      {16, 97, 32},          // one bit past a 128-bit register
      {12, 90, 7},           // past the 96 bits of a 12-byte register
      {3, 20, 5},            // past the 24 bits of a 3-byte register
      {0, 0, 1},             // no register at all
      {1023, 0xFFFFFFF0u, 32},  // start + width wraps in 32 bits
      {4, 0, 0x3FFF},        // the widest field a record holds, in a 32-bit register
  };
  for (const Shape &s : shapes) {
    SCOPED_TRACE(::testing::Message() << "reg_bytes " << s.reg_bytes << " start " << s.start_bit
                                      << " bits " << s.field_bits);
    Guarded image(4);
    Guarded field(4);
    const std::vector<uint32_t> image_before = image.inner();
    hdk_get_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());
    hdk_set_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());
    EXPECT_EQ(image.inner(), image_before);
    EXPECT_EQ(field.inner(), image_before) << "field buffer untouched";
    EXPECT_TRUE(image.guards_intact() && field.guards_intact());
  }
  uint32_t word = 0x12345678u;
  hdk_get_field_info(0, 8, 4, nullptr, &word);
  hdk_set_field_info(0, 8, 4, nullptr, &word);
  hdk_get_field_info(0, 8, 4, &word, nullptr);
  hdk_set_field_info(0, 8, 4, &word, nullptr);
  EXPECT_EQ(word, 0x12345678u);
}

TEST(WideField, NarrowFieldOfOneWord) {
  uint32_t image[1] = {0x12345678u};
  uint32_t field[1] = {0xFFFFFFFFu};
  hdk_get_field_info(4, 8, 4, image, field);
  EXPECT_EQ(field[0], 0x67u);
  field[0] = 0xABu;
  hdk_set_field_info(4, 8, 4, image, field);
  EXPECT_EQ(image[0], 0x12345AB8u);
}

TEST(WideField, FieldsCrossingWordBoundaries) {
  // 16 bits at bit 24 of a 64-bit register: the low byte from the second
  // word, the high byte from the first.
  uint32_t image64[2] = {0x000000AAu, 0xBB000000u};
  uint32_t field[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
  hdk_get_field_info(24, 16, 8, image64, field);
  EXPECT_EQ(field[0], 0xAABBu);
  EXPECT_EQ(field[1], 0xFFFFFFFFu) << "one field word only";

  // 40 bits at bit 20 of a 128-bit register: field bits 0-31 are register
  // bits 20-51, field bits 32-39 register bits 52-59.
  uint32_t image128[4] = {0x11111111u, 0x22222222u, 0x0ABCDEF9u, 0x87654321u};
  hdk_get_field_info(20, 40, 16, image128, field);
  EXPECT_EQ(field[1], 0xCDEF9876u);
  EXPECT_EQ(field[0], 0xABu) << "upper 24 bits of the first word are 0";

  const uint32_t value[2] = {0x5Au, 0x01234567u};
  hdk_set_field_info(20, 40, 16, image128, value);
  EXPECT_EQ(image128[0], 0x11111111u);
  EXPECT_EQ(image128[1], 0x22222222u);
  EXPECT_EQ(image128[2], 0x05A01234u);
  EXPECT_EQ(image128[3], 0x56754321u);
}

TEST(WideField, WholeWordFieldsAreNeitherMaskedNorRefused) {
  uint32_t image[3] = {0x00000001u, 0xFFFFFFFFu, 0x80000000u};
  uint32_t field[1] = {0};
  hdk_get_field_info(31, 32, 12, image, field);
  EXPECT_EQ(field[0], 0xFFFFFFFFu);
  const uint32_t value[1] = {0xFFFFFFFEu};
  hdk_set_field_info(63, 32, 12, image, value);
  EXPECT_EQ(image[0], 0x7FFFFFFFu);
  EXPECT_EQ(image[1], 0x7FFFFFFFu);
  EXPECT_EQ(image[2], 0x80000000u);
}

TEST(WideField, OddByteRegisterUsesTheLowPartOfItsFirstWord) {
  // A 5-byte register: the first word holds register bits 32-39 in its
  // low byte.
  uint32_t image[2] = {0x000000C3u, 0x00000000u};
  uint32_t field[1] = {0};
  hdk_get_field_info(28, 12, 5, image, field);
  EXPECT_EQ(field[0], 0xC30u);
  const uint32_t value[1] = {0xFFFu};
  hdk_set_field_info(28, 12, 5, image, value);
  EXPECT_EQ(image[0], 0x000000FFu);
  EXPECT_EQ(image[1], 0xF0000000u);
}

}  // namespace
