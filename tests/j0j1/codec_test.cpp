// The trace codec: the CRC-7 against polynomial long division, text encoded
// into frames and the transmit pattern, and received patterns classified
// against a reference model.
#include <chip_util/j0j1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <span>
#include <string_view>
#include <vector>

#include "j0j1/crc7.hpp"
#include "support/print_capture.hpp"

namespace {

using Pattern = std::array<uint8_t, 64>;
constexpr uint8_t kUntouched = 0xA5;

// Bit-by-bit division of bytes(x) * x^7 by x^7 + x^3 + 1: the message bits,
// then seven zero bits, through an eight-bit register.
uint8_t crc7_by_division(std::span<const uint8_t> bytes) {
  unsigned reg = 0;
  auto shift_in = [&reg](unsigned bit) {
    reg = (reg << 1) | bit;
    if ((reg & 0x80u) != 0) {
      reg ^= 0x89u;
    }
  };
  for (const uint8_t byte : bytes) {
    for (int bit = 7; bit >= 0; --bit) {
      shift_in((byte >> bit) & 1u);
    }
  }
  for (int i = 0; i < 7; ++i) {
    shift_in(0);
  }
  return static_cast<uint8_t>(reg);
}

Pattern filled(uint8_t value) {
  Pattern p;
  p.fill(value);
  return p;
}

// Bytes from lowest up to lowest + span - 1: any byte, or printable text.
Pattern random_bytes(std::mt19937 &rng, unsigned lowest = 0, unsigned span = 256) {
  Pattern p;
  for (auto &b : p) {
    b = static_cast<uint8_t>(lowest + rng() % span);
  }
  return p;
}

TEST(Crc7, CatalogueCheckValueValidatesReferenceAndTable) {
  const std::string_view check = "123456789";
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(check.data()),
                                       check.size());
  EXPECT_EQ(crc7_by_division(bytes), 0x75);
  EXPECT_EQ(chip_j0j1::crc7(bytes), 0x75);
}

TEST(Crc7, RandomMessagesMatchLongDivision) {
  std::mt19937 rng(0x0707);
  std::uniform_int_distribution<size_t> length(0, 80);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> message(length(rng));
    for (auto &b : message) {
      b = static_cast<uint8_t>(rng());
    }
    ASSERT_EQ(chip_j0j1::crc7(message), crc7_by_division(message)) << "round " << round;
  }
}

// Old CRC bits in byte 0 are ignored and replaced; bit 7 is kept either way.
TEST(InsertCrc7, ReplacesLowBitsAndKeepsBit7OnRandomFrames) {
  drv_j0j1_insert_crc7(nullptr);  // ignored: must not fault under the sanitizers
  std::mt19937 rng(0x1607);
  for (int round = 0; round < 2000; ++round) {
    const Pattern before = random_bytes(rng);
    Pattern expected = before;
    expected[0] &= 0x80;
    expected[0] |= crc7_by_division(std::span(expected).first(16));
    Pattern frame = before;
    drv_j0j1_insert_crc7(frame.data());
    ASSERT_EQ(frame, expected) << "round " << round;
  }
}

TEST(Encode, FifteenSpacesMakeTheWorkedExampleFrame) {
  const Pattern spaces = filled(0x20);
  Pattern frame = spaces;
  ASSERT_EQ(drv_encode_j0j1_tx_msg(16, spaces.data(), frame.data()), 0);
  Pattern expected = spaces;
  expected[0] = 0xC8;
  EXPECT_EQ(frame, expected);
}

// Text of any byte values (bit 7 is copied as it is), encoded into a separate
// buffer and in place, then repeated into the transmit pattern.
TEST(Encode, RandomTextMatchesTheFrameLayout) {
  std::mt19937 rng(0x6416);
  for (int round = 0; round < 2000; ++round) {
    const uint32_t length = (round & 1) != 0 ? 64 : 16;
    const Pattern text = random_bytes(rng);
    Pattern expected = filled(kUntouched);
    if (length == 16) {
      expected[0] = 0x80;
      std::copy_n(text.begin(), 15, expected.begin() + 1);
      expected[0] |= crc7_by_division(std::span(expected).first(16));
    } else {
      std::copy_n(text.begin(), 62, expected.begin());
      expected[62] = 0x0D;
      expected[63] = 0x0A;
    }
    SCOPED_TRACE(round);
    Pattern frame = filled(kUntouched);
    ASSERT_EQ(drv_encode_j0j1_tx_msg(length, text.data(), frame.data()), 0);
    ASSERT_EQ(frame, expected);
    Pattern in_place = text;
    ASSERT_EQ(drv_encode_j0j1_tx_msg(length, in_place.data(), in_place.data()), 0);
    ASSERT_TRUE(std::equal(expected.begin(), expected.begin() + length, in_place.begin()));
    Pattern pattern = filled(kUntouched);
    ASSERT_EQ(drv_assemble_j0j1_msg(length, frame.data(), pattern.data()), 0);
    for (size_t i = 0; i < pattern.size(); ++i) {
      ASSERT_EQ(pattern[i], frame[i % length]) << i;
    }
  }
}

