// SPDX-License-Identifier: Apache-2.0
// Frame boundary search and rotation for the two received-frame aligners.
#pragma once

#include <cstdint>

namespace chip_j0j1 {

// Positions are 16-bit; this value stands for "no position", which is why a
// period may not exceed 65 535 bytes.
inline constexpr uint16_t kNoPosition = 0xFFFF;

inline constexpr uint8_t kMarkerBit = 0x80;
inline constexpr uint8_t kCr = 0x0D;
inline constexpr uint8_t kLf = 0x0A;

// Position of the only byte of src[0..period-1] with bit 7 set; kNoPosition
// when there is none or more than one.
uint16_t find_single_marker(const uint8_t *src, uint16_t period);

// Position of the only CR of src[0..period-1] when the next byte (wrapping
// round to src[0]) is LF; kNoPosition otherwise.
uint16_t find_cr_lf(const uint8_t *src, uint16_t period);

// dest[i] = src[(first + i) mod period] for i = 0..period-1; first < period.
// dest may be src itself.
void rotate_into(const uint8_t *src, uint16_t period, uint16_t first, uint8_t *dest);

}  // namespace chip_j0j1
