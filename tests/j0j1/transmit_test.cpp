// The CRC-7 against polynomial long division, and trace text encoded into
// frames and laid into the transmit pattern.
#include <chip_util/j0j1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
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

Pattern random_bytes(std::mt19937 &rng) {
  Pattern p;
  for (auto &b : p) {
    b = static_cast<uint8_t>(rng());
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

}  // namespace
