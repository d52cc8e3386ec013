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

TEST(WideField, GetAndSetMatchTheBitModel) {
  std::mt19937 rng(20261206u);
  int refused = 0;
  for (int round = 0; round < 20000; ++round) {
    const Shape s = random_shape(rng);
    SCOPED_TRACE(::testing::Message() << "reg_bytes " << s.reg_bytes << " start " << s.start_bit
                                      << " bits " << s.field_bits);
    Guarded image(words_for_bits(s.reg_bytes * 8u));
    Guarded field(words_for_bits(s.field_bits));
    fill_random(image, rng);
    fill_random(field, rng);
    // An exact-size copy of the image, so that the sanitizer build flags
    // any read outside it.
    const std::vector<uint32_t> exact = image.inner();
    hdk_get_field_info(s.start_bit, s.field_bits, s.reg_bytes, exact.data(), field.data());
    for (uint32_t j = 0; j < field.size() * 32u; ++j) {
      ASSERT_EQ(field.bit(j), j < s.field_bits && image.bit(s.start_bit + j)) << "field bit " << j;
    }
    ASSERT_EQ(exact, image.inner());
    ASSERT_TRUE(field.guards_intact());

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
      {16, 0, 0},               // empty field
      {16, 97, 32},             // one bit past a 128-bit register
      {12, 90, 7},              // past the 96 bits of a 12-byte register
      {3, 20, 5},               // past the 24 bits of a 3-byte register
      {0, 0, 1},                // no register at all
      {1023, 0xFFFFFFF0u, 32},  // start + width wraps in 32 bits
      {4, 0, 0x3FFF},           // the widest field a record holds, in a 32-bit register
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

}  // namespace
