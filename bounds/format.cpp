// SPDX-License-Identifier: Apache-2.0
// sprintf_s and vsnprintf_s.
#include "bounds_common.hpp"

#include <cstdarg>
#include <cstdio>

using chip_bounds::usable;

namespace {

// Formats into dest[0 .. limit] (limit characters and a zero byte; limit is
// below capacity) and returns the length of the whole formatted text, or a
// negative value on an encoding error.
int format_into(char *dest, size_t limit, const char *format, va_list args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  return std::vsnprintf(dest, limit + 1, format, args);
#pragma GCC diagnostic pop
}

}  // namespace

extern "C" int vsnprintf_s(char *dest, size_t capacity, size_t max_count, const char *format,
                           va_list args) {
  if (!usable(dest, capacity)) {
    return -1;
  }
  if (format == nullptr || max_count >= capacity) {
    dest[0] = '\0';
    return -1;
  }
  const int length = format_into(dest, max_count, format, args);
  if (length < 0) {
    dest[0] = '\0';
    return -1;
  }
  // A text longer than max_count stays cut and terminated in dest.
  return static_cast<size_t>(length) > max_count ? -1 : length;
}

extern "C" int sprintf_s(char *dest, size_t capacity, const char *format, ...) {
  if (!usable(dest, capacity)) {
    return -1;
  }
  if (format == nullptr) {
    dest[0] = '\0';
    return -1;
  }
  va_list args;
  va_start(args, format);
  const int length = format_into(dest, capacity - 1, format, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= capacity) {
    dest[0] = '\0';
    return -1;
  }
  return length;
}