TEST(Encode, RefusesOtherLengthsAndNullsWritingNothing) {
  const Pattern text = filled(0x41);
  Pattern frame = filled(kUntouched);
  for (uint32_t length : {0u, 1u, 2u, 15u, 17u, 32u, 62u, 63u, 65u, 0xFFFFFFFFu}) {
    EXPECT_EQ(drv_encode_j0j1_tx_msg(length, text.data(), frame.data()), -1) << length;
  }
  EXPECT_EQ(drv_encode_j0j1_tx_msg(16, nullptr, frame.data()), -1);
  EXPECT_EQ(drv_encode_j0j1_tx_msg(64, nullptr, frame.data()), -1);
  EXPECT_EQ(frame, filled(kUntouched));
  EXPECT_EQ(drv_encode_j0j1_tx_msg(16, text.data(), nullptr), -1);
}

TEST(Assemble, NoTraceAndSingleByteTrace) {
  Pattern pattern = filled(kUntouched);
  ASSERT_EQ(drv_assemble_j0j1_msg(0, nullptr, pattern.data()), 0);  // source not read
  EXPECT_EQ(pattern, filled(0x00));
  const uint8_t single = 0x5A;
  ASSERT_EQ(drv_assemble_j0j1_msg(1, &single, pattern.data()), 0);
  EXPECT_EQ(pattern, filled(single));
}

// An unknown length is reported on standard output with printf, never through
// the print function the driver registered, with no line end, and before the
// pointers are checked; null pointers with a known length refuse silently.
TEST(Assemble, RefusalsLeaveThePatternAloneAndOnlyABadLengthIsPrinted) {
  const Pattern frame = filled(0x41);
  struct Case {
    uint32_t length;
    bool null_src;
    bool null_pattern;
    const char *printed;
  };
  const Case cases[] = {
      {63, false, false, "length out range. length:63"},
      {0xFFFFFFFFu, false, false, "length out range. length:4294967295"},
      {17, true, true, "length out range. length:17"},
      {1, true, false, ""},
      {16, true, false, ""},
      {64, true, false, ""},
      {0, false, true, ""},
      {64, false, true, ""},
  };
  for (const Case &c : cases) {
    chip_test::PrintCapture registered;
    Pattern pattern = filled(kUntouched);
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    const int32_t result = drv_assemble_j0j1_msg(c.length, c.null_src ? nullptr : frame.data(),
                                                 c.null_pattern ? nullptr : pattern.data());
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed) << c.length;
    EXPECT_EQ(result, -1) << c.length;
    EXPECT_EQ(pattern, filled(kUntouched)) << c.length;
    EXPECT_TRUE(registered.calls().empty());
  }
}

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

// A transmit pattern for a 16- or 64-byte trace of printable characters.
Pattern transmit_pattern(uint32_t length, const Pattern &text) {
  Pattern frame{};
  Pattern pattern{};
  EXPECT_EQ(drv_encode_j0j1_tx_msg(length, text.data(), frame.data()), 0);
  EXPECT_EQ(drv_assemble_j0j1_msg(length, frame.data(), pattern.data()), 0);
  return pattern;
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
        const Pattern text = random_bytes(rng, 0x20, 95);
        rx = transmit_pattern(length, text);
        std::rotate(rx.begin(), rx.begin() + any_pos(rng), rx.end());
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

// The length is stored whatever the capacity; the text only when all 64
// bytes fit, else a refused memcpy_s zeroes the capacity; nothing is written
// past the capacity, nor anywhere for a null argument.
TEST(Decode, TextCapacityAndNullArguments) {
  const Pattern rx = filled(0x33);
  for (uint32_t capacity : {0u, 1u, 63u, 64u, 100u}) {
    uint32_t length = 0xDEADBEEF;
    std::array<uint8_t, 100> text;
    text.fill(kUntouched);
    EXPECT_EQ(drv_decode_j0j1_rx_msg(rx.data(), &length, text.data(), capacity),
              capacity >= 64 ? 0 : -1);
    EXPECT_EQ(length, 1u) << capacity;
    auto expected = text;
    std::fill_n(expected.begin(), std::min(capacity, 64u), 0);
    expected[0] = capacity >= 64 ? 0x33 : expected[0];
    EXPECT_EQ(text, expected) << capacity;
  }
  uint32_t length = 0xDEADBEEF;
  Pattern text = filled(kUntouched);
  EXPECT_EQ(drv_decode_j0j1_rx_msg(nullptr, &length, text.data(), 64), -1);
  EXPECT_EQ(drv_decode_j0j1_rx_msg(rx.data(), nullptr, text.data(), 64), -1);
  EXPECT_EQ(drv_decode_j0j1_rx_msg(rx.data(), &length, nullptr, 64), -1);
  EXPECT_EQ(length, 0xDEADBEEFu);
  EXPECT_EQ(text, filled(kUntouched));
}

}  // namespace
