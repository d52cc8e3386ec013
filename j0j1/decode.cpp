// SPDX-License-Identifier: Apache-2.0
// drv_decode_j0j1_rx_msg: classify a received 64-byte pattern and deliver
// its text in frame order.
#include <chip_util/bounds.h>
#include <chip_util/j0j1.h>

#include <array>
#include <cstring>

namespace {

using Pattern = std::array<uint8_t, DRV_J0J1_PATTERN_BYTES>;

// All 64 bytes equal: each byte matches the one after it.
bool uniform(const uint8_t *rx) {
  return std::memcmp(rx, rx + 1, DRV_J0J1_PATTERN_BYTES - 1) == 0;
}

// Fills `text` (all zeros on entry) and returns the trace length. The
// 16-byte frame is tried first, on the first 16 received bytes only.
uint32_t classify(const uint8_t *rx, Pattern &text) {
  Pattern aligned;
  if (drv_decode_16byte_j0j1_rx_msg(DRV_J0J1_LEN_16, rx, aligned.data()) == 0) {
    std::memcpy(text.data(), aligned.data(), DRV_J0J1_TEXT16_CHARS);
    return DRV_J0J1_LEN_16;
  }
  if (drv_decode_64byte_j0j1_rx_msg(DRV_J0J1_LEN_64, rx, aligned.data()) == 0) {
    std::memcpy(text.data(), aligned.data(), DRV_J0J1_TEXT64_CHARS);
    return DRV_J0J1_LEN_64;
  }
  if (uniform(rx)) {
    text[0] = rx[0];
    return DRV_J0J1_LEN_BYTE;
  }
  return DRV_J0J1_LEN_NONE;
}

}  // namespace

extern "C" int32_t drv_decode_j0j1_rx_msg(const uint8_t *rx, uint32_t *trace_len,
                                          uint8_t *text, uint32_t text_capacity) {
  if (rx == nullptr || trace_len == nullptr || text == nullptr) {
    return -1;
  }
  Pattern decoded{};
  *trace_len = classify(rx, decoded);
  return memcpy_s(text, text_capacity, decoded.data(), decoded.size()) == 0 ? 0 : -1;
}
