// SPDX-License-Identifier: Apache-2.0
// Argument checks shared by the bounds-checked functions.
#pragma once

#include <chip_util/bounds.h>

#include <cstddef>
#include <cstdint>

namespace chip_bounds {

// A destination that may be written to when a call is refused.
inline bool usable(const void *dest, size_t capacity) {
  return dest != nullptr && capacity != 0 && capacity <= CHIP_BOUNDS_MAX_CAPACITY;
}

// True when [a, a + a_len) and [b, b + b_len) share at least one byte.
inline bool overlap(const void *a, size_t a_len, const void *b, size_t b_len) {
  const auto x = reinterpret_cast<uintptr_t>(a);
  const auto y = reinterpret_cast<uintptr_t>(b);
  if (a_len == 0 || b_len == 0) {
    return false;
  }
  return x < y ? y - x < a_len : x - y < b_len;
}

}  // namespace chip_bounds
