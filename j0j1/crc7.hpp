// SPDX-License-Identifier: Apache-2.0
// CRC-7 of the 16-byte trace frame: generator x^7 + x^3 + 1 (0x89), initial
// remainder 0, no reflection, no final inversion.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace chip_j0j1 {

inline constexpr uint8_t kCrc7Generator = 0x89;

// Entry i = (i(x) * x^7) mod G(x): the remainder a byte leaves once it has
// been shifted through the seven-bit register.
consteval std::array<uint8_t, 256> make_crc7_table() {
  std::array<uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned value = i << 7;
    for (int bit = 14; bit >= 7; --bit) {
      if ((value >> bit) & 1u) {
        value ^= static_cast<unsigned>(kCrc7Generator) << (bit - 7);
      }
    }
    table[i] = static_cast<uint8_t>(value);
  }
  return table;
}

// Read-only and built by the compiler, so calls share no mutable state.
inline constexpr std::array<uint8_t, 256> kCrc7Table = make_crc7_table();

static_assert(kCrc7Table[0x01] == 0x09);
static_assert(kCrc7Table[0x08] == 0x48);
static_assert(kCrc7Table[0x80] == 0x41);
static_assert(kCrc7Table[0xFF] == 0x79);

// One byte through the register: the seven remainder bits, moved up by one,
// line up with the top seven bits of the next byte.
constexpr uint8_t crc7_step(uint8_t remainder, uint8_t byte) {
  return kCrc7Table[static_cast<uint8_t>((remainder << 1) ^ byte)];
}

// The 7-bit remainder of bytes(x) * x^7 divided by the generator, bytes read
// first to last, each most significant bit first.
constexpr uint8_t crc7(std::span<const uint8_t> bytes) {
  uint8_t remainder = 0;
  for (const uint8_t byte : bytes) {
    remainder = crc7_step(remainder, byte);
  }
  return remainder;
}

}  // namespace chip_j0j1
