// Decoding received patterns: the classification order against a reference
// model, intact frames at every rotation, and the caller's text buffer.
#include <chip_util/j0j1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>

namespace {

using Pattern = std::array<uint8_t, 64>;
constexpr uint8_t kUntouched = 0xA5;

struct Decoded {
  uint32_t length = 0;
  Pattern text{};
  bool operator==(const Decoded &) const = default;
};

// The classification written out plainly with modular indexing.
Decoded model(const Pattern &rx) {
  Decoded out;
  int markers = 0;
  size_t marker = 0;
  for (size_t i = 0; i < 16; ++i) {
    if (rx[i] & 0x80) {
      ++markers;
      marker = i;
    }
  }
  if (markers == 1) {
    out.length = 16;
    for (size_t i = 0; i < 15; ++i) {
      out.text[i] = rx[(marker + 1 + i) % 16];
    }
    return out;
  }
  const auto crs = std::count(rx.begin(), rx.end(), 0x0D);
  const size_t cr = static_cast<size_t>(std::find(rx.begin(), rx.end(), 0x0D) - rx.begin());
  if (crs == 1 && rx[(cr + 1) % 64] == 0x0A) {
    out.length = 64;
    for (size_t i = 0; i < 62; ++i) {
      out.text[i] = rx[(cr + 2 + i) % 64];
    }
    return out;
  }
  if (std::all_of(rx.begin(), rx.end(), [&](uint8_t b) { return b == rx[0]; })) {
    out.length = 1;
    out.text[0] = rx[0];
  }
  return out;
}

Decoded decode(const Pattern &rx) {
  Decoded out;
  out.length = 0xDEADBEEF;
  out.text.fill(kUntouched);
  EXPECT_EQ(drv_decode_j0j1_rx_msg(rx.data(), &out.length, out.text.data(), 64), 0);
  return out;
}

Pattern rotated(const Pattern &p, size_t start) {
  Pattern out;
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = p[(start + i) % p.size()];
  }
  return out;
}

// A transmit pattern for a 16- or 64-byte trace of printable characters.
Pattern transmit_pattern(uint32_t length, const Pattern &text) {
  Pattern frame{};
  Pattern pattern{};
  EXPECT_EQ(drv_encode_j0j1_tx_msg(length, text.data(), frame.data()), 0);
  EXPECT_EQ(drv_assemble_j0j1_msg(length, frame.data(), pattern.data()), 0);
  return pattern;
}

Pattern printable_text(std::mt19937 &rng) {
  std::uniform_int_distribution<int> ch(0x20, 0x7E);
  Pattern text;
  for (auto &b : text) {
    b = static_cast<uint8_t>(ch(rng));
  }
  return text;
}

// Intact frames at any rotation, uniform patterns and few-symbol noise, each
// with up to two bytes changed into a delimiter, a marker or a character, so
// that patterns land on both sides of every classification boundary.
TEST(Decode, ClassificationMatchesModelOnRandomPatterns) {
  std::mt19937 rng(0x4A30);
  std::uniform_int_distribution<size_t> any_pos(0, 63);
  std::map<uint32_t, int> seen;
  for (int round = 0; round < 20000; ++round) {
    Pattern rx;
    const int changes = static_cast<int>(rng() % 3);
    switch (rng() % 3) {
      case 0: {  // a frame: intact, it gives back its text
        const uint32_t length = (rng() & 1) ? 16 : 64;
        const Pattern text = printable_text(rng);
        rx = rotated(transmit_pattern(length, text), any_pos(rng));
        Decoded intact{length, {}};
        std::copy_n(text.begin(), length == 16 ? 15 : 62, intact.text.begin());
        ASSERT_TRUE(changes > 0 || model(rx) == intact) << "round " << round;
        break;
      }
      case 1:
        rx.fill(static_cast<uint8_t>(rng()));
        break;
      default:
        for (auto &b : rx) {
          const uint8_t choices[] = {0x0D, 0x0A, 0x80, 0x41, 0x41, 0x41, 0x41, 0x41};
          b = choices[rng() % 8];
        }
        break;
    }
    for (int i = 0; i < changes; ++i) {
      const uint8_t replacements[] = {0x0D, 0x0A, 0x20, 0xC1, static_cast<uint8_t>(rng())};
      rx[any_pos(rng)] = replacements[rng() % 5];
    }
    const Decoded expected = model(rx);
    ASSERT_EQ(decode(rx), expected) << "round " << round;
    ++seen[expected.length];
  }
  for (uint32_t length : {0u, 1u, 16u, 64u}) {
    EXPECT_GT(seen[length], 500) << "too few patterns of trace length " << length;
  }
}

// The length is stored whatever the capacity; the text is written only when
// all 64 bytes fit, and never past the stated capacity.
TEST(Decode, TextCapacity) {
  Pattern rx;
  rx.fill(0x33);
  for (uint32_t capacity : {0u, 1u, 63u, 64u, 100u}) {
    uint32_t length = 0xDEADBEEF;
    std::array<uint8_t, 100> text;
    text.fill(kUntouched);
    const int32_t result = drv_decode_j0j1_rx_msg(rx.data(), &length, text.data(), capacity);
    EXPECT_EQ(result, capacity >= 64 ? 0 : -1) << capacity;
    EXPECT_EQ(length, 1u) << capacity;
    const size_t written = capacity >= 64 ? 64 : capacity;
    EXPECT_TRUE(std::all_of(text.begin() + written, text.end(),
                            [](uint8_t b) { return b == kUntouched; }))
        << capacity;
    if (result == 0) {
      EXPECT_EQ(text[0], 0x33);
      EXPECT_TRUE(std::all_of(text.begin() + 1, text.begin() + 64, [](uint8_t b) { return b == 0; }));
    }
  }
}

TEST(Decode, NullArgumentsWriteNothing) {
  Pattern rx{};
  uint32_t length = 0xDEADBEEF;
  Pattern text;
  text.fill(kUntouched);
  EXPECT_EQ(drv_decode_j0j1_rx_msg(nullptr, &length, text.data(), 64), -1);
  EXPECT_EQ(drv_decode_j0j1_rx_msg(rx.data(), nullptr, text.data(), 64), -1);
  EXPECT_EQ(drv_decode_j0j1_rx_msg(rx.data(), &length, nullptr, 64), -1);
  EXPECT_EQ(length, 0xDEADBEEFu);
  EXPECT_EQ(text[0], kUntouched);
}

}  // namespace
