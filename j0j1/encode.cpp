// SPDX-License-Identifier: Apache-2.0
// drv_encode_j0j1_tx_msg and drv_j0j1_insert_crc7: trace text into a 16-byte
// frame with its CRC-7, or into a 64-byte frame closed by CR LF.
#include <chip_util/j0j1.h>

#include <cstring>
#include <span>

#include "align.hpp"
#include "crc7.hpp"

namespace {

constexpr uint8_t kCrcBits = 0x7F;

}  // namespace

extern "C" void drv_j0j1_insert_crc7(uint8_t *frame) {
  if (frame == nullptr) {
    return;
  }
  frame[0] &= static_cast<uint8_t>(~kCrcBits);
  frame[0] |= chip_j0j1::crc7(std::span<const uint8_t>(frame, DRV_J0J1_LEN_16));
}

extern "C" int32_t drv_encode_j0j1_tx_msg(uint32_t trace_len, const uint8_t *text,
                                          uint8_t *frame) {
  if (text == nullptr || frame == nullptr) {
    return -1;
  }
  // memmove throughout: text may be the frame buffer itself, so the
  // characters move before byte 0 or the line end is written.
  switch (trace_len) {
    case DRV_J0J1_LEN_16:
      std::memmove(frame + 1, text, DRV_J0J1_TEXT16_CHARS);
      frame[0] = chip_j0j1::kMarkerBit;
      drv_j0j1_insert_crc7(frame);
      return 0;
    case DRV_J0J1_LEN_64:
      std::memmove(frame, text, DRV_J0J1_TEXT64_CHARS);
      frame[DRV_J0J1_TEXT64_CHARS] = chip_j0j1::kCr;
      frame[DRV_J0J1_TEXT64_CHARS + 1] = chip_j0j1::kLf;
      return 0;
    default:
      return -1;
  }
}
