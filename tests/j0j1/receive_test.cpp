// Decoding received patterns: every rotation, the classification order
// against a reference model, and the caller's text buffer.
#include <chip_util/j0j1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <string>

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

class EveryRotation : public testing::TestWithParam<uint32_t> {};

TEST_P(EveryRotation, DecodesBackToTheText) {
  const uint32_t length = GetParam();
  const uint32_t chars = length == 16 ? 15 : 62;
  std::mt19937 rng(length);
  const Pattern text = printable_text(rng);
  const Pattern pattern = transmit_pattern(length, text);
  Decoded expected;
  expected.length = length;
  std::copy(text.begin(), text.begin() + chars, expected.text.begin());
  for (size_t start = 0; start < 64; ++start) {
    EXPECT_EQ(decode(rotated(pattern, start)), expected) << "rotation " << start;
  }
}

INSTANTIATE_TEST_SUITE_P(TraceLengths, EveryRotation, testing::Values(16u, 64u));

TEST(Decode, NamedPatterns) {
  Pattern spaces;
  spaces.fill(0x20);
  Pattern cr_last = transmit_pattern(64, spaces);
  cr_last = rotated(cr_last, 63);  // LF first, CR last
  Pattern two_crs = cr_last;
  two_crs[10] = 0x0D;
  Pattern marker_and_crlf = transmit_pattern(64, spaces);
  marker_and_crlf[40] = 0x80;  // outside the first 16 bytes: still a 64-byte frame
  Pattern marker_first16 = marker_and_crlf;
  marker_first16[5] = 0x9F;
  Pattern bit7_char = spaces;
  bit7_char[3] = 0xC1;
  bit7_char = transmit_pattern(16, bit7_char);

  struct Case {
    const char *name;
    Pattern rx;
    uint32_t length;
    uint8_t first;
  };
  const Case cases[] = {
      {"cr last, lf first", cr_last, 64, 0x20},
      {"two crs", two_crs, 0, 0x00},
      {"marker outside first 16", marker_and_crlf, 64, 0x20},
      {"marker in first 16 beats cr lf", marker_first16, 16, 0x20},
      {"character with bit 7", bit7_char, 0, 0x00},
      {"all zero", Pattern{}, 1, 0x00},
      {"all 0x80", [] { Pattern p; p.fill(0x80); return p; }(), 1, 0x80},
  };
  for (const Case &c : cases) {
    const Decoded got = decode(c.rx);
    EXPECT_EQ(got, model(c.rx)) << c.name;
    EXPECT_EQ(got.length, c.length) << c.name;
    EXPECT_EQ(got.text[0], c.first) << c.name;
  }
}

// Random and near-valid patterns: each kind is meant to land near a
// classification boundary.
TEST(Decode, ClassificationMatchesModelOnRandomPatterns) {
  std::mt19937 rng(0x4A30);
  std::uniform_int_distribution<int> any_byte(0, 255);
  std::uniform_int_distribution<size_t> any_pos(0, 63);
  std::uniform_int_distribution<size_t> pos16(0, 15);
  std::uniform_int_distribution<int> kind(0, 6);
  std::map<uint32_t, int> seen;

  for (int round = 0; round < 20000; ++round) {
    Pattern rx{};
    const size_t start = any_pos(rng);
    switch (kind(rng)) {
      case 0:  // noise
        for (auto &b : rx) {
          b = static_cast<uint8_t>(any_byte(rng));
        }
        break;
      case 1: {  // 16-byte frame with a marker moved or doubled
        rx = rotated(transmit_pattern(16, printable_text(rng)), start);
        const size_t marker = static_cast<size_t>(
            std::find_if(rx.begin(), rx.end(), [](uint8_t b) { return b & 0x80; }) - rx.begin());
        if (rng() & 1) {
          rx[marker] &= 0x7F;
        }
        rx[pos16(rng)] |= 0x80;
        break;
      }
      case 2:  // 64-byte frame with a second CR
        rx = rotated(transmit_pattern(64, printable_text(rng)), start);
        rx[any_pos(rng)] = 0x0D;
        break;
      case 3: {  // 64-byte frame with its LF missing
        rx = rotated(transmit_pattern(64, printable_text(rng)), start);
        const size_t lf = (63 + 64 - start) % 64;
        rx[lf] = (rng() & 1) ? 0x20 : 0x0D;
        break;
      }
      case 4:  // uniform, sometimes with one byte changed
        rx.fill(static_cast<uint8_t>(any_byte(rng)));
        if (rng() & 1) {
          rx[any_pos(rng)] = static_cast<uint8_t>(any_byte(rng));
        }
        break;
      case 5:  // intact frames at any rotation
        rx = rotated(transmit_pattern((rng() & 1) ? 16 : 64, printable_text(rng)), start);
        break;
      default:  // few distinct bytes: CR, LF, a marker, a character
        for (auto &b : rx) {
          const uint8_t choices[] = {0x0D, 0x0A, 0x80, 0x41, 0x41, 0x41, 0x41, 0x41};
          b = choices[rng() % 8];
        }
        break;
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
