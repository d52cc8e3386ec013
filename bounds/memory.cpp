// SPDX-License-Identifier: Apache-2.0
// memset_s and memcpy_s.
#include "bounds_common.hpp"

#include <cerrno>
#include <cstring>

using chip_bounds::overlap;
using chip_bounds::usable;

namespace {

// A fill the compiler may not drop, even when the buffer is freed next.
void fill(void *dest, int value, size_t count) {
  std::memset(dest, value, count);
  __asm__ __volatile__("" : : "r"(dest) : "memory");
}

}  // namespace

extern "C" int memset_s(void *dest, size_t capacity, int value, size_t count) {
  if (!usable(dest, capacity)) {
    return dest == nullptr || capacity == 0 ? EINVAL : ERANGE;
  }
  if (count > capacity) {
    fill(dest, value, capacity);
    return ERANGE;
  }
  fill(dest, value, count);
  return 0;
}

extern "C" int memcpy_s(void *dest, size_t capacity, const void *src, size_t count) {
  if (!usable(dest, capacity)) {
    return dest == nullptr || capacity == 0 ? EINVAL : ERANGE;
  }
  int refusal = 0;
  if (src == nullptr) {
    refusal = EINVAL;
  } else if (count > capacity) {
    refusal = ERANGE;
  } else if (overlap(dest, count, src, count)) {
    refusal = EINVAL;
  }
  if (refusal != 0) {
    fill(dest, 0, capacity);
    return refusal;
  }
  if (count != 0) {
    std::memcpy(dest, src, count);
  }
  return 0;
}
