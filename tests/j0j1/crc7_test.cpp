// The table-driven CRC-7 against plain polynomial long division.
#include <chip_util/j0j1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <span>
#include <string_view>
#include <vector>

#include "j0j1/crc7.hpp"

namespace {

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

std::span<const uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

TEST(Crc7, CatalogueCheckValueValidatesReferenceAndTable) {
  EXPECT_EQ(crc7_by_division(bytes_of("123456789")), 0x75);
  EXPECT_EQ(chip_j0j1::crc7(bytes_of("123456789")), 0x75);
}

TEST(Crc7, EveryTableEntryIsTheRemainderOfItsByte) {
  for (unsigned i = 0; i < 256; ++i) {
    const uint8_t byte = static_cast<uint8_t>(i);
    EXPECT_EQ(chip_j0j1::kCrc7Table[i], crc7_by_division({&byte, 1})) << "entry " << i;
  }
}

TEST(Crc7, RandomMessagesMatchLongDivision) {
  std::mt19937 rng(0x0707);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<size_t> length(0, 80);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> message(length(rng));
    for (auto &b : message) {
      b = static_cast<uint8_t>(byte(rng));
    }
    ASSERT_EQ(chip_j0j1::crc7(message), crc7_by_division(message)) << "round " << round;
  }
}

TEST(InsertCrc7, FifteenSpacesGiveC8) {
  std::array<uint8_t, 16> frame;
  frame.fill(0x20);
  frame[0] = 0x80;
  drv_j0j1_insert_crc7(nullptr);  // ignored: must not fault under the sanitizers
  drv_j0j1_insert_crc7(frame.data());
  EXPECT_EQ(frame[0], 0xC8);
  for (size_t i = 1; i < frame.size(); ++i) {
    EXPECT_EQ(frame[i], 0x20);
  }
}

// Old CRC bits in byte 0 are ignored and replaced; bit 7 is kept either way.
TEST(InsertCrc7, ReplacesLowBitsAndKeepsBit7OnRandomFrames) {
  std::mt19937 rng(0x1607);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    std::array<uint8_t, 16> frame;
    for (auto &b : frame) {
      b = static_cast<uint8_t>(byte(rng));
    }
    auto cleared = frame;
    cleared[0] &= 0x80;
    const uint8_t expected = static_cast<uint8_t>(cleared[0] | crc7_by_division(cleared));
    const auto before = frame;
    drv_j0j1_insert_crc7(frame.data());
    ASSERT_EQ(frame[0], expected) << "round " << round;
    ASSERT_TRUE(std::equal(frame.begin() + 1, frame.end(), before.begin() + 1));
  }
}

}  // namespace
