// SPDX-License-Identifier: Apache-2.0
// strncpy_s.
#include "bounds_common.hpp"

#include <cerrno>
#include <cstring>

using chip_bounds::overlap;
using chip_bounds::usable;

extern "C" int strncpy_s(char *dest, size_t capacity, const char *src, size_t count) {
  if (!usable(dest, capacity)) {
    return dest == nullptr || capacity == 0 ? EINVAL : ERANGE;
  }
  if (src == nullptr || count > CHIP_BOUNDS_MAX_CAPACITY) {
    dest[0] = '\0';
    return src == nullptr ? EINVAL : ERANGE;
  }
  // strnlen reads at most `count` bytes and never past src's terminator.
  const size_t length = strnlen(src, count);
  if (length >= capacity) {
    dest[0] = '\0';
    return ERANGE;
  }
  if (overlap(dest, length + 1, src, length + 1)) {
    dest[0] = '\0';
    return EINVAL;
  }
  std::memcpy(dest, src, length);
  dest[length] = '\0';
  return 0;
}
