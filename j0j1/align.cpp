// SPDX-License-Identifier: Apache-2.0
// drv_decode_16byte_j0j1_rx_msg and drv_decode_64byte_j0j1_rx_msg: find where
// a received frame starts and lay its bytes out characters first.
#include "align.hpp"

#include <chip_util/j0j1.h>

#include <algorithm>
#include <cstring>

namespace chip_j0j1 {

namespace {

// The position `steps` after `position`, wrapping round at the period.
uint16_t next_position(uint16_t position, uint16_t steps, uint16_t period) {
  return static_cast<uint16_t>((static_cast<uint32_t>(position) + steps) % period);
}

}  // namespace

uint16_t find_single_marker(const uint8_t *src, uint16_t period) {
  uint16_t found = kNoPosition;
  for (uint16_t i = 0; i < period; ++i) {
    if ((src[i] & kMarkerBit) != 0) {
      if (found != kNoPosition) {
        return kNoPosition;
      }
      found = i;
    }
  }
  return found;
}

uint16_t find_cr_lf(const uint8_t *src, uint16_t period) {
  const auto *end = src + period;
  const auto *cr = std::find(src, end, kCr);
  if (cr == end || std::find(cr + 1, end, kCr) != end) {
    return kNoPosition;
  }
  const auto position = static_cast<uint16_t>(cr - src);
  return src[next_position(position, 1, period)] == kLf ? position : kNoPosition;
}

void rotate_into(const uint8_t *src, uint16_t period, uint16_t first, uint8_t *dest) {
  if (src == dest) {
    std::rotate(dest, dest + first, dest + period);
    return;
  }
  const size_t head = period - first;
  std::memmove(dest, src + first, head);
  std::memmove(dest + head, src, first);
}

namespace {

bool period_usable(uint32_t period, const uint8_t *src, const uint8_t *dest) {
  return period != 0 && period <= DRV_J0J1_MAX_PERIOD && src != nullptr && dest != nullptr;
}

}  // namespace

}  // namespace chip_j0j1

using namespace chip_j0j1;

extern "C" int32_t drv_decode_16byte_j0j1_rx_msg(uint32_t period, const uint8_t *src,
                                                 uint8_t *dest) {
  if (!period_usable(period, src, dest)) {
    return -1;
  }
  const auto n = static_cast<uint16_t>(period);
  const uint16_t marker = find_single_marker(src, n);
  if (marker == kNoPosition) {
    return -1;
  }
  rotate_into(src, n, next_position(marker, 1, n), dest);
  return 0;
}

extern "C" int32_t drv_decode_64byte_j0j1_rx_msg(uint32_t period, const uint8_t *src,
                                                 uint8_t *dest) {
  if (!period_usable(period, src, dest)) {
    return -1;
  }
  const auto n = static_cast<uint16_t>(period);
  const uint16_t cr = find_cr_lf(src, n);
  if (cr == kNoPosition) {
    return -1;
  }
  rotate_into(src, n, next_position(cr, 2, n), dest);
  return 0;
}
