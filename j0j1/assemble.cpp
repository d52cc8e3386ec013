// SPDX-License-Identifier: Apache-2.0
// drv_assemble_j0j1_msg: a frame, a single byte or nothing, laid into the
// 64-byte pattern the chip transmits.
#include <chip_util/bounds.h>
#include <chip_util/j0j1.h>

#include <cstdio>
#include <cstring>

namespace {

bool known_length(uint32_t trace_len) {
  return trace_len == DRV_J0J1_LEN_NONE || trace_len == DRV_J0J1_LEN_BYTE ||
         trace_len == DRV_J0J1_LEN_16 || trace_len == DRV_J0J1_LEN_64;
}

}  // namespace

extern "C" int32_t drv_assemble_j0j1_msg(uint32_t trace_len, const uint8_t *src,
                                         uint8_t *pattern) {
  if (!known_length(trace_len)) {
    // Straight to standard output: this report does not follow the driver's
    // registered print function.
    std::printf("length out range. length:%u", static_cast<unsigned>(trace_len));
    return -1;
  }
  if (pattern == nullptr) {
    return -1;
  }
  if (trace_len == DRV_J0J1_LEN_NONE) {
    memset_s(pattern, DRV_J0J1_PATTERN_BYTES, 0, DRV_J0J1_PATTERN_BYTES);
    return 0;
  }
  if (src == nullptr) {
    return -1;
  }
  if (trace_len == DRV_J0J1_LEN_BYTE) {
    std::memset(pattern, src[0], DRV_J0J1_PATTERN_BYTES);
    return 0;
  }
  // memmove: a caller may assemble in place, with the frame at the start of
  // the pattern buffer.
  for (uint32_t offset = 0; offset < DRV_J0J1_PATTERN_BYTES; offset += trace_len) {
    std::memmove(pattern + offset, src, trace_len);
  }
  return 0;
}
